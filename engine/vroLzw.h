// Decoding of the LZW streams written by the Unix compress utility (".Z" files):
// the 3-byte header (1F 9D, then a flag byte holding the widest code width in its
// low five bits and block mode in bit 7), then codes of 9 up to that many bits,
// least significant bit first. Codes are consumed in groups of eight; a change of
// width or a table clear skips the rest of the current group, as the encoder
// padded it. Input is pulled through a TCodecInput and output pushed in pieces of
// up to 32 KiB; the tables are owned by one call, so calls share nothing.
#pragma once

#include <cstdint>

#include "engine/vroCodec.h"

namespace vro {

// How a stream ended. Each failure has its own value; the format layer maps them
// onto the engine's messages.
enum class TLzwResult : uint8_t {
    Done,            // the input ended after whole codes
    BadMagic,        // the stream does not start with 1F 9D
    ReservedFlags,   // flag bits 5 or 6 are set: a variant this decoder does not know
    WidthTooLarge,   // the widest code width is above 16 bits
    FirstNotLiteral, // the first code is not a byte value
    BadCode,         // a code names a table entry not yet defined
    OutputFailed,    // the sink refused a piece
};

// The widest code width the tables hold.
inline constexpr int kLzwMaxWidth = 16;

// Decodes one whole stream, header included. Everything decoded before the end
// or a failure has been passed to the sink when this returns.
TLzwResult DecompressLzw(const TCodecInput& input, const TCodecOutput& output);

} // namespace vro
