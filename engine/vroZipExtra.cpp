#include "engine/vroZipExtra.h"

#include "engine/vroBytes.h"
#include "engine/vroCrc.h"
#include "engine/vroHelpers.h"
#include "platform/Utf8.h"

namespace vro {

namespace {

constexpr uint16_t kZip64Id = 0x0001;
constexpr uint16_t kUnicodePathId = 0x7075;
constexpr uint32_t kOverflow32 = 0xFFFFFFFF;
constexpr uint16_t kUtf8NameFlag = 0x0800;

// The body of the first extra field with this ID; empty when there is none.
// Each field: 0 ID (2), 2 body length (2), 4 body. A length past the end stops.
std::span<const uint8_t> FindExtraField(std::span<const uint8_t> extra, uint16_t id) {
    size_t at = 0;
    while (at + 4 <= extra.size()) {
        const uint16_t fieldId = GetLE16(&extra[at]);
        const size_t length = GetLE16(&extra[at + 2]);
        if (at + 4 + length > extra.size()) break;
        if (fieldId == id) return extra.subspan(at + 4, length);
        at += 4 + length;
    }
    return {};
}

} // namespace

void ApplyZip64Extra(std::span<const uint8_t> extra, bool localHeader, TZipSizes& sizes) {
    std::span<const uint8_t> body = FindExtraField(extra, kZip64Id);
    const bool anySize = sizes.Unpacked == kOverflow32 || sizes.Packed == kOverflow32;
    size_t at = 0;
    auto take = [&](uint64_t& value, bool present) {
        if (!present || at + 8 > body.size()) return;
        value = GetLE64(&body[at]);
        at += 8;
    };
    take(sizes.Unpacked, localHeader ? anySize : sizes.Unpacked == kOverflow32);
    take(sizes.Packed, localHeader ? anySize : sizes.Packed == kOverflow32);
    if (!localHeader) take(sizes.LocalOffset, sizes.LocalOffset == kOverflow32);
}

// 0 version (1, must be 1), 1 CRC-32 of the stored name (4), 5 UTF-8 name.
std::string UnicodePathExtra(std::span<const uint8_t> extra, std::string_view storedName) {
    std::span<const uint8_t> body = FindExtraField(extra, kUnicodePathId);
    if (body.size() < 5 || body[0] != 1) return {};
    const uint32_t nameCrc = ~Crc32Update(0xFFFFFFFF, storedName.data(), storedName.size());
    if (GetLE32(&body[1]) != nameCrc) return {};
    return std::string(reinterpret_cast<const char*>(body.data() + 5), body.size() - 5);
}

// Hosts whose file systems keep names in the OEM code page: MS-DOS/FAT (0),
// OS/2 HPFS (6), Windows NTFS (10) and VFAT (14).
static bool StoresOemNames(uint8_t host) {
    return host == 0 || host == 6 || host == 10 || host == 14 || host == kZipHostUnknown;
}

std::string ZipEntryName(std::string_view stored, uint16_t flags, std::span<const uint8_t> extra,
                         uint8_t hostSystem) {
    if (flags & kUtf8NameFlag) return ToBackslashes(std::string(stored));
    std::string unicode = UnicodePathExtra(extra, stored);
    if (!unicode.empty()) return ToBackslashes(std::move(unicode));
    if (!StoresOemNames(hostSystem) && platform::IsValidUtf8(stored))
        return ToBackslashes(std::string(stored));
    return FromArchiveName(stored);
}

} // namespace vro
