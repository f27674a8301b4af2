// Every catalogue walk over arbitrary bytes. The input is a whole archive file (a
// seed is simply a small real archive): detection picks the walk from the bytes,
// as it does for users, and the listing runs with every entry reported.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "engine/vroVireo.h"

namespace {

// The catalogue reads from a path; one scratch file per process is rewritten per run.
const std::string& ScratchPath() {
    static const std::string path = "/tmp/brindle-walk-fuzz-" + std::to_string(getpid()) + ".bin";
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FILE* f = std::fopen(ScratchPath().c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    vro::TVireo v;
    v.SetFileSpec({"*.*"});
    v.ShowBlankDirs = size % 2 == 1;
    size_t reported = 0;
    v.OnRead = [&](vro::TZipCommon&, int64_t, int32_t) { reported += v.EntryInfo.FileName.size(); };
    v.SetArchiveFile(ScratchPath());
    v.Activate();
    return 0;
}
