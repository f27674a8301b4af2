// The format walks of the catalogue, one module each.
#pragma once

#include <memory>

#include "engine/vroVireo.h"

namespace vro {

std::unique_ptr<TCatalogueWalk> MakeZipWalk();
std::unique_ptr<TCatalogueWalk> MakeArcWalk(); // ARC and PAK
std::unique_ptr<TCatalogueWalk> MakeArjWalk();
std::unique_ptr<TCatalogueWalk> MakeBhWalk();
std::unique_ptr<TCatalogueWalk> MakeLhaWalk();
std::unique_ptr<TCatalogueWalk> MakeRarWalk(); // RAR 1.5-4 and RAR 5
std::unique_ptr<TCatalogueWalk> MakeZooWalk();
std::unique_ptr<TCatalogueWalk> MakeTarWalk();
std::unique_ptr<TCatalogueWalk> MakeGZipWalk(); // gzip, compress, pack
std::unique_ptr<TCatalogueWalk> MakeAceWalk();
std::unique_ptr<TCatalogueWalk> MakeCabWalk();
std::unique_ptr<TCatalogueWalk> MakeHaWalk();
std::unique_ptr<TCatalogueWalk> MakeMsGZWalk();
std::unique_ptr<TCatalogueWalk> MakeUueWalk();

} // namespace vro
