// The legacy ZIP decoders (unshrink, expand, explode) over arbitrary bytes. The
// first byte picks the method and flags: its low 4 bits are the ZIP method (1 to
// 6; other values fold into that range), bits 5 and 6 are general-purpose flag
// bits 1 and 2 for exploding (8 KiB history, literal tree). The rest is the
// packed data, declared to unpack to 1 MiB. Beyond the sanitizers, the target
// checks the output contract: whole windows except the last piece, and never
// more than the declared size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/vroLegacyZip.h"

namespace {

constexpr uint64_t kDeclaredSize = 1 << 20;

int MethodOf(uint8_t selector) {
    const int method = selector & 0x0F;
    return method >= 1 && method <= 6 ? method : 1 + method % 6;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t selector = data[0];
    const uint8_t* packed = data + 1;
    const size_t packedSize = size - 1;

    size_t next = 0;
    const vro::TCodecInput input = [&](uint8_t* buffer, size_t capacity) {
        const size_t n = capacity < packedSize - next ? capacity : packedSize - next;
        std::memcpy(buffer, packed + next, n);
        next += n;
        return n;
    };
    uint64_t produced = 0;
    bool shortPieceSeen = false;
    const vro::TCodecOutput output = [&](const uint8_t*, size_t pieceSize) {
        // Only the last piece may be short, and none may be empty.
        if (shortPieceSeen || pieceSize == 0 || pieceSize > vro::kCodecWindowSize) std::abort();
        shortPieceSeen = pieceSize < vro::kCodecWindowSize;
        produced += pieceSize;
        if (produced > kDeclaredSize) std::abort();
        return true;
    };

    const int method = MethodOf(selector);
    const auto flags = static_cast<uint16_t>((selector >> 4) & 0x06);
    if (method == 1)
        vro::Unshrink(input, output, kDeclaredSize);
    else if (method == 6)
        vro::Explode(input, output, flags, kDeclaredSize);
    else
        vro::Expand(input, output, method - 1, kDeclaredSize);
    return 0;
}
