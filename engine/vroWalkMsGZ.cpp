// Catalogue walk of the InstallShield 3 "Z" archive (signature 13 5D 65 8C, the
// DATA.Z / SETUP.Z of 1990s installers), which Brindle calls MsGZ. A 255-byte
// header is followed by the members' data; the directory table and then the file
// table sit at the end of the file. No format document was published; the layout
// below is the one the public readers agree on (OpenRA's InstallShieldPackage,
// the isz tools). The catalogue reads each file record from its second byte, so
// its field offsets are these minus one.
#include <vector>

#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

// Archive header (255 bytes):
//   0  4  signature 0x8C655D13        41  4  directory table position
//  12  2  file count                  45  4  directory table length
//  18  4  archive size                49  2  directory count
// The file records follow the directory table.
// Directory record: file count (0, 2), record length (2, 2), name length (4, 2),
// then the name; the record length covers all of it.
// File record:
//   0  1  volume                       19  4  attributes (DOS bits)
//   1  2  directory index              23  2  record length
//   3  4  original size                25  4  -
//   7  4  packed size                  29  1  name length
//  11  4  data position (the Offset)   30     name
//  15  2  DOS date } date first: "swapped" DOS
//  17  2  DOS time }
constexpr int kArchiveHeaderSize = 255;
constexpr int kDirectoryRecordSize = 6;
constexpr int kFileRecordSize = 30;
// Every directory record holds at least 6 bytes, so the count needs no other cap
// than the 16-bit field; the names are cut at a sane length.
constexpr size_t kMaxDirectoryName = 1024;

class MsGZWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        directories_.clear();
        v.BlockSize = kFileRecordSize;
        v.ReadPosition = v.EndPosition + 1; // nothing to list unless the tables are found
        uint8_t h[kArchiveHeaderSize];
        const int64_t start = v.StartOffset - 1;
        if (!v.ReadAt(start, h, kArchiveHeaderSize)) return;
        const int64_t table = start + GetLE32(h + 41);
        if (table < start + kArchiveHeaderSize || table >= v.EndPosition) return;
        // The file records follow the directory table; its declared length places
        // them even when a directory record is damaged.
        const int64_t declaredEnd = table + GetLE32(h + 45);
        const bool lengthFits = declaredEnd > table && declaredEnd <= v.EndPosition;
        const int64_t recordsEnd =
            ReadDirectories(v, table, GetLE16(h + 49), lengthFits ? declaredEnd : v.EndPosition);
        v.ReadPosition = (lengthFits ? declaredEnd : recordsEnd) + 1;
    }

    void Step(TVireo& v) override {
        const uint8_t* b = v.Block.data();
        const int64_t record = v.HeaderPosition();
        const uint16_t recordLength = GetLE16(b + 23);
        const uint8_t nameLength = b[29];
        std::string raw(nameLength, '\0');
        if (v.BlockRead < kFileRecordSize || recordLength < kFileRecordSize + nameLength ||
            !v.ReadAt(record + kFileRecordSize, raw.data(), nameLength))
            return v.EndWalk();

        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        std::string name = walk::NameFromArchive(raw.substr(0, raw.find('\0')));
        const uint16_t directory = GetLE16(b + 1);
        if (directory < directories_.size() && !directories_[directory].empty())
            name = directories_[directory] + "\\" + name;
        e.FileName = name;
        v.NameRead(e.FileName);
        e.DateTime = DosDateTimeToDate(SwapHalves(GetLE32(b + 15)));
        v.SetSizes(GetLE32(b + 7), GetLE32(b + 3));
        e.ExternalAttr = GetLE32(b + 19);
        walk::ReportByDirectoryRule(v, GetLE32(b + 11), false);
        v.Position = record + recordLength;
    }

private:
    // Reads up to count directory records from pos, none reaching past limit; a
    // record too short to hold its own fields ends the table early. Returns the
    // end of the last record read.
    int64_t ReadDirectories(TVireo& v, int64_t pos, uint16_t count, int64_t limit) {
        for (uint16_t i = 0; i < count; ++i) {
            uint8_t d[kDirectoryRecordSize];
            if (!v.ReadAt(pos, d, kDirectoryRecordSize)) break;
            const uint16_t length = GetLE16(d + 2);
            if (length < kDirectoryRecordSize || pos + length > limit) break;
            const size_t nameLength = std::min<size_t>(
                {GetLE16(d + 4), size_t(length - kDirectoryRecordSize), kMaxDirectoryName});
            std::string raw(nameLength, '\0');
            if (!v.ReadAt(pos + kDirectoryRecordSize, raw.data(), nameLength)) break;
            std::string name = walk::NameFromArchive(raw.substr(0, raw.find('\0')));
            while (!name.empty() && name.back() == '\\')
                name.pop_back();
            directories_.push_back(name);
            pos += length;
        }
        return pos;
    }

    std::vector<std::string> directories_; // names by directory index
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeMsGZWalk() {
    return std::make_unique<MsGZWalk>();
}

} // namespace vro
