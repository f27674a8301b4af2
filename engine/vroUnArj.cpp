// Placeholder: the Arj extractor lands here; until then the type is not extracted.
#include "engine/vroExtractors.h"

namespace vro {

std::unique_ptr<TUnBase> MakeArjExtractor() { return nullptr; }

} // namespace vro
