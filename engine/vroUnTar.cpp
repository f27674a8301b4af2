// Placeholder: the Tar extractor lands here; until then the type is not extracted.
#include "engine/vroExtractors.h"

namespace vro {

std::unique_ptr<TUnBase> MakeTarExtractor() { return nullptr; }

} // namespace vro
