// Catalogue walk of ACE 1.0 and 2.0 archives (Marcel Lemke's ACE, WinACE), after
// the header layout of the ACE technical documentation as the public readers
// (unace 2.x, acefile) implement it. Every header starts with a CRC-16, its size
// (counting the bytes after the size field), a type and 16-bit flags; a header
// with flag 0x0001 is followed by that many bytes of data. The main header (type 0)
// comes first; file headers (type 1, or 3 with 64-bit sizes) follow, each with its
// packed data; recovery records (types 2, 4, 5) are passed over.
// Directories are file headers with the DOS directory attribute. A file split over
// volumes (x.ace, x.c00, x.c01, ...) has flag 0x2000 in every part but the last
// and 0x1000 in every part but the first; the walk reports it once, after its
// last part, with the packed sizes of all parts summed (each part's original size
// and CRC are the whole file's).
#include <algorithm>
#include <cstring>

#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

// Common header start (the block):
//   0  2  header CRC-16 (low half of the CRC-32 of the bytes after the size)
//   2  2  header size: the bytes that follow this field
//   4  1  type      5  2  flags
// Main header, from 7: "**ACE**" (7), version to extract (14), creator version
// (15), host (16), volume number (17), DOS date-time (18), 8 reserved bytes.
// File header, from 7 (a 64-bit header widens both sizes to 8 bytes):
//   7  4  packed size          23  4  CRC-32
//  11  4  original size        27  4  method, quality, 2 parameter bytes
//  15  4  DOS date-time        31  2  reserved
//  19  4  attributes (DOS)     33  2  name length, then the name
// Recovery records: 7  4 (or 8 with flag 0x0004)  the size of the data after them.
constexpr int kBlockSize = 7;
constexpr int kCommonSize = 4; // CRC and size: not counted by the size field
constexpr int kMainMagic = 7;
constexpr char kMagic[] = "**ACE**";
constexpr int kMainHeaderMinimum = 18; // through the volume number
constexpr int kFileFields = 28;        // the file part after the common 7 bytes

constexpr uint8_t kTypeMain = 0;
constexpr uint8_t kTypeFile32 = 1;
constexpr uint8_t kTypeRecovery32 = 2;
constexpr uint8_t kTypeFile64 = 3;
constexpr uint8_t kTypeRecovery64A = 4;
constexpr uint8_t kTypeRecovery64B = 5;

constexpr uint16_t kFlagAddSize = 0x0001;
constexpr uint16_t kFlag64Bit = 0x0004;
constexpr uint16_t kFlagContinuedFromPrevious = 0x1000;
constexpr uint16_t kFlagContinuedInNext = 0x2000;
constexpr uint16_t kFlagPassword = 0x4000;
constexpr uint32_t kAttrDirectory = 0x10;
constexpr uint8_t kMethodStored = 0;
constexpr int64_t kMaxSize = INT64_MAX; // 64-bit sizes are taken as signed

// One file header, parsed.
struct FileHeader {
    uint16_t flags = 0;
    int64_t packed = 0, unpacked = 0;
    uint32_t dosDateTime = 0, attributes = 0, crc = 0;
    uint8_t method = 0, quality = 0;
    std::string name;
    int64_t dataStart = 0; // right after the header
};

class AceWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        walk::StartVolumeNumbering(v);
        int64_t first;
        if (!ReadMainHeader(v, v.StartOffset - 1, first)) {
            v.ReadPosition = v.EndPosition + 1;
            return;
        }
        v.ReadPosition = first + 1;
        v.BlockSize = kBlockSize;
    }

    void Step(TVireo& v) override {
        const uint8_t* b = v.Block.data();
        const int64_t header = v.HeaderPosition();
        const uint16_t size = GetLE16(b + 2);
        const uint8_t type = b[4];
        const uint16_t flags = GetLE16(b + 5);
        const int64_t after = header + kCommonSize + size;
        if (v.BlockRead < kBlockSize || size < kBlockSize - kCommonSize) return v.EndWalk();

        switch (type) {
        case kTypeFile32:
        case kTypeFile64: return File(v, header, b);
        case kTypeRecovery32:
        case kTypeRecovery64A:
        case kTypeRecovery64B: {
            int64_t data = 0;
            if (flags & kFlagAddSize) {
                uint8_t n[8] = {};
                if (!v.ReadAt(header + kBlockSize, n, (flags & kFlag64Bit) ? 8 : 4))
                    return v.EndWalk();
                data = static_cast<int64_t>(GetLE64(n) & kMaxSize);
            }
            return MoveTo(v, after, data);
        }
        default: return v.EndWalk();
        }
    }

