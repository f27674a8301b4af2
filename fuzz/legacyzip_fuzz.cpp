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
#include "fuzz/DecoderHarness.h"

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

    fuzzing::TDecoderHarness harness(packed, packedSize, kDeclaredSize);
    const vro::TCodecInput input = harness.Input();
    const vro::TCodecOutput output = harness.Output();

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
