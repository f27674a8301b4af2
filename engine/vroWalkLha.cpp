// Catalogue walk of LHA / LZH archives, header levels 0 to 3, after the header
// layouts of the LHa for UNIX "Header.doc" notes. An archive is a chain of entries,
// each a header and its packed data; a header size of 0 ends it. Levels 0 and 1
// keep the name in the base header; levels 1 to 3 add a chain of extended headers
// (file name, directory name, attributes, times...), of which the listing needs
// only the names. Every size read from a header is checked against the header it
// belongs to and the file before anything is read through it.
#include <algorithm>
#include <array>
#include <cstring>

#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

// The first 22 bytes are common to all levels and are the loop's block:
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

// A MacBinary wrapper (first byte 0) puts the archive 128 bytes further on.
constexpr int64_t kMacBinaryHeader = 128;

// Name bytes kept from an extended header; a longer name is cut.
constexpr int64_t kMaxNameData = 4096;

// DOS writers store names in capitals only because DOS folds case; such names are
// shown in lower case, as other LHA readers of this system do. Mixed case stays.
std::string DosCase(std::string name) {
    if (std::any_of(name.begin(), name.end(), [](char c) { return c >= 'a' && c <= 'z'; }))
        return name;
    for (char& c : name)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return name;
}

constexpr uint8_t kMsDos = 'M';

struct LhaHeader {
    int64_t position = 0;
    int64_t next = 0;       // the following header
    int64_t truePacked = 0; // the packed data alone
    uint16_t crc = 0;
    uint8_t os = 0;        // the writer's OS id; level 0 has none
    std::string name;      // raw bytes
    std::string directory; // raw bytes of extended header 2
};

// Extended headers: a type byte, its data, then the size of the next one (2 bytes,
// or 4 at level 3). The size counts all three. Only the names matter here.
struct ExtendedHandler {
    uint8_t type;
    void (*apply)(LhaHeader& h, std::string_view data);
};
constexpr ExtendedHandler kExtendedHandlers[] = {
    {0x01, [](LhaHeader& h, std::string_view data) { h.name.assign(data); }},
    {0x02, [](LhaHeader& h, std::string_view data) { h.directory.assign(data); }},
};

const ExtendedHandler* FindHandler(uint8_t type) {
    for (const ExtendedHandler& handler : kExtendedHandlers)
        if (handler.type == type) return &handler;
    return nullptr;
}

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

// The key the method-name table is looked up by: the -lh?- digit; the LArc
// (-lz?-) and PMarc (-pm?-) families only share "stored" with it.
int32_t MethodTableKey(const uint8_t* id) {
    if (id[1] == 'l' && id[2] == 'h') return id[3];
    if (std::memcmp(id, "-lz4-", 5) == 0 || std::memcmp(id, "-pm0-", 5) == 0) return '0';
    return -1;
}

class LhaWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        uint8_t first = 0;
        if (v.ReadAt(v.StartOffset - 1, &first, 1) && first == 0)
            v.ReadPosition = v.StartOffset + kMacBinaryHeader;
        v.BlockSize = kBlockSize;
    }

    void Step(TVireo& v) override {
        const uint8_t* b = v.Block.data();
        if (IsEndMark(b) || b[kMethod] != '-' || b[kMethod + 4] != '-') return v.EndWalk();
        LhaHeader h;
        h.position = v.HeaderPosition();
        bool read = false;
        switch (b[kLevel]) {
        case 0:
        case 1: read = ReadLevel0Or1(v, b, h); break;
        case 2: read = ReadLevel2(v, b, h); break;
        case 3: read = ReadLevel3(v, b, h); break;
        }
        if (!read) return v.EndWalk();
        Report(v, b, h);
        v.Position = h.next;
    }

