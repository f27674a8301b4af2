// compress (LZW) streams from arbitrary bytes: whatever the codes say, the
// decoder stays inside its tables and stack and ends. The first byte sets how
// many bytes each Input call hands over (1-255, or 32 KiB for 0); the rest is the
// stream, header included. Output is taken and dropped.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/vroLzw.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const size_t step = data[0] ? data[0] : 32768;
    const uint8_t* stream = data + 1;
    const size_t streamSize = size - 1;
    size_t pos = 0;
    vro::DecompressLzw(
        [&](uint8_t* buffer, size_t capacity) {
            const size_t n = std::min({capacity, step, streamSize - pos});
            std::memcpy(buffer, stream + pos, n);
            pos += n;
            return n;
        },
        [](const uint8_t*, size_t) { return true; });
    return 0;
}
