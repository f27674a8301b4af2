// Catalogue walk of ZOO archives (Rahul Dhesi's zoo 1.x and 2.x). The archive
// header names the first directory entry; each entry names the next one, and an
// entry whose "next" is 0 ends the chain without being an entry itself. Because
// the chain is made of pointers, the walk only follows a pointer that leads
// further into the file: a chain that points back or at itself ends there.
// Entries marked deleted (zoo keeps them until the archive is packed) are passed
// over, as zoo's own listing does. The layout is in vroZooHeader.h.
#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"
#include "engine/vroZooHeader.h"

namespace vro {

namespace {

class ZooWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        atArchiveHeader_ = true;
        v.BlockSize = kZooBlockSize;
    }

    void Step(TVireo& v) override {
        const uint8_t* b = v.Block.data();
        const int64_t header = v.HeaderPosition();
        if (atArchiveHeader_) {
            atArchiveHeader_ = false;
            const uint32_t first = ZooFirstEntry(b);
            if (first == 0) return v.EndWalk();
            return MoveTo(v, header, first);
        }

        const TZooEntry entry = TZooEntry::Parse(b);
        if (!entry.TagOk || entry.Next == 0) return v.EndWalk();
        if (!entry.Deleted && !Report(v, header, entry)) return v.EndWalk();
        MoveTo(v, header, entry.Next);
    }

private:
    static void MoveTo(TVireo& v, int64_t current, int64_t next) {
        if (!ZooPointerMovesOn(current, next)) return v.EndWalk();
        v.Position = next;
    }

    // Reports the entry; false when its header is cut short.
    static bool Report(TVireo& v, int64_t header, const TZooEntry& z) {
        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        std::string variablePart;
        if (z.HasVariablePart()) {
            variablePart.resize(z.VariablePartSize());
            if (!v.ReadAt(v.Position, variablePart.data(),
                          static_cast<int64_t>(variablePart.size())))
                return false;
        }
        e.FileName = walk::NameFromArchive(z.StoredName(variablePart));
        v.NameRead(e.FileName);

        if (z.CommentLength > 0) {
            std::string comment(z.CommentLength, '\0');
            if (v.ReadAt(z.CommentPosition, comment.data(), z.CommentLength))
                v.FileComment = comment.substr(0, comment.find('\0'));
        }

        e.DateTime = DosDateTimeToDate(z.DosDateTime);
        e.VersionMadeBy = z.VersionMadeBy;
        e.VersionNeeded = z.VersionNeeded;
        v.SetSizes(z.PackedSize, z.UnpackedSize);
        e.CRC = z.Crc;
        e.MethodCode = z.Method;
        e.MethodName = MethodName(v.ArcType(), z.Method);
        walk::ReportByDirectoryRule(v, header, false);
        return true;
    }

    bool atArchiveHeader_ = true;
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeZooWalk() {
    return std::make_unique<ZooWalk>();
}

} // namespace vro
