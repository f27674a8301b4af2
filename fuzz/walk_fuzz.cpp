// Every catalogue walk over arbitrary bytes. The input is a whole archive file (a
// seed is simply a small real archive): detection picks the walk from the bytes,
// as it does for users, and the listing runs with every entry reported.
#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/vroVireo.h"
#include "fuzz/ScratchFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string path = fuzzing::WriteScratchFile("brindle-walk-fuzz-", data, size);
    if (path.empty()) return 0;

    vro::TVireo v;
    v.SetFileSpec({"*.*"});
    v.ShowBlankDirs = size % 2 == 1;
    size_t reported = 0;
    v.OnRead = [&](vro::TZipCommon&, int64_t, int32_t) { reported += v.EntryInfo.FileName.size(); };
    v.SetArchiveFile(path);
    v.Activate();
    return 0;
}
