#include "engine/vroLhaHeader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "engine/vroBytes.h"

namespace vro {

namespace {

// The first 22 bytes are common to all levels:
//   0  1  header size (levels 0, 1; 0 ends the archive); levels 2 and 3 use 0-1
//   1  1  header checksum (levels 0, 1)
//   2  5  method identifier "-lh5-"
//   7  4  packed size (level 1: including the extended headers)
//  11  4  original size
//  15  4  time stamp: DOS date-time (levels 0, 1), Unix seconds (levels 2, 3)
//  19  1  DOS attributes (levels 0, 1)
//  20  1  header level
//  21  1  name length (levels 0, 1)
constexpr int kBlockSize = 22;
constexpr int kMethod = 2, kMethodLength = 5;
constexpr int kPacked = 7, kOriginal = 11, kTimeStamp = 15, kAttributes = 19, kLevel = 20;
constexpr int kNameLength = 21, kName = 22;

// Level 0: name, then CRC-16 (2); the header size counts from offset 2.
// Level 1: name, CRC-16 (2), OS id (1), first extended header size (2, the last
//          two bytes of the base header); the extended headers follow the base
//          header and their bytes are counted in the packed size.
constexpr int kCrcSize = 2;
constexpr int kLevel1Tail = 3; // OS id and the first extended header size

// Level 2 base header (26 bytes; 0-1 is the total header size with all extended
// headers), level 3 base header (32 bytes; 0-1 is the size-field width, 4):
//  21  2  CRC-16                       21  2  CRC-16
//  23  1  OS id                        23  1  OS id
//  24  2  first extended header size   24  4  total header size
//                                      28  4  first extended header size
constexpr int kCrc = 21, kOsId = 23;
constexpr int kLevel2Base = 26, kLevel2FirstExtended = 24;
// LHa 2.01 for OS-9/68k leaves the size field's own 2 bytes out of the level-2
// total, so its extended headers end 2 bytes after it, where its data begins.
constexpr int kLevel2Slack = 2;
constexpr int kLevel3Base = 32, kLevel3TotalSize = 24, kLevel3FirstExtended = 28;
constexpr uint16_t kLevel3FieldWidth = 4;

// Name bytes kept from an extended header; a longer name is cut.
constexpr int64_t kMaxNameData = 4096;

constexpr uint8_t kMsDos = 'M';
constexpr uint8_t kExtFileName = 0x01, kExtDirectory = 0x02;

// The directory of extended header 2 as a path: 0xFF separates its parts (some
// writers use "/" or "\", which the name conversion turns into "\" in any case;
// 0xFF is never the second byte of a Shift-JIS character, so no character is cut).
// Blanks at both ends and trailing separators are dropped.
std::string DirectoryPath(std::string raw) {
    std::replace(raw.begin(), raw.end(), '\xFF', '\\');
    const auto trailing = [](char c) {
        return static_cast<uint8_t>(c) <= ' ' || c == '\\' || c == '/';
    };
    raw.erase(std::find_if_not(raw.rbegin(), raw.rend(), trailing).base(), raw.end());
    raw.erase(raw.begin(), std::find_if_not(raw.begin(), raw.end(),
                                            [](char c) { return static_cast<uint8_t>(c) <= ' '; }));
    return raw;
}

// A size byte of 0 ends the archive, except in a level-2 header whose 16-bit size
// is a multiple of 256 (not every writer pads those away).
bool IsEndMark(const uint8_t* b) {
    return b[0] == 0 && (b[kLevel] != 2 || GetLE16(b) == 0);
}

class THeaderReader {
public:
    THeaderReader(const TLhaReadAt& readAt, int64_t fileEnd) : readAt_(readAt), end_(fileEnd) {}

    bool Read(int64_t pos, TLhaHeader& h) {
        uint8_t b[kBlockSize];
        if (!readAt_(pos, b, kBlockSize) || IsEndMark(b) || b[kMethod] != '-' ||
            b[kMethod + 4] != '-')
            return false;
        h = TLhaHeader{};
        h.Position = pos;
        h.Method.assign(reinterpret_cast<const char*>(b + kMethod), kMethodLength);
        h.UnpackedSize = GetLE32(b + kOriginal);
        h.TimeStamp = GetLE32(b + kTimeStamp);
        h.Attributes = b[kAttributes];
        h.Level = b[kLevel];
        switch (h.Level) {
        case 0:
        case 1: return ReadLevel0Or1(b, h);
        case 2: return ReadLevel2(b, h);
        case 3: return ReadLevel3(b, h);
        default: return false;
        }
    }

private:
    bool ReadLevel0Or1(const uint8_t* b, TLhaHeader& h) {
        const bool level1 = h.Level == 1;
        const int headerLength = b[0] + 2;
        const int nameLength = b[kNameLength];
        const int crcAt = kName + nameLength;
        if (crcAt + kCrcSize + (level1 ? kLevel1Tail : 0) > headerLength) return false;
        std::array<uint8_t, 257> base;
        if (!readAt_(h.Position, base.data(), headerLength)) return false;
        h.Name.assign(reinterpret_cast<const char*>(base.data() + kName), nameLength);
        h.Crc = GetLE16(base.data() + crcAt);
        if (level1) h.Os = base[headerLength - kLevel1Tail];

        h.DataStart = h.Position + headerLength;
        const uint32_t packed = GetLE32(b + kPacked);
        h.Next = h.DataStart + packed;
        h.PackedSize = packed;
        if (!level1) return true;
        const int64_t areaEnd = std::min(h.Next, end_);
        const int64_t extendedEnd = ReadExtendedHeaders(h.DataStart, areaEnd, 2,
                                                        GetLE16(base.data() + headerLength - 2), h);
        if (extendedEnd < 0) return false;
        h.PackedSize = packed - (extendedEnd - h.DataStart);
        h.DataStart = extendedEnd;
        return true;
    }

