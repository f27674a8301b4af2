// ARC and PAK entry headers, shared by the catalogue walk and the extractor.
// An archive is a chain of entry headers, each followed by its packed data and
// ended by the two bytes 1A 00. ARC 6 and later nest folders: a header of method
// 30 announces a folder whose packed data is itself such a chain (its entries
// follow at once), closed by the two bytes 1A 1F. PAK has no folders.
//
// Entry header (little-endian), 29 bytes, 25 for method 1 (no original size):
//   0  1  marker 0x1A                   15  4  packed size
//   1  1  method; 0 ends the archive    19  2  DOS date } stored date first:
//   2 13  name, zero-terminated (8.3)   21  2  DOS time } "swapped" DOS date-time
//                                       23  2  CRC-16
//                                       25  4  original size
#pragma once

#include <cstdint>
#include <string>

#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"

namespace vro {

struct TArcHeader {
    static constexpr int kSize = 29;
    static constexpr int kOldSize = 25;
    static constexpr int kCloseSize = 2;
    static constexpr uint8_t kMarker = 0x1A;
    static constexpr uint8_t kOldStored = 1;
    static constexpr uint8_t kFolderOpen = 30;
    static constexpr uint8_t kFolderClose = 31;
    static constexpr size_t kNameField = 13;

    uint8_t Method = 0;
    std::string Name; // as the engine keeps names
    uint32_t PackedSize = 0, UnpackedSize = 0;
    uint32_t DosDateTime = 0; // in DOS order (time in the low half)
    uint16_t Crc = 0;
    int Size = kSize; // bytes of this header

    // False at the end of the chain: no marker, method 0, or a header cut short
    // (got is how many bytes of b were read).
    static bool Parse(const uint8_t* b, int64_t got, TArcHeader& h) {
        if (got < kCloseSize || b[0] != kMarker || b[1] == 0) return false;
        h.Method = b[1];
        h.Size = h.Method == kOldStored ? kOldSize : h.Method == kFolderClose ? kCloseSize : kSize;
        if (got < h.Size) return false;
        if (h.Size == kCloseSize) return true;
        h.Name = walk::NameFromArchive(walk::ZeroTerminated(b, 2, 2 + kNameField));
        h.PackedSize = GetLE32(b + 15);
        h.DosDateTime = SwapHalves(GetLE32(b + 19));
        h.Crc = GetLE16(b + 23);
        h.UnpackedSize = h.Method == kOldStored ? h.PackedSize : GetLE32(b + 25);
        return true;
    }
};

} // namespace vro
