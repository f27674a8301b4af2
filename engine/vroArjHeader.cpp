#include "engine/vroArjHeader.h"

#include <string_view>

#include "engine/vroBytes.h"
#include "engine/vroCrc.h"

namespace vro {

namespace {

// Basic header fields, as offsets from the start of a header (the id):
//   0  2  header id 0xEA60           12  4  DOS date-time
//   2  2  basic header size (0: end)  16  4  compressed size
//   4  1  first header size           20  4  original size
//   5  1  archiver version            24  4  CRC-32
//   6  1  minimum version to extract  28  2  entry name position (filespec)
//   7  1  host OS                     30  2  file access mode (DOS attributes,
//   8  1  ARJ flags                             or a Unix mode on Unix hosts)
//   9  1  method                      32  2  host data
//  10  1  file type                   4 + first header size: name, then comment,
//  11  1  password modifier               both zero-terminated
constexpr uint16_t kHeaderId = 0xEA60;
constexpr int kIdSize = 4; // id and basic header size
constexpr int kCrcSize = 4;
constexpr int kMaxExtendedHeaders = 256;

void ParseFields(const std::vector<uint8_t>& buffer, TArjHeader& h) {
    const uint8_t* b = buffer.data();
    h.ArchiverVersion = b[5];
    h.MinimumVersion = b[6];
    h.HostOs = b[7];
    h.Flags = b[8];
    h.Method = b[9];
    h.FileType = b[10];
    h.PasswordModifier = b[11];
    h.DateTime = GetLE32(b + 12);
    h.PackedSize = GetLE32(b + 16);
    h.UnpackedSize = GetLE32(b + 20);
    h.Crc = GetLE32(b + 24);
    h.AccessMode = GetLE16(b + 30);
    const size_t from = kIdSize + b[4], end = kIdSize + static_cast<size_t>(h.BasicSize);
    if (from < end) {
        const std::string_view all(reinterpret_cast<const char*>(b + from), end - from);
        h.Name = std::string(all.substr(0, all.find('\0')));
    }
}

} // namespace

TArjRead ReadArjHeader(const TArjReadAt& readAt, int64_t pos, TArjHeader& h) {
    h = TArjHeader{};
    h.Position = pos;
    std::vector<uint8_t> buffer(kIdSize + kArjMaxBasicHeader + kCrcSize, 0);
    if (!readAt(pos, buffer.data(), kIdSize)) return TArjRead::Short;
    if (GetLE16(buffer.data()) != kHeaderId) return TArjRead::BadId;
    h.BasicSize = GetLE16(buffer.data() + 2);
    if (h.BasicSize == 0) return TArjRead::End;
    if (h.BasicSize > kArjMaxBasicHeader) return TArjRead::TooLarge;
    if (!readAt(pos + kIdSize, buffer.data() + kIdSize, h.BasicSize + kCrcSize))
        return TArjRead::Short;
    const uint32_t crc = ~Crc32Update(0xFFFFFFFF, buffer.data() + kIdSize, h.BasicSize);
    h.Crc32Ok = crc == GetLE32(buffer.data() + kIdSize + h.BasicSize);
    ParseFields(buffer, h);

    int64_t after = pos + kIdSize + h.BasicSize + kCrcSize;
    for (int i = 0; i < kMaxExtendedHeaders; ++i) {
        uint8_t ext[2];
        if (!readAt(after, ext, 2)) return TArjRead::Short;
        after += 2;
        const uint16_t extSize = GetLE16(ext);
        if (extSize == 0) {
            h.DataStart = after;
            return TArjRead::Ok;
        }
        after += extSize + kCrcSize;
    }
    return TArjRead::Short;
}

} // namespace vro
