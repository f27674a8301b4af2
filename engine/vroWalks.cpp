#include "engine/vroWalks.h"

namespace vro {

std::unique_ptr<TCatalogueWalk> MakeCatalogueWalk(TArcType type) {
    switch (type) {
    case atZip:
    case atZipExe:
    case atJar:
    case atZipMV: return MakeZipWalk();
    case atArc:
    case atArcExe:
    case atPak:
    case atPakExe: return MakeArcWalk();
    case atArj:
    case atArjExe: return MakeArjWalk();
    case atBh:
    case atBhExe: return MakeBhWalk();
    case atLha:
    case atLhaExe:
    case atLzh:
    case atLzhExe: return MakeLhaWalk();
    case atRar:
    case atRarExe: return MakeRarWalk();
    case atZoo: return MakeZooWalk();
    case atTar: return MakeTarWalk();
    case atGZip: return MakeGZipWalk();
    case atACE: return MakeAceWalk();
    case atCab: return MakeCabWalk();
    case atHa: return MakeHaWalk();
    case atMsGZ: return MakeMsGZWalk();
    case atUue: return MakeUueWalk();
    default: return nullptr;
    }
}

} // namespace vro
