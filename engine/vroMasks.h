// Name masks: the engine's wildcard matcher behind FileSpec and ExcludeSpec, and
// the normalisation of spec lists.
#pragma once

#include <string>
#include <vector>

namespace vro {

// "?" and "*" may stand on either side; letters a-z match without regard to case.
// With namesOnly both sides are first cut to their file-name part.
bool WildcardMatch(const std::string& pattern, const std::string& name, bool namesOnly);

// Removes empty items; turns "/" into "\" and cuts every item to its file-name part.
void NormalizeSpecList(std::vector<std::string>& list);

} // namespace vro
