// UTF-8 encoding and lenient decoding (see Utf8.h for the rules on bad input).
#include "platform/Utf8.h"

#include <cstdint>

namespace platform {

void AppendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
        return;
    }
    // The lead byte's high bits say how many continuation bytes follow.
    constexpr uint8_t kLeadMarker[] = {0x00, 0xC0, 0xE0, 0xF0};
    const int trailing = c < 0x800 ? 1 : c < 0x10000 ? 2 : 3;
    out += static_cast<char>(kLeadMarker[trailing] | c >> (6 * trailing));
    for (int shift = 6 * (trailing - 1); shift >= 0; shift -= 6)
        out += static_cast<char>(0x80 | (c >> shift & 0x3F));
}

char32_t DecodeUtf8At(std::string_view text, size_t& pos) {
    const auto lead = static_cast<uint8_t>(text[pos]);
    const auto asLatin1 = [&] {
        ++pos;
        return static_cast<char32_t>(lead);
    };
    size_t length;
    char32_t smallest; // below it the sequence is an overlong form
    if (lead < 0x80) return asLatin1();
    if (lead >= 0xC2 && lead <= 0xDF)
        length = 2, smallest = 0x80;
    else if (lead >= 0xE0 && lead <= 0xEF)
        length = 3, smallest = 0x800;
    else if (lead >= 0xF0 && lead <= 0xF4)
        length = 4, smallest = 0x10000;
    else
        return asLatin1();
    if (text.size() - pos < length) return asLatin1();
    char32_t c = lead & (0x7F >> length);
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<uint8_t>(text[pos + i]);
        if ((next & 0xC0) != 0x80) return asLatin1();
        c = c << 6 | (next & 0x3F);
    }
    if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return asLatin1();
    pos += length;
    return c;
}

size_t Utf8SequenceLength(std::string_view text, size_t pos) {
    const size_t start = pos;
    const bool ascii = static_cast<uint8_t>(text[pos]) < 0x80;
    DecodeUtf8At(text, pos);
    const size_t length = pos - start;
    return ascii || length > 1 ? length : 0;
}

bool IsValidUtf8(std::string_view text) {
    for (size_t pos = 0; pos < text.size();) {
        if (static_cast<uint8_t>(text[pos]) < 0x80) {
            ++pos;
            continue;
        }
        const size_t length = Utf8SequenceLength(text, pos);
        if (length == 0) return false;
        pos += length;
    }
    return true;
}

} // namespace platform