    bool ReadLevel2(const uint8_t* b, TLhaHeader& h) {
        const uint16_t total = GetLE16(b);
        uint8_t base[kLevel2Base];
        if (total < kLevel2Base || !readAt_(h.Position, base, kLevel2Base)) return false;
        return ReadLevel2Or3Chain(b, h, base, kLevel2Base, total, kLevel2Slack, 2,
                                  GetLE16(base + kLevel2FirstExtended));
    }

    bool ReadLevel3(const uint8_t* b, TLhaHeader& h) {
        uint8_t base[kLevel3Base];
        if (GetLE16(b) != kLevel3FieldWidth || !readAt_(h.Position, base, kLevel3Base))
            return false;
        const uint32_t total = GetLE32(base + kLevel3TotalSize);
        if (total < kLevel3Base) return false;
        return ReadLevel2Or3Chain(b, h, base, kLevel3Base, total, 0, kLevel3FieldWidth,
                                  GetLE32(base + kLevel3FirstExtended));
    }

    // Levels 2 and 3: the extended headers lie inside the total header size (give
    // or take slack bytes), and the packed data follows them.
    bool ReadLevel2Or3Chain(const uint8_t* b, TLhaHeader& h, const uint8_t* base, int baseLength,
                            int64_t total, int slack, int width, uint32_t firstSize) {
        if (total > end_ - h.Position) return false; // cut by the end of the file
        h.Crc = GetLE16(base + kCrc);
        h.Os = base[kOsId];
        const int64_t areaEnd = std::min(h.Position + total + slack, end_);
        const int64_t chainEnd =
            ReadExtendedHeaders(h.Position + baseLength, areaEnd, width, firstSize, h);
        if (chainEnd < 0) return false;
        h.PackedSize = GetLE32(b + kPacked);
        h.DataStart = std::max(h.Position + total, chainEnd);
        h.Next = h.DataStart + h.PackedSize;
        return true;
    }

    // Walks the chain of extended headers starting at pos whose first size is
    // size (0: none); each must lie inside [pos, end). Returns where the chain
    // ends, or -1 when it is damaged or cannot be read.
    int64_t ReadExtendedHeaders(int64_t pos, int64_t end, int width, uint64_t size, TLhaHeader& h) {
        while (size != 0) {
            if (size < static_cast<uint64_t>(1 + width) || size > static_cast<uint64_t>(end - pos))
                return -1;
            const auto length = static_cast<int64_t>(size);
            uint8_t type;
            uint8_t nextSize[4] = {};
            if (!readAt_(pos, &type, 1) || !readAt_(pos + length - width, nextSize, width))
                return -1;
            if (type == kExtFileName || type == kExtDirectory) {
                std::string& field = type == kExtFileName ? h.Name : h.Directory;
                field.resize(static_cast<size_t>(std::min(length - 1 - width, kMaxNameData)));
                if (!readAt_(pos + 1, field.data(), static_cast<int64_t>(field.size()))) return -1;
            }
            pos += length;
            size = width == 2 ? GetLE16(nextSize) : GetLE32(nextSize);
        }
        return pos;
    }

    const TLhaReadAt& readAt_;
    const int64_t end_;
};

} // namespace

std::string TLhaHeader::JoinedPath() const {
    const std::string dir = DirectoryPath(Directory);
    return dir.empty() ? Name : dir + "\\" + Name;
}

bool TLhaHeader::DosWriter() const {
    return Os == 0 || Os == kMsDos;
}

bool ReadLhaHeader(const TLhaReadAt& readAt, int64_t pos, int64_t fileEnd, TLhaHeader& h) {
    return THeaderReader(readAt, fileEnd).Read(pos, h);
}

std::string DosCase(std::string name) {
    if (std::any_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
        return name;
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}

} // namespace vro
