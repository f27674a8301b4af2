// Catalogue walk of ARJ archives (ARJ 2.x by Robert Jung, ARJ32 3.x), following the
// header description of ARJ's TECHNOTE.DOC. An archive is a main header and a chain
// of local file headers, each followed by its packed data, ended by a header of
// size 0. Every header is: id 0xEA60, basic header size, the basic header, its
// CRC-32, then extended headers (a 16-bit size each; 0 ends them).
// A file split over volumes (x.arj, x.a01, x.a02, ...) carries flag 0x04 in every
// part but the last; the walk follows it into the next volumes and reports the
// file once, with the sizes of all its parts summed.
#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

// Basic header fields, as offsets from the start of a header (the id):
//   0  2  header id 0xEA60           12  4  DOS date-time
//   2  2  basic header size (0: end)  16  4  compressed size
//   4  1  first header size           20  4  original size
//   5  1  archiver version            24  4  CRC-32
//   6  1  minimum version to extract  28  2  entry name position (filespec)
//   7  1  host OS                     30  2  file access mode (DOS attributes,
//                                              or a Unix mode on Unix hosts)
//   8  1  ARJ flags                   32  2  host data
//   9  1  method                      4 + first header size: name, then comment,
//  10  1  file type                       both zero-terminated
constexpr uint16_t kHeaderId = 0xEA60;
constexpr int kIdSize = 4;            // id and basic header size: the block
constexpr int kMaxBasicHeader = 2600; // ARJ's own limit (HEADERSIZE_MAX)
constexpr int kMinBasicHeader = 30;   // the first header's fixed fields (FIRST_HDR_SIZE)
constexpr int kBasicCrcSize = 4;
constexpr int kMaxExtendedHeaders = 256; // each has a size, a body and a CRC-32
constexpr uint8_t kFlagGarbled = 0x01;
constexpr uint8_t kFlagVolume = 0x04; // continued in the next volume
constexpr uint8_t kTypeDirectory = 3;
constexpr uint8_t kTypeVolumeLabel = 4; // labels and chapters are no entries
// ARJ made on a Unix host (host OS 2) stores the file's Unix time stamp and Unix
// mode where DOS hosts store the DOS date-time and attributes (the corpus archives
// of ARJ32 3.10 on Linux carry their files' exact Unix times there).
constexpr uint8_t kHostUnix = 2;

// One parsed local header: where it starts and where the data after it ends.
struct LocalHeader {
    int64_t position = 0;
    int64_t next = 0; // the following header
    std::string name;
    uint8_t archiverVersion = 0, minimumVersion = 0, hostOs = 0, flags = 0, method = 0,
            fileType = 0;
    uint32_t dosDateTime = 0, packed = 0, unpacked = 0, crc = 0;
    uint16_t accessMode = 0;
};

class ArjWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        walk::StartVolumeNumbering(v);
        header_.assign(kIdSize + kMaxBasicHeader, 0);
        int64_t first;
        if (!SkipMainHeader(v, v.StartOffset - 1, first))
            v.RaiseError(E_BADHEADER, v.ArchiveFile());
        v.ReadPosition = first + 1;
        v.BlockSize = kIdSize;
    }

    void Step(TVireo& v) override {
        LocalHeader h;
        if (!ReadLocalHeader(v, v.HeaderPosition(), h)) return v.EndWalk();

        int64_t packed = h.packed, unpacked = h.unpacked;
        bool complete = true;
        while (h.flags & kFlagVolume) {
            v.NameRead(walk::NameFromArchive(h.name));
            LocalHeader part;
            if (!NextVolumePart(v, part)) {
                complete = false;
                break;
            }
            h = part;
            packed += h.packed;
            unpacked += h.unpacked;
        }

        Report(v, h, packed, unpacked);
        v.Position = complete ? h.next : v.EndPosition;
    }

