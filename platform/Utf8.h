// UTF-8 encoding and lenient decoding, shared by the code-page conversions and the
// executable string-resource reader (which starts from UTF-16).
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Appends the UTF-8 form of a code point (at most U+10FFFF).
void AppendUtf8(std::string& out, char32_t c);

// Decodes the character at text[pos] and moves pos past it. A byte that does not
// open a well-formed sequence (a stray continuation byte, an overlong form, a
// surrogate, a value past U+10FFFF, a sequence cut short) stands alone for the
// Latin-1 character of the same value, so no byte is ever dropped.
char32_t DecodeUtf8At(std::string_view text, size_t& pos);

// Length of the well-formed sequence at text[pos], or 0 when the byte there does
// not open one.
size_t Utf8SequenceLength(std::string_view text, size_t pos);
bool IsValidUtf8(std::string_view text);

} // namespace platform
