// The integrity tester over arbitrary bytes: detection picks the extractor, which
// walks its headers and decodes every entry with its output discarded. A seed is
// simply a small archive file.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/vroZipCheck.h"
#include "fuzz/ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzzing::WriteScratchFile("brindle-extract-fuzz-", data, size);
    if (path.empty()) return 0;

    vro::TZipCheck check;
    check.SetFileSpec({"*.*"});
    check.SetPasswords({"secret"});
    check.OnStatus = [](vro::TZipCommon&, const std::string&, bool) {};
    check.SetArchiveFile(path);
    check.TestArchive();
    return 0;
}
