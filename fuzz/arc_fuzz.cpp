// The ARC-family decoders over arbitrary bytes. The first byte picks the decoder:
// its value modulo 10 is an ARC method (1 to 9), 0 the ZOO LZW method. The rest is
// the packed data, declared to unpack to 1 MiB. Beyond the sanitizers, the target
// checks the output contract: whole windows except the last piece, and never more
// than the declared size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/vroArcCodecs.h"

namespace {

constexpr uint64_t kDeclaredSize = 1 << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const auto method = static_cast<uint8_t>(data[0] % 10);
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

    if (method == 0)
        vro::DecodeZooLzw(input, output, kDeclaredSize);
    else
        vro::DecodeArcMethod(method, input, output, kDeclaredSize);
    return 0;
}
