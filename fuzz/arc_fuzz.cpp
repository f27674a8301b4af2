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
#include "fuzz/DecoderHarness.h"

namespace {

constexpr uint64_t kDeclaredSize = 1 << 20;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const auto method = static_cast<uint8_t>(data[0] % 10);
    const uint8_t* packed = data + 1;
    const size_t packedSize = size - 1;

    fuzzing::TDecoderHarness harness(packed, packedSize, kDeclaredSize);
    const vro::TCodecInput input = harness.Input();
    const vro::TCodecOutput output = harness.Output();

    if (method == 0)
        vro::DecodeZooLzw(input, output, kDeclaredSize);
    else
        vro::DecodeArcMethod(method, input, output, kDeclaredSize);
    return 0;
}
