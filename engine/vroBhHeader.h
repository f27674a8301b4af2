// The BH entry header, shared by the catalogue walk and the extractor. An archive
// is a chain of 37-byte entry headers, each followed by the name and the packed
// data (which includes the 12-byte ZIP cipher header of an encrypted entry).
//
// Entry header (little-endian):
//   0  4  signature 42 48 05 07        15  4  packed size
//   4  2  header size with the name;   19  4  original size
//         0: a header without an entry 23  4  CRC-32
//   6  1  37                            27  2  attributes (DOS bits)
//   7  1  version made by               29  4  0
//   8  1  version needed                33  2  name length
//   9  1  flags (0x01 encrypted)        35  2  comment length (0)
//  10  1  method (0 stored, 1 fused, 8 deflate)
//  11  4  DOS date-time
#pragma once

#include <cstdint>

#include "engine/vroBytes.h"

namespace vro {

struct TBhHeader {
    static constexpr int kSize = 37;
    static constexpr uint32_t kSignature = 0x07054842;

    bool HasEntry = false;
    uint8_t Flags = 0, Method = 0, VersionMadeBy = 0, VersionNeeded = 0;
    uint32_t DosDateTime = 0, PackedSize = 0, UnpackedSize = 0, Crc = 0;
    uint16_t Attributes = 0;
    uint16_t NameLength = 0;

    static constexpr uint8_t kEncrypted = 0x01;

    // False unless a whole header with the signature was read (got bytes of b).
    static bool Parse(const uint8_t* b, int64_t got, TBhHeader& h) {
        if (got < kSize || GetLE32(b) != kSignature) return false;
        h.HasEntry = GetLE16(b + 4) != 0;
        h.VersionMadeBy = b[7];
        h.VersionNeeded = b[8];
        h.Flags = b[9];
        h.Method = b[10];
        h.DosDateTime = GetLE32(b + 11);
        h.PackedSize = GetLE32(b + 15);
        h.UnpackedSize = GetLE32(b + 19);
        h.Crc = GetLE32(b + 23);
        h.Attributes = GetLE16(b + 27);
        h.NameLength = GetLE16(b + 33);
        return true;
    }
};

} // namespace vro
