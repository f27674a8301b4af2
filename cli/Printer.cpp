#include "cli/Printer.h"

#include <cstdio>

#include "engine/vroDates.h"
#include "engine/vroErrors.h"
#include "engine/vroHelpers.h"
#include "platform/Utf8.h"

namespace cli {

std::string SafeText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text)
        out += (c < 0x20 || c == 0x7F) ? '?' : static_cast<char>(c);
    return out;
}

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = text[i];
        const size_t length = platform::Utf8SequenceLength(text, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out.append(text.substr(i, length));
        }
        i += length;
    }
    return out + "\"";
}

std::string DisplayName(const std::string& storedName) {
    return vro::ToSlashes(storedName);
}

std::string IsoDateTime(vro::TDateTime value) {
    int year, month, day, hour, minute, second;
    vro::DecodeDate(value, year, month, day, hour, minute, second);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", year, month, day, hour,
                  minute, second);
    return text;
}

void PrintEngineError(const std::string& fileName, const std::string& msgEx, int32_t code) {
    std::string text = vro::ErrorMessage(code);
    if (!msgEx.empty()) text += " (" + msgEx + ")";
    std::fprintf(stderr, "brindle-cli: %s: %s [%d]\n", SafeText(fileName).c_str(),
                 SafeText(text).c_str(), code);
}

} // namespace cli
