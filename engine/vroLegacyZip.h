// The legacy ZIP methods of the ZIP application note: unshrinking (method 1),
// expanding reduced data (methods 2-5) and exploding imploded data (method 6).
// Each decoder owns its tables for one call; nothing is shared between calls.
#pragma once

#include <cstdint>

#include "engine/vroCodec.h"

namespace vro {

enum class TLegacyResult : uint8_t {
    Done,          // the stream (or the declared size) ended normally
    BadCode,       // unshrink: a control code other than 1 or 2, or a code above 8191;
                   // expand/explode: damaged tree data
    StackOverflow, // unshrink: a string longer than the code table
    AmbiguousTree, // explode: a Shannon-Fano tree that does not decode
    Truncated,     // the input ended before the declared size was produced
    OutputFailed,  // the sink refused a piece
};

// Decodes until the input ends. The output stops at maxOutput bytes (the entry's
// declared size), so a hostile stream cannot produce more than was announced.
TLegacyResult Unshrink(const TCodecInput& input, const TCodecOutput& output, uint64_t maxOutput);
// factor 1-4 (method - 1); decodes exactly unpackedSize bytes.
TLegacyResult Expand(const TCodecInput& input, const TCodecOutput& output, int factor,
                     uint64_t unpackedSize);
// flags: the entry's general-purpose flags (bit 1: 8 KiB history, bit 2: three
// trees); decodes exactly unpackedSize bytes.
TLegacyResult Explode(const TCodecInput& input, const TCodecOutput& output, uint16_t flags,
                      uint64_t unpackedSize);

} // namespace vro
