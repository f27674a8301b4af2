// brindle-cli type FILE: the detected type's name and the start offset, e.g.
// "atZipExe 7612". An unreadable file prints atFileOpenErr; detection never fails.
#include <cinttypes>
#include <cstdio>

#include "cli/Commands.h"
#include "engine/vroExtractors.h"
#include "engine/vroMain.h"

namespace cli {

int RunType(const std::vector<std::string>& args) {
    if (args.size() != 1) {
        std::fprintf(stderr, "usage: brindle-cli type FILE\n");
        return kExitUsage;
    }
    vro::TvroMain archive;
    // The catalogue's end-record window, so ZIP archives with comments are found.
    archive.SetZipCmntBufSize(vro::kCatalogueCommentWindow);
    archive.SetArchiveFile(args[0]);
    std::printf("%s %" PRId64 "\n", vro::ArcTypeIdent(archive.ArcType()), archive.StartOffset);
    return kExitOk;
}

} // namespace cli
