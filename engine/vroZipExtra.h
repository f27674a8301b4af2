// ZIP extra fields that change what a header means: the ZIP64 field (ID 0x0001)
// with the 64-bit sizes and offset whose classic fields are all ones, and the
// Unicode path field (ID 0x7075) with a UTF-8 name for a name stored in OEM bytes.
// Layouts from the ZIP application note, section 4.5.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vro {

// Sizes and offset of one entry; the classic 32-bit values on entry, the real
// ones after ApplyZip64Extra.
struct TZipSizes {
    uint64_t Unpacked = 0;
    uint64_t Packed = 0;
    uint64_t LocalOffset = 0;
};

// Replaces each classic value that is 0xFFFFFFFF with its ZIP64 value. A central
// header's field holds only the overflowed values, in the order unpacked,
// packed, offset; a local header's holds both sizes when either overflowed.
void ApplyZip64Extra(std::span<const uint8_t> extra, bool localHeader, TZipSizes& sizes);

// The UTF-8 name of a Unicode path field whose CRC matches the stored name bytes;
// empty when there is none or it belongs to another name.
std::string UnicodePathExtra(std::span<const uint8_t> extra, std::string_view storedName);

// The entry name as the engine keeps it: UTF-8 with "\" separators. Names flagged
// UTF-8 (general-purpose bit 11) or carrying a matching Unicode path field are
// UTF-8 already. Otherwise the host that wrote the entry decides: DOS, OS/2 and
// Windows file systems store OEM bytes; other hosts (Unix, macOS) store their own
// bytes, which are taken as UTF-8 when they are valid UTF-8.
std::string ZipEntryName(std::string_view stored, uint16_t flags, std::span<const uint8_t> extra,
                         uint8_t hostSystem);

// The host byte of "version made by" in a local header walk, where none is stored.
inline constexpr uint8_t kZipHostUnknown = 0xFF;

} // namespace vro
