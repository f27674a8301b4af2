// Placeholder: the Uue extractor lands here; until then the type is not extracted.
#include "engine/vroExtractors.h"

namespace vro {

std::unique_ptr<TUnBase> MakeUueExtractor() { return nullptr; }

} // namespace vro