private:
    // Reads the header at pos into header_ (id, size, basic header) and finds the
    // position after its CRC and extended headers. False when it is not a header,
    // is the end marker, or runs past the end of the file.
    bool ReadHeader(TVireo& v, int64_t pos, int& size, int64_t& after) {
        std::fill(header_.begin(), header_.end(), 0);
        if (!v.ReadAt(pos, header_.data(), kIdSize) || GetLE16(header_.data()) != kHeaderId)
            return false;
        size = GetLE16(header_.data() + 2);
        if (size == 0 || size > kMaxBasicHeader) return false;
        if (!v.ReadAt(pos + kIdSize, header_.data() + kIdSize, size)) return false;
        after = pos + kIdSize + size + kBasicCrcSize;
        for (int i = 0; i < kMaxExtendedHeaders; ++i) {
            uint8_t ext[2];
            if (!v.ReadAt(after, ext, 2)) return false;
            after += 2;
            const uint16_t extSize = GetLE16(ext);
            if (extSize == 0) return true;
            after += extSize + kBasicCrcSize;
        }
        return false;
    }

    bool SkipMainHeader(TVireo& v, int64_t pos, int64_t& first) {
        int size;
        return ReadHeader(v, pos, size, first);
    }

    bool ReadLocalHeader(TVireo& v, int64_t pos, LocalHeader& h) {
        int size;
        int64_t after;
        if (!ReadHeader(v, pos, size, after) || size < kMinBasicHeader) return false;
        const uint8_t* b = header_.data(); // offsets as in the map above
        h.position = pos;
        h.archiverVersion = b[5];
        h.minimumVersion = b[6];
        h.hostOs = b[7];
        h.flags = b[8];
        h.method = b[9];
        h.fileType = b[10];
        h.dosDateTime = GetLE32(b + 12);
        h.packed = GetLE32(b + 16);
        h.unpacked = GetLE32(b + 20);
        h.crc = GetLE32(b + 24);
        h.accessMode = GetLE16(b + 30);
        h.name = std::string(walk::ZeroTerminated(b, kIdSize + b[4], kIdSize + size));
        h.next = after + h.packed;
        return true;
    }

    // Opens the next volume and reads the continuing part of the current file
    // (the first local header after that volume's main header). A volume whose
    // main header is damaged is a fatal "Bad file header", as the first one is.
    bool NextVolumePart(TVireo& v, LocalHeader& part) {
        if (!v.OpenNextVolume()) return false;
        v.VolumeChanged();
        int64_t first;
        if (!SkipMainHeader(v, 0, first)) v.RaiseError(E_BADHEADER, v.EntryInfo.VolumeName);
        return ReadLocalHeader(v, first, part);
    }

    void Report(TVireo& v, const LocalHeader& h, int64_t packed, int64_t unpacked) {
        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        e.FileName = walk::NameFromArchive(h.name);
        v.NameRead(e.FileName);
        if (h.fileType >= kTypeVolumeLabel) return;
        const bool directory = h.fileType == kTypeDirectory;
        const bool unixHost = h.hostOs == kHostUnix;
        e.DateTime = unixHost ? UnixToDate(static_cast<int32_t>(h.dosDateTime))
                              : DosDateTimeToDate(h.dosDateTime);
        e.VersionMadeBy = h.archiverVersion;
        e.VersionNeeded = h.minimumVersion;
        v.SetSizes(packed, unpacked);
        e.CRC = h.crc;
        e.Encrypted = h.flags & kFlagGarbled;
        e.MethodCode = h.method;
        e.MethodName = MethodName(v.ArcType(), h.method, directory);
        e.InternalAttr = static_cast<int16_t>(h.accessMode);
        e.ExternalAttr = unixHost ? DosAttributes(h.accessMode, directory) : h.accessMode;
        walk::ReportByDirectoryRule(v, h.position, directory);
    }

    // The DOS attribute bits of a Unix file mode: directory, or archive; read-only
    // when the owner may not write.
    static uint32_t DosAttributes(uint16_t mode, bool directory) {
        constexpr uint16_t kOwnerWrite = 0200;
        uint32_t attr = directory ? 0x10 : 0x20;
        if (!(mode & kOwnerWrite)) attr |= 0x01;
        return attr;
    }

    std::vector<uint8_t> header_; // id, size and basic header of the last header read
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeArjWalk() {
    return std::make_unique<ArjWalk>();
}

} // namespace vro