private:
    // Checks the main header at pos and finds the first header after it; keeps
    // the versions for the entries. False when it is not an ACE main header.
    bool ReadMainHeader(TVireo& v, int64_t pos, int64_t& first) {
        uint8_t h[kCommonSize + kMainHeaderMinimum];
        if (!v.ReadAt(pos, h, sizeof h) || h[4] != kTypeMain ||
            std::memcmp(h + kMainMagic, kMagic, 7) != 0)
            return false;
        const uint16_t size = GetLE16(h + 2);
        if (size < kMainHeaderMinimum - kCommonSize) return false;
        versionNeeded_ = h[14];
        versionMadeBy_ = h[15];
        first = pos + kCommonSize + size;
        return true;
    }

    // Reads the file header at pos whose common part is in b. False when it does
    // not hold its own fields and name.
    static bool ReadFileHeader(TVireo& v, int64_t pos, const uint8_t* b, FileHeader& fh) {
        const uint16_t size = GetLE16(b + 2);
        fh.flags = GetLE16(b + 5);
        const bool wide = b[4] == kTypeFile64 && (fh.flags & kFlag64Bit);
        const int sizeWidth = wide ? 8 : 4;
        const int fields = kFileFields + 2 * (sizeWidth - 4);
        uint8_t f[kFileFields + 8];
        if (size < kBlockSize - kCommonSize + fields || !v.ReadAt(pos + kBlockSize, f, fields))
            return false;
        const auto readSize = [&](const uint8_t* p) {
            return wide ? static_cast<int64_t>(GetLE64(p) & kMaxSize) : int64_t(GetLE32(p));
        };
        fh.packed = readSize(f);
        fh.unpacked = readSize(f + sizeWidth);
        const uint8_t* g = f + 2 * sizeWidth; // the DOS date-time onwards
        fh.dosDateTime = GetLE32(g);
        fh.attributes = GetLE32(g + 4);
        fh.crc = GetLE32(g + 8);
        fh.method = g[12];
        fh.quality = g[13];
        const uint16_t nameLength = GetLE16(g + 18);
        const int64_t nameStart = pos + kBlockSize + fields;
        fh.dataStart = pos + kCommonSize + size;
        std::string raw(nameLength, '\0');
        if (nameStart + nameLength > fh.dataStart || !v.ReadAt(nameStart, raw.data(), nameLength))
            return false;
        fh.name = walk::NameFromArchive(raw.substr(0, raw.find('\0')));
        v.NameRead(fh.name);
        return true;
    }

    void File(TVireo& v, int64_t header, const uint8_t* b) {
        FileHeader fh;
        if (!ReadFileHeader(v, header, b, fh)) return v.EndWalk();
        // A part continued from a volume the walk did not come from (listing a
        // later volume on its own) is not an entry of its own: pass it over.
        if (fh.flags & kFlagContinuedFromPrevious) return MoveTo(v, fh.dataStart, fh.packed);

        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        e.FileName = fh.name;
        e.DateTime = DosDateTimeToDate(fh.dosDateTime);
        e.ExternalAttr = fh.attributes;
        e.InternalAttr = static_cast<int16_t>(fh.attributes);
        e.CRC = fh.crc;
        e.MethodCode = fh.quality;
        e.MethodName = AceMethodName(v, fh);
        e.Encrypted = fh.flags & kFlagPassword;
        e.VersionMadeBy = versionMadeBy_;
        e.VersionNeeded = versionNeeded_;
        const int64_t unpacked = fh.unpacked;
        int64_t packed = fh.packed;

        // A split file: its other parts open the following volumes. When a volume
        // cannot be had, the entry is reported with what was read and the walk ends.
        const std::string firstVolume = e.VolumeName;
        bool complete = true;
        while (fh.flags & kFlagContinuedInNext) {
            if (!NextPart(v, fh)) {
                complete = false;
                break;
            }
            packed += std::min(fh.packed, kMaxSize - packed);
        }

        // The entry belongs to the volume where it starts; the walk goes on in the
        // volume now open.
        const std::string currentVolume = e.VolumeName;
        e.VolumeName = firstVolume;
        v.SetSizes(packed, unpacked);
        walk::ReportByDirectoryRule(v, header, fh.attributes & kAttrDirectory);
        e.VolumeName = currentVolume;
        if (!complete) return v.EndWalk();
        MoveTo(v, fh.dataStart, fh.packed);
    }

    // Opens the next volume and reads the continuing part there: the first header
    // after the volume's main header, which must be a file header continued from
    // the previous volume.
    bool NextPart(TVireo& v, FileHeader& fh) {
        if (!v.OpenNextVolume()) return false;
        v.VolumeChanged();
        int64_t first;
        uint8_t b[kBlockSize];
        return ReadMainHeader(v, 0, first) && v.ReadAt(first, b, kBlockSize) && IsFileType(b[4]) &&
               ReadFileHeader(v, first, b, fh) && (fh.flags & kFlagContinuedFromPrevious);
    }

    // ACE's quality byte counts from 1 (fastest) to 5 (best), with 0 for none; the
    // method table names the five levels from 0. A stored member (method byte 0)
    // shows as stored whatever its quality byte says.
    static std::string AceMethodName(TVireo& v, const FileHeader& fh) {
        if (fh.method == kMethodStored) return "Stored";
        if (fh.quality < 1 || fh.quality > 5) return "Unknown";
        return MethodName(v.ArcType(), fh.quality - 1);
    }

    static bool IsFileType(uint8_t type) { return type == kTypeFile32 || type == kTypeFile64; }

    // Past a header and its data; only forward, so the walk always ends.
    static void MoveTo(TVireo& v, int64_t after, int64_t data) {
        if (data > v.EndPosition) return v.EndWalk();
        v.Position = after + data;
    }

    uint8_t versionMadeBy_ = 0, versionNeeded_ = 0;
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeAceWalk() {
    return std::make_unique<AceWalk>();
}

} // namespace vro
