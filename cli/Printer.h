// Output helpers shared by the commands. Names come from archives made by
// strangers: control characters in them must not reach the terminal as such.
#pragma once

#include <string>
#include <string_view>

#include "engine/vroTypes.h"

namespace cli {

// The name for a terminal: control characters become "?".
std::string SafeText(std::string_view text);
// A JSON string literal, quotes included; invalid UTF-8 bytes become U+FFFD.
std::string JsonString(std::string_view text);
// A stored name as users expect it: "/" separators.
std::string DisplayName(const std::string& storedName);
// "2024-01-02T03:04:06".
std::string IsoDateTime(vro::TDateTime value);
// Prints an engine error to stderr: "brindle-cli: FILE: MESSAGE (CODE)".
void PrintEngineError(const std::string& fileName, const std::string& msgEx, int32_t code);

} // namespace cli
