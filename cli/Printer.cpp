#include "cli/Printer.h"

#include <algorithm>
#include <cstdio>

#include "engine/vroDates.h"
#include "engine/vroErrors.h"
#include "engine/vroHelpers.h"
#include "platform/Utf8.h"

namespace cli {

std::string SafeText(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
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
    std::string text = "0000-00-00T00:00:00";
    auto put = [&](size_t at, int number, int digits) {
        number = std::max(number, 0);
        for (int i = digits - 1; i >= 0; --i, number /= 10)
            text[at + i] = char('0' + number % 10);
    };
    put(0, year, 4), put(5, month, 2), put(8, day, 2);
    put(11, hour, 2), put(14, minute, 2), put(17, second, 2);
    return text;
}

void PrintEngineError(const std::string& fileName, const std::string& msgEx, int32_t code) {
    std::string text = vro::ErrorMessage(code);
    if (!msgEx.empty()) text += " (" + msgEx + ")";
    std::fprintf(stderr, "brindle-cli: %s: %s [%d]\n", SafeText(fileName).c_str(),
                 SafeText(text).c_str(), code);
}

} // namespace cli
