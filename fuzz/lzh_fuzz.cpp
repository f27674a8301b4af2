// The LZH-family decoders over arbitrary bytes. The first byte picks the decoder
// (its value modulo 7: -lh4-, -lh5-, -lh6-, -lh7-, ARJ methods 1-3, ARJ method 4,
// -lh1-); the rest is the packed data, declared to unpack to 1 MiB. Beyond the
// sanitizers, the target checks the output contract: whole windows except the
// last piece, and never more than the declared size.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/vroLzh.h"
#include "fuzz/DecoderHarness.h"

namespace {

constexpr uint64_t kDeclaredSize = 1 << 20;

vro::TLzhResult Decode(uint8_t selector, const vro::TCodecInput& input,
                       const vro::TCodecOutput& output) {
    using vro::TLzhHistory;
    switch (selector % 7) {
    case 0: return DecodeStatic(input, output, vro::kLh4Params, TLzhHistory::Blanks, kDeclaredSize);
    case 1: return DecodeStatic(input, output, vro::kLh5Params, TLzhHistory::Blanks, kDeclaredSize);
    case 2: return DecodeStatic(input, output, vro::kLh6Params, TLzhHistory::Blanks, kDeclaredSize);
    case 3: return DecodeStatic(input, output, vro::kLh7Params, TLzhHistory::Blanks, kDeclaredSize);
    case 4: return DecodeStatic(input, output, vro::kArjParams, TLzhHistory::Zeros, kDeclaredSize);
    case 5: return vro::DecodeArjFast(input, output, kDeclaredSize);
    default: return vro::DecodeDynamic(input, output, kDeclaredSize);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const uint8_t* packed = data + 1;
    const size_t packedSize = size - 1;

    fuzzing::TDecoderHarness harness(packed, packedSize, kDeclaredSize);
    const vro::TCodecInput input = harness.Input();
    const vro::TCodecOutput output = harness.Output();
    Decode(data[0], input, output);
    return 0;
}
