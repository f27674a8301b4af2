// Catalogue walk of Microsoft cabinet files and cabinet sets, after Microsoft's
// "Cabinet File Format" description (MS-CAB). A cabinet is a header, its folder
// entries (one per compressed stream) and its file entries, which the walk reads
// one by one. A file whose data runs on into the next cabinet of a set appears in
// both cabinets: the walk lists it where it starts and passes over the entries
// marked "continued from the previous cabinet". After the last file of a cabinet
// that names a next one, the walk asks for it and goes on there. The stored name
// may differ in case from the file on disk, so the archive's folder is searched
// for it without regard to case; a chain that leads back to a cabinet already read
// ends the walk.
#include <cstring>
#include <filesystem>
#include <set>
#include <system_error>
#include <vector>

#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroHelpers.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalkUtilB.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

// Cabinet header, offsets from the cabinet's start:
//   0  4  signature "MSCF"           24  1  version minor
//   4  4  reserved                   25  1  version major
//   8  4  cabinet size               26  2  folder count
//  12  4  reserved                   28  2  file count
//  16  4  first file entry offset    30  2  flags
//  20  4  reserved                   32  2  set id
//                                    34  2  index in the set
//  36     with flag 0x0004: header reserve size (2), folder reserve size (1),
//         data reserve size (1), then the header reserve;
//         with flag 0x0001: previous cabinet name and disk name, zero-terminated;
//         with flag 0x0002: next cabinet name and disk name, zero-terminated;
//         then the folder entries: data offset (4), data block count (2),
//         compression type (2), folder reserve.
constexpr int kHeaderSize = 36;
constexpr int kFirstFile = 16, kVersionMinor = 24, kVersionMajor = 25;
constexpr int kFolderCount = 26, kFileCount = 28, kFlags = 30;
constexpr uint16_t kHasPrevious = 0x0001, kHasNext = 0x0002, kHasReserve = 0x0004;
constexpr int kReserveSizes = 4;
constexpr int kFolderEntry = 8, kFolderCompression = 6;
constexpr size_t kMaxStoredName = 255;

// File entry (the loop's block), then its zero-terminated name:
//   0  4  uncompressed size     10  2  DOS date  } date first:
//   4  4  offset in the folder  12  2  DOS time  } "swapped" DOS
//   8  2  folder index          14  2  attributes (0x80: the name is UTF-8)
constexpr int kBlockSize = 16;
constexpr int kFileSize = 0, kFolderIndex = 8, kDateTime = 10, kAttributes = 14;
constexpr uint16_t kNameIsUtf8 = 0x80;
// Folder indexes of files split between cabinets.
constexpr uint16_t kContinuedFromPrevious = 0xFFFD, kContinuedToNext = 0xFFFE,
                   kContinuedBothWays = 0xFFFF;

// The file named stored in dir; when no file has exactly that name, one whose
// name differs only in case. Only the name part of stored is used.
std::string LocateInFolder(const std::filesystem::path& dir, const std::string& stored) {
    namespace fs = std::filesystem;
    const std::string name = ExtractFileName(FromArchiveName(stored));
    const fs::path exact = dir / name;
    std::error_code ec;
    if (fs::exists(exact, ec)) return exact.string();
    const std::string wanted = LowerCase(name);
    for (fs::directory_iterator it(dir.empty() ? "." : dir, ec), end; !ec && it != end;
         it.increment(ec))
        if (LowerCase(it->path().filename().string()) == wanted)
            return (dir / it->path().filename()).string();
    return exact.string();
}

std::string CanonicalPath(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(path, ec);
    return ec ? path : canonical.string();
}

class CabWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        v.VolumeNumber = 0;
        current_ = v.ArchiveFile();
        visited_ = {CanonicalPath(current_)};
        if (!EnterCabinet(v, v.StartOffset - 1)) return v.ReportError(E_BADHEADER, v.ArchiveFile());
        v.BlockSize = kBlockSize;
        SettleOnFile(v);
        v.ReadPosition = v.Position + 1;
    }

    void Step(TVireo& v) override {
        const uint8_t* b = v.Block.data();
        const int64_t entry = v.HeaderPosition();
        std::string raw;
        int64_t after = v.Position;
        if (!walk::ReadZeroTerminated(v, after, kMaxStoredName, raw)) return v.EndWalk();
        v.Position = after;
        --filesLeft_;

        const uint16_t attributes = GetLE16(b + kAttributes);
        const uint16_t folder = GetLE16(b + kFolderIndex);
        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        e.FileName = attributes & kNameIsUtf8 ? ToBackslashes(raw) : FromArchiveName(raw);
        v.NameRead(e.FileName);
        // Listed in the cabinet where it starts.
        const bool continued = folder == kContinuedFromPrevious || folder == kContinuedBothWays;
        if (!continued && v.Matches(e.FileName)) {
            e.DateTime = DosDateTimeToDate(SwapHalves(GetLE32(b + kDateTime)));
            e.VersionMadeBy = versionMinor_;
            e.VersionNeeded = versionMajor_;
            const uint32_t size = GetLE32(b + kFileSize);
            v.SetSizes(size, size);
            e.MethodCode = static_cast<int16_t>(CompressionOf(folder));
            e.MethodName = MethodName(v.ArcType(), e.MethodCode);
            e.InternalAttr = static_cast<int16_t>(attributes);
            e.ExternalAttr = attributes;
            v.ReportEntry(entry);
        }
        SettleOnFile(v);
    }

