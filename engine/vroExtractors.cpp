#include "engine/vroExtractors.h"

#include "engine/vroUnZip.h"

namespace vro {

namespace {

std::unique_ptr<TUnBase> MakeZipExtractor(TArcType type) {
    std::unique_ptr<TUnBase> zip =
        type == atJar ? std::make_unique<TUnJar>() : std::make_unique<TUnZIP>();
    zip->SetZipCmntBufSize(kCatalogueCommentWindow);
    return zip;
}

} // namespace

std::unique_ptr<TUnBase> MakeExtractor(TArcType type) {
    switch (type) {
    case atZip:
    case atZipExe:
    case atJar: return MakeZipExtractor(type);
    case atTar: return MakeTarExtractor();
    case atGZip: return MakeGZipExtractor();
    case atUue: return MakeUueExtractor();
    case atLha:
    case atLhaExe:
    case atLzh:
    case atLzhExe: return MakeLhaExtractor();
    case atArj:
    case atArjExe: return MakeArjExtractor();
    case atArc:
    case atArcExe: return MakeArcExtractor();
    case atZoo: return MakeZooExtractor();
    case atBh:
    case atBhExe: return MakeBhExtractor();
    default: return nullptr;
    }
}

} // namespace vro
