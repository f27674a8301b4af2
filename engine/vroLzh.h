// The LZ77-with-Huffman decoders of the LHA and ARJ families:
//   DecodeStatic  - block-wise static Huffman codes (LHA -lh4- to -lh7-, ARJ
//                   methods 1 to 3);
//   DecodeDynamic - one adaptive Huffman tree and a 4 KiB history (LHA -lh1-);
//   DecodeArjFast - unary-prefixed lengths and distances, no Huffman codes (ARJ
//                   method 4).
// Each decodes exactly the entry's declared size (never more, whatever the bits
// say) into the caller's sink, in 32 KiB pieces; each owns its tables for one call.
#pragma once

#include <cstdint>

#include "engine/vroCodec.h"

namespace vro {

enum class TLzhResult : uint8_t {
    Done,           // the declared size was produced
    BadHuffmanCode, // a block's code lengths do not make a complete code
    Truncated,      // the input ended (or a block of size 0 came) before the declared size
    OutputFailed,   // the sink refused a piece
};

// The two figures that tell the static-Huffman variants apart.
struct TLzhStaticParams {
    int PositionCodes;     // position code count: dictionary bits + 1
    int PositionCountBits; // width of the position code count field
};

inline constexpr TLzhStaticParams kLh4Params{13, 4};
inline constexpr TLzhStaticParams kLh5Params{14, 4};
inline constexpr TLzhStaticParams kLh6Params{16, 5};
inline constexpr TLzhStaticParams kLh7Params{17, 5};
inline constexpr TLzhStaticParams kArjParams{17, 5};

// LHA streams may refer to the history before their first byte, which reads as
// blanks; ARJ streams never do and start from zeros.
enum class TLzhHistory : uint8_t { Blanks, Zeros };

TLzhResult DecodeStatic(const TCodecInput& input, const TCodecOutput& output,
                        const TLzhStaticParams& params, TLzhHistory history, uint64_t unpackedSize);
TLzhResult DecodeDynamic(const TCodecInput& input, const TCodecOutput& output,
                         uint64_t unpackedSize);
TLzhResult DecodeArjFast(const TCodecInput& input, const TCodecOutput& output,
                         uint64_t unpackedSize);

} // namespace vro
