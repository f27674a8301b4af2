// The extractor for each archive type, for hosts that extract or test whatever
// they are given (the integrity tester, the command line).
#pragma once

#include <memory>

#include "engine/vroUnBase.h"

namespace vro {

// The ZIP end-record window of the catalogue, which the tester and the ZIP
// extractors it makes use too: end records behind comments are found.
inline constexpr int32_t kCatalogueCommentWindow = 32000;

// nullptr for a type the engine cannot extract (yet).
std::unique_ptr<TUnBase> MakeExtractor(TArcType type);

// One per extractor module (engine/vroUn*.cpp).
std::unique_ptr<TUnBase> MakeTarExtractor();
std::unique_ptr<TUnBase> MakeGZipExtractor();
std::unique_ptr<TUnBase> MakeUueExtractor();
std::unique_ptr<TUnBase> MakeLhaExtractor();
std::unique_ptr<TUnBase> MakeArjExtractor();
std::unique_ptr<TUnBase> MakeArcExtractor();
std::unique_ptr<TUnBase> MakeZooExtractor();
std::unique_ptr<TUnBase> MakeBhExtractor();

} // namespace vro
