// The integrity tester over arbitrary bytes: detection picks the extractor, which
// walks its headers and decodes every entry with its output discarded. A seed is
// simply a small archive file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/vroZipCheck.h"

namespace {

const std::string& ScratchPath() {
    static const std::string path =
        "/tmp/brindle-extract-fuzz-" + std::to_string(getpid()) + ".bin";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(ScratchPath().c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    vro::TZipCheck check;
    check.SetFileSpec({"*.*"});
    check.SetPasswords({"secret"});
    check.OnStatus = [](vro::TZipCommon&, const std::string&, bool) {};
    check.SetArchiveFile(ScratchPath());
    check.TestArchive();
    return 0;
}
