// The three fixed ZIP records that type detection verifies and leaves for the
// catalogue: the end-of-central-directory record, a central file header and a
// local file header (layouts from the PKWARE ZIP application note), plus the
// ZIP64 locator and end record that stand in when the classic fields overflow.
#pragma once

#include <cstdint>

#include "engine/vroBytes.h"

namespace vro {

inline constexpr uint32_t kZipLocalSig = 0x04034B50;   // "PK" 03 04
inline constexpr uint32_t kZipCentralSig = 0x02014B50; // "PK" 01 02
inline constexpr uint32_t kZipEndSig = 0x06054B50;     // "PK" 05 06
inline constexpr uint32_t kZipSpanSig = 0x08074B50;    // "PK" 07 08
inline constexpr uint32_t kZip64LocatorSig = 0x07064B50;
inline constexpr uint32_t kZip64EndSig = 0x06064B50;

//  0 signature        4 this disk        6 central dir disk  8 entries on this disk
// 10 total entries   12 central size    16 central offset   20 comment length
struct TZipEndRecord {
    static constexpr int kSize = 22;
    uint32_t Signature = 0;
    uint16_t ThisDisk = 0, CentralDisk = 0, EntriesThisDisk = 0, TotalEntries = 0;
    uint32_t CentralSize = 0, CentralOffset = 0;
    uint16_t CommentLength = 0;

    static TZipEndRecord Parse(const uint8_t* p) {
        return {GetLE32(p),      GetLE16(p + 4),  GetLE16(p + 6),  GetLE16(p + 8),
                GetLE16(p + 10), GetLE32(p + 12), GetLE32(p + 16), GetLE16(p + 20)};
    }
};

//  0 signature       4 version made by   6 version needed   8 flags      10 method
// 12 DOS time/date  16 CRC-32           20 packed size    24 unpacked size
// 28 name length    30 extra length     32 comment length 34 disk start
// 36 internal attr  38 external attr    42 local header offset
struct TZipCentralHeader {
    static constexpr int kSize = 46;
    uint32_t Signature = 0;
    uint16_t VersionMadeBy = 0, VersionNeeded = 0, Flags = 0, Method = 0;
    uint32_t DosDateTime = 0, Crc = 0, PackedSize = 0, UnpackedSize = 0;
    uint16_t NameLength = 0, ExtraLength = 0, CommentLength = 0, DiskStart = 0;
    uint16_t InternalAttr = 0;
    uint32_t ExternalAttr = 0, LocalOffset = 0;

    static TZipCentralHeader Parse(const uint8_t* p) {
        TZipCentralHeader h;
        h.Signature = GetLE32(p), h.VersionMadeBy = GetLE16(p + 4);
        h.VersionNeeded = GetLE16(p + 6), h.Flags = GetLE16(p + 8), h.Method = GetLE16(p + 10);
        h.DosDateTime = GetLE32(p + 12), h.Crc = GetLE32(p + 16);
        h.PackedSize = GetLE32(p + 20), h.UnpackedSize = GetLE32(p + 24);
        h.NameLength = GetLE16(p + 28), h.ExtraLength = GetLE16(p + 30);
        h.CommentLength = GetLE16(p + 32), h.DiskStart = GetLE16(p + 34);
        h.InternalAttr = GetLE16(p + 36), h.ExternalAttr = GetLE32(p + 38);
        h.LocalOffset = GetLE32(p + 42);
        return h;
    }
};

//  0 signature     4 version needed   6 flags          8 method     10 DOS time/date
// 14 CRC-32       18 packed size     22 unpacked size 26 name length 28 extra length
struct TZipLocalHeader {
    static constexpr int kSize = 30;
    uint32_t Signature = 0;
    uint16_t VersionNeeded = 0, Flags = 0, Method = 0;
    uint32_t DosDateTime = 0, Crc = 0, PackedSize = 0, UnpackedSize = 0;
    uint16_t NameLength = 0, ExtraLength = 0;

    static TZipLocalHeader Parse(const uint8_t* p) {
        TZipLocalHeader h;
        h.Signature = GetLE32(p), h.VersionNeeded = GetLE16(p + 4), h.Flags = GetLE16(p + 6);
        h.Method = GetLE16(p + 8), h.DosDateTime = GetLE32(p + 10), h.Crc = GetLE32(p + 14);
        h.PackedSize = GetLE32(p + 18), h.UnpackedSize = GetLE32(p + 22);
        h.NameLength = GetLE16(p + 26), h.ExtraLength = GetLE16(p + 28);
        return h;
    }
};

// ZIP64 end-of-central-directory locator, 20 bytes right before the end record:
//  0 signature   4 disk of the ZIP64 end record   8 its offset (64-bit)   16 disks
inline constexpr int kZip64LocatorSize = 20;
// ZIP64 end record: 0 signature ... 24 entries on disk, 32 total entries,
// 40 central size, 48 central offset (all 64-bit); 56 bytes before its extension.
inline constexpr int kZip64EndSize = 56;

} // namespace vro
