// Catalogue walk of ZOO archives (Rahul Dhesi's zoo 1.x and 2.x). The archive
// header names the first directory entry; each entry names the next one, and an
// entry whose "next" is 0 ends the chain without being an entry itself. Because
// the chain is made of pointers, the walk only follows a pointer that leads
// further into the file: a chain that points back or at itself ends there.
// Entries marked deleted (zoo keeps them until the archive is packed) are passed
// over, as zoo's own listing does.
#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

constexpr uint32_t kZooTag = 0xFDC4A7DC;

// Archive header (at the start of the file):
//   0 20  text ("ZOO 2.10 Archive.^Z")  28  4  minus the first entry's position
//  20  4  tag 0xFDC4A7DC                 32  1  major version
//  24  4  first entry position           33  1  minor version
// Directory entry, fixed part (zoo 1.x ends at 51; zoo 2.x type-2 entries go on):
//   0  4  tag                            29  1  minor version needed
//   4  1  entry type (1 or 2)            30  1  deleted (1)
//   5  1  packing method                 31  1  structure
//   6  4  next entry position            32  4  comment position
//  10  4  data position                  36  2  comment length
//  14  2  DOS date } date first:         38 13  short name, zero-terminated
//  16  2  DOS time } "swapped" DOS       51  2  length of the variable part
//  18  2  CRC-16                         53  1  time zone
//  20  4  original size                  54  2  entry CRC
//  24  4  compressed size                56  1  long name length (with its zero)
//  28  1  major version needed           57  1  directory name length (with its zero)
//                                        58     long name, then directory name
constexpr int kBlockSize = 58;
constexpr int kShortName = 38;
constexpr size_t kShortNameField = 13;
constexpr int kFixedEntrySize = 51;
constexpr uint8_t kLongNameEntryType = 2;

class ZooWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        atArchiveHeader_ = true;
        v.BlockSize = kBlockSize;
    }

    void Step(TVireo& v) override {
        const uint8_t* b = v.Block.data();
        const int64_t header = v.HeaderPosition();
        if (atArchiveHeader_) {
            atArchiveHeader_ = false;
            const uint32_t first = GetLE32(b + 24);
            const uint32_t minus = GetLE32(b + 28);
            if (GetLE32(b + 20) != kZooTag || first + minus != 0) return v.EndWalk();
            return MoveTo(v, header, first);
        }

        const uint32_t next = GetLE32(b + 6);
        if (GetLE32(b) != kZooTag || next == 0) return v.EndWalk();
        if (b[30] == 0 && !Report(v, header, b)) return v.EndWalk();
        MoveTo(v, header, next);
    }

private:
    // Only forward: a pointer at or before the current entry would loop.
    static void MoveTo(TVireo& v, int64_t current, int64_t next) {
        if (next <= current) return v.EndWalk();
        v.Position = next;
    }

    // Reports the entry; false when its header is cut short.
    bool Report(TVireo& v, int64_t header, const uint8_t* b) {
        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        std::string name(walk::ZeroTerminated(b, kShortName, kShortName + kShortNameField));
        std::string directory;
        if (b[4] == kLongNameEntryType && GetLE16(b + kFixedEntrySize) > 0 &&
            !ReadVariablePart(v, v.Position, b[56], b[57], name, directory))
            return false;
        e.FileName = walk::NameFromArchive(directory.empty() ? name : directory + "\\" + name);
        v.NameRead(e.FileName);

        const uint16_t commentLength = GetLE16(b + 36);
        if (commentLength > 0) {
            std::string comment(commentLength, '\0');
            if (v.ReadAt(GetLE32(b + 32), comment.data(), commentLength))
                v.FileComment = comment.substr(0, comment.find('\0'));
        }

        e.DateTime = DosDateTimeToDate(SwapHalves(GetLE32(b + 14)));
        e.VersionMadeBy = b[28];
        e.VersionNeeded = b[29];
        v.SetSizes(GetLE32(b + 24), GetLE32(b + 20));
        e.CRC = GetLE16(b + 18);
        e.MethodCode = b[5];
        e.MethodName = MethodName(v.ArcType(), b[5]);
        walk::ReportByDirectoryRule(v, header, false);
        return true;
    }

    // The long name (when stored, it replaces the 8.3 name) and the directory.
    static bool ReadVariablePart(TVireo& v, int64_t pos, uint8_t longLength,
                                 uint8_t directoryLength, std::string& name,
                                 std::string& directory) {
        std::string bytes(size_t(longLength) + directoryLength, '\0');
        if (!v.ReadAt(pos, bytes.data(), static_cast<int64_t>(bytes.size()))) return false;
        const std::string longName = bytes.substr(0, longLength);
        const std::string stored = longName.substr(0, longName.find('\0'));
        if (!stored.empty()) name = stored;
        const std::string dir = bytes.substr(longLength);
        directory = dir.substr(0, dir.find('\0'));
        while (!directory.empty() && (directory.back() == '/' || directory.back() == '\\'))
            directory.pop_back();
        return true;
    }

    bool atArchiveHeader_ = true;
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeZooWalk() {
    return std::make_unique<ZooWalk>();
}

} // namespace vro
