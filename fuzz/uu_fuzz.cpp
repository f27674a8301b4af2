// UU/XX text from arbitrary bytes: line splitting, header search, encoding
// detection and line decoding stay within their buffers and end, whatever the
// counts and characters say. The text is one volume; output is taken and dropped.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "engine/vroUuCodec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t pos = 0;
    const vro::TCodecInput input = [&](uint8_t* buffer, size_t capacity) {
        const size_t n = std::min(capacity, size - pos);
        if (n > 0) std::memcpy(buffer, data + pos, n);
        pos += n;
        return n;
    };
    vro::TUuLineReader lines(input);
    vro::TUuText text;
    text.ReadLine = [&](std::string& line) { return lines.Next(line); };
    vro::DecodeUuText(text, [](const uint8_t*, size_t) { return true; });
    return 0;
}
