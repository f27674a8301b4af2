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

} // namespace vro