private:
    // Reads the cabinet header at base (and its folder entries) and puts the walk
    // at its first file entry. False when there is no cabinet there.
    bool EnterCabinet(TVireo& v, int64_t base) {
        uint8_t h[kHeaderSize];
        if (!v.ReadAt(base, h, kHeaderSize) || std::memcmp(h, "MSCF", 4) != 0) return false;
        const uint16_t flags = GetLE16(h + kFlags);
        int64_t pos = base + kHeaderSize;
        int folderReserve = 0;
        if (flags & kHasReserve) {
            uint8_t sizes[kReserveSizes];
            if (!v.ReadAt(pos, sizes, kReserveSizes)) return false;
            folderReserve = sizes[2];
            pos += kReserveSizes + GetLE16(sizes);
        }
        std::string cabinet, disk;
        if ((flags & kHasPrevious) && !ReadNamePair(v, pos, cabinet, disk)) return false;
        nextCabinet_.clear();
        if ((flags & kHasNext) && !ReadNamePair(v, pos, nextCabinet_, disk)) return false;
        if (!ReadFolders(v, pos, GetLE16(h + kFolderCount), kFolderEntry + folderReserve))
            return false;
        versionMinor_ = h[kVersionMinor];
        versionMajor_ = h[kVersionMajor];
        filesLeft_ = GetLE16(h + kFileCount);
        v.Position = base + GetLE32(h + kFirstFile);
        return true;
    }

    static bool ReadNamePair(TVireo& v, int64_t& pos, std::string& first, std::string& second) {
        return walk::ReadZeroTerminated(v, pos, kMaxStoredName, first) &&
               walk::ReadZeroTerminated(v, pos, kMaxStoredName, second);
    }

    // Keeps each folder's compression type; the entries must be in the file.
    bool ReadFolders(TVireo& v, int64_t pos, uint16_t count, int entrySize) {
        const int64_t bytes = int64_t{count} * entrySize;
        if (bytes > v.EndPosition - pos) return false;
        std::vector<uint8_t> entries(static_cast<size_t>(bytes));
        if (!v.ReadAt(pos, entries.data(), bytes)) return false;
        compression_.resize(count);
        for (size_t i = 0; i < count; ++i)
            compression_[i] = GetLE16(&entries[i * entrySize + kFolderCompression]);
        return true;
    }

    // The compression type of a file's folder: a file continued into the next
    // cabinet lies in the last folder, one continued from the previous in the first.
    uint16_t CompressionOf(uint16_t folder) const {
        if (compression_.empty()) return 0;
        if (folder == kContinuedToNext) return compression_.back();
        return folder < compression_.size() ? compression_[folder] : compression_.front();
    }

    // With the files of this cabinet used up: on to the next cabinet of the set
    // (passing over any without files), or the end of the walk.
    void SettleOnFile(TVireo& v) {
        while (filesLeft_ == 0) {
            if (nextCabinet_.empty()) return v.EndWalk();
            std::string name =
                LocateInFolder(std::filesystem::path(current_).parent_path(), nextCabinet_);
            if (visited_.count(CanonicalPath(name))) return v.EndWalk();
            if (!walk::MoveToNextFile(v, name)) return v.EndWalk();
            current_ = name;
            visited_.insert(CanonicalPath(name));
            if (!EnterCabinet(v, 0)) {
                v.ReportError(E_BADHEADER, name);
                return v.EndWalk();
            }
        }
    }

    std::string current_;               // the cabinet being read
    std::set<std::string> visited_;     // every cabinet of the set read so far
    std::string nextCabinet_;           // the stored name of the next cabinet, if any
    std::vector<uint16_t> compression_; // per folder of the current cabinet
    uint32_t filesLeft_ = 0;
    uint8_t versionMinor_ = 0, versionMajor_ = 0;
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeCabWalk() {
    return std::make_unique<CabWalk>();
}

} // namespace vro
