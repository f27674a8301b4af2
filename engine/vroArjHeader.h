// ARJ headers, after the header description of ARJ's TECHNOTE.DOC, read the same
// way by the catalogue walk and the extractor. Every header is: id 0x60 0xEA,
// basic header size (0: end of the volume), the basic header, its CRC-32, then
// extended headers (a 16-bit size each, data and CRC-32; a size of 0 ends them).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vro {

enum class TArjRead : uint8_t {
    Ok,       // a header; Crc32Ok tells whether its CRC matches
    End,      // the end marker (basic header size 0)
    BadId,    // no header id
    TooLarge, // a basic header size above the format's limit
    Short,    // the file ends inside the header
};

// A local file header's fields (the main header shares the layout).
struct TArjHeader {
    int64_t Position = 0;
    int64_t DataStart = 0; // after the extended headers
    int BasicSize = 0;
    bool Crc32Ok = false;
    uint8_t ArchiverVersion = 0, MinimumVersion = 0, HostOs = 0, Flags = 0, Method = 0,
            FileType = 0, PasswordModifier = 0;
    uint32_t DateTime = 0, PackedSize = 0, UnpackedSize = 0, Crc = 0;
    uint16_t AccessMode = 0;
    std::string Name; // raw bytes
};

inline constexpr int kArjMaxBasicHeader = 2600; // ARJ's own limit (HEADERSIZE_MAX)
inline constexpr int kArjMinBasicHeader = 30;   // the first header's fixed fields
inline constexpr uint8_t kArjFlagGarbled = 0x01;
inline constexpr uint8_t kArjFlagVolume = 0x04;    // main: a set; local: continues
inline constexpr uint8_t kArjFlagContinued = 0x08; // local: the rest of a file begun before
inline constexpr uint8_t kArjTypeDirectory = 3;
inline constexpr uint8_t kArjTypeVolumeLabel = 4; // labels and chapters are no entries
// ARJ made on a Unix host stores the file's Unix time stamp and Unix mode where
// DOS hosts store the DOS date-time and attributes.
inline constexpr uint8_t kArjHostUnix = 2;

// Reads count bytes at pos; false when they are not all there.
using TArjReadAt = std::function<bool(int64_t pos, void* buffer, int64_t count)>;

// Reads the header at pos into h (the fields are meaningful only for a basic
// header of at least kArjMinBasicHeader bytes).
TArjRead ReadArjHeader(const TArjReadAt& readAt, int64_t pos, TArjHeader& h);

} // namespace vro