private:
    // A header-size byte of 0 ends the archive, except in a level-2 header whose
    // 16-bit size is a multiple of 256 (not every writer pads those away).
    static bool IsEndMark(const uint8_t* b) {
        return b[0] == 0 && (b[kLevel] != 2 || GetLE16(b) == 0);
    }

    bool ReadLevel0Or1(TVireo& v, const uint8_t* b, LhaHeader& h) {
        const bool level1 = b[kLevel] == 1;
        const int headerLength = b[0] + 2;
        const int nameLength = b[kNameLength];
        const int crcAt = kName + nameLength;
        if (crcAt + kCrcSize + (level1 ? kLevel1Tail : 0) > headerLength) return false;
        std::array<uint8_t, 257> base;
        if (!v.ReadAt(h.position, base.data(), headerLength)) return false;
        h.name.assign(reinterpret_cast<const char*>(base.data() + kName), nameLength);
        h.crc = GetLE16(base.data() + crcAt);
        if (level1) h.os = base[headerLength - kLevel1Tail];

        const int64_t dataStart = h.position + headerLength;
        const uint32_t packed = GetLE32(b + kPacked);
        h.next = dataStart + packed;
        h.truePacked = packed;
        if (!level1) return true;
        const int64_t areaEnd = std::min(h.next, v.EndPosition);
        const int64_t extendedEnd = ReadExtendedHeaders(v, dataStart, areaEnd, 2,
                                                        GetLE16(base.data() + headerLength - 2), h);
        if (extendedEnd < 0) return false;
        h.truePacked = packed - (extendedEnd - dataStart);
        return true;
    }

    bool ReadLevel2(TVireo& v, const uint8_t* b, LhaHeader& h) {
        const uint16_t total = GetLE16(b);
        uint8_t base[kLevel2Base];
        if (total < kLevel2Base || !v.ReadAt(h.position, base, kLevel2Base)) return false;
        return ReadLevel2Or3Chain(v, b, h, base, kLevel2Base, total, kLevel2Slack, 2,
                                  GetLE16(base + kLevel2FirstExtended));
    }

    bool ReadLevel3(TVireo& v, const uint8_t* b, LhaHeader& h) {
        uint8_t base[kLevel3Base];
        if (GetLE16(b) != kLevel3FieldWidth || !v.ReadAt(h.position, base, kLevel3Base))
            return false;
        const uint32_t total = GetLE32(base + kLevel3TotalSize);
        if (total < kLevel3Base) return false;
        return ReadLevel2Or3Chain(v, b, h, base, kLevel3Base, total, 0, kLevel3FieldWidth,
                                  GetLE32(base + kLevel3FirstExtended));
    }

    // Levels 2 and 3: the extended headers lie inside the total header size (give
    // or take slack bytes), and the packed data follows them.
    bool ReadLevel2Or3Chain(TVireo& v, const uint8_t* b, LhaHeader& h, const uint8_t* base,
                            int baseLength, int64_t total, int slack, int width,
                            uint32_t firstSize) {
        if (total > v.EndPosition - h.position) return false; // cut by the end of the file
        h.crc = GetLE16(base + kCrc);
        h.os = base[kOsId];
        const int64_t areaEnd = std::min(h.position + total + slack, v.EndPosition);
        const int64_t chainEnd =
            ReadExtendedHeaders(v, h.position + baseLength, areaEnd, width, firstSize, h);
        if (chainEnd < 0) return false;
        h.truePacked = GetLE32(b + kPacked);
        h.next = std::max(h.position + total, chainEnd) + h.truePacked;
        return true;
    }

    // Walks the chain of extended headers starting at pos whose first size is
    // size (0: none); each must lie inside [pos, end). Returns where the chain
    // ends, or -1 when it is damaged or cannot be read.
    int64_t ReadExtendedHeaders(TVireo& v, int64_t pos, int64_t end, int width, uint64_t size,
                                LhaHeader& h) {
        while (size != 0) {
            if (size < static_cast<uint64_t>(1 + width) || size > static_cast<uint64_t>(end - pos))
                return -1;
            const int64_t length = static_cast<int64_t>(size);
            uint8_t type;
            uint8_t nextSize[4] = {};
            if (!v.ReadAt(pos, &type, 1) || !v.ReadAt(pos + length - width, nextSize, width))
                return -1;
            if (const ExtendedHandler* handler = FindHandler(type)) {
                data_.resize(static_cast<size_t>(std::min(length - 1 - width, kMaxNameData)));
                if (!v.ReadAt(pos + 1, data_.data(), static_cast<int64_t>(data_.size()))) return -1;
                handler->apply(h, std::string_view(data_.data(), data_.size()));
            }
            pos += length;
            size = width == 2 ? GetLE16(nextSize) : GetLE32(nextSize);
        }
        return pos;
    }

    void Report(TVireo& v, const uint8_t* b, const LhaHeader& h) {
        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        const bool directory = std::memcmp(b + kMethod, "-lhd-", kMethodLength) == 0;
        const std::string dir = DirectoryPath(h.directory);
        std::string path = dir.empty() ? h.name : dir + "\\" + h.name;
        // A symbolic link is a directory entry whose path reads "link|target" (the
        // bar may sit in the directory header or in the name).
        const size_t bar = path.find('|');
        const bool link = directory && bar != std::string::npos;
        if (link) path.resize(bar);
        if (h.os == 0 || h.os == kMsDos) path = DosCase(path);
        e.FileName = walk::NameFromArchive(path);
        v.NameRead(e.FileName);
        if (link) return; // links are not listed, as in the TAR walk

        const uint32_t stamp = GetLE32(b + kTimeStamp);
        e.DateTime =
            b[kLevel] >= 2 ? UnixToDate(static_cast<int32_t>(stamp)) : DosDateTimeToDate(stamp);
        const int64_t original = GetLE32(b + kOriginal);
        v.SetSizes(h.truePacked, original);
        e.PackedSize = std::min(h.truePacked, original); // the ratio keeps the true size
        e.CRC = h.crc;
        e.MethodCode = b[kMethod + 3];
        e.MethodName = MethodName(v.ArcType(), MethodTableKey(b + kMethod));
        e.InternalAttr = 32;
        e.ExternalAttr = b[kAttributes];
        walk::ReportByDirectoryRule(v, h.position, directory);
    }

    std::vector<char> data_; // the data of the extended header being read
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeLhaWalk() {
    return std::make_unique<LhaWalk>();
}

} // namespace vro
