// The ARC family of decoders: ARC's nine storage methods (stored, run-length
// "packed", Huffman "squeezed", the hashed 12-bit LZW "crunched" variants 5 to 7,
// the dynamic LZW "crunched" method 8 with 9-12 bit codes and "squashed" method 9
// with 9-13 bit codes, both read by the engine's compress decoder, vroLzw.h) and
// ZOO's LZW method, which descends from them. Each call owns its tables; output
// goes to the caller's sink in 32 KiB pieces and stops at the entry's declared
// size, whatever the bits say.
#pragma once

#include <cstdint>

#include "engine/vroCodec.h"

namespace vro {

enum class TArcResult : uint8_t {
    Done,          // the stream ended (cleanly or early: a short stream fails its CRC)
    BadTree,       // squeezed: a node count above 256 or a child outside the tree
    BadBitCount,   // crunched 8: the stream was made for codes wider than 12 bits
    StackOverflow, // a string longer than the code table can hold
    BadCode,       // an LZW code that refers to no string yet
    OutputFailed,  // the sink refused a piece
    UnknownMethod, // not an ARC method (1 to 9)
};

// ARC methods 1 to 9.
TArcResult DecodeArcMethod(uint8_t method, const TCodecInput& input, const TCodecOutput& output,
                           uint64_t unpackedSize);
// ZOO method 1: LZW with 9 to 13 bit codes, 256 clears the table, 257 ends the data.
TArcResult DecodeZooLzw(const TCodecInput& input, const TCodecOutput& output,
                        uint64_t unpackedSize);

} // namespace vro
