// Catalogue walk of TAR archives: the Unix V7 layout, POSIX ustar (IEEE 1003.1-1988)
// with its name prefix, GNU tar's long-name records and base-256 sizes, and POSIX
// pax extended headers (IEEE 1003.1-2001), as the GNU tar manual's "Basic Tar
// Format" chapter lays them out. An archive is a run of 512-byte headers, each
// followed by its data rounded up to whole blocks; an empty name (the zero blocks
// at the end) ends it.
// Records that only describe the next header (long names, pax headers, volume
// labels) are no entries: the walk keeps what they say for the header after them.
// A listing of a tar with 100k entries runs through here, so a step allocates
// nothing but the entry's name.
#include <algorithm>

#include "engine/vroDates.h"
#include "engine/vroMethodNames.h"
#include "engine/vroTarHeader.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

class TarWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        names_.Clear();
        v.BlockSize = tar::kBlockSize;
    }

    void Step(TVireo& v) override {
        const uint8_t* b = v.Block.data();
        const int64_t header = v.HeaderPosition();
        const int64_t dataStart = v.Position;
        const int64_t recordSize = TarNumber(b + tar::kSize, tar::kSizeLength).Value;
        const char type = static_cast<char>(b[tar::kTypeFlag]);
        const auto readData = [&](int64_t size) { return ReadMetaData(v, dataStart, size); };
        if (names_.TakeRecord(type, recordSize, readData))
            return SkipData(v, dataStart, recordSize);

        std::string name = names_.TakeName(b);
        std::replace(name.begin(), name.end(), '/', '\\');
        if (name.empty()) return v.EndWalk();
        const int64_t size = names_.TakeSize(b);
        // Archives made of "." store "./name"; the archive's root itself is no entry.
        while (name.starts_with(".\\"))
            name.erase(0, 2);
        if (name.empty() || name == ".") return SkipData(v, dataStart, size);
        Report(v, b, header, std::move(name), type, size);
        SkipData(v, dataStart, size);
    }

private:
    void Report(TVireo& v, const uint8_t* b, int64_t header, std::string name, char type,
                int64_t size) {
        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        e.FileName = std::move(name);
        v.NameRead(e.FileName);
        // Regular files and hard links only; directories, links and devices are not
        // listed. With ShowBlankDirs the mask sees the whole path.
        if (type != '\0' && type != '0' && type != '1') return;
        if (!v.SpecMatch(e.FileName, !v.ShowBlankDirs)) return;

        const TTarNumber time = TarNumber(b + tar::kTime, tar::kTimeLength);
        const bool timeFits = time.Digits && time.Value <= INT32_MAX;
        e.DateTime = timeFits ? UnixToDate(static_cast<int32_t>(time.Value)) : kDosEpochDate;
        v.SetSizes(size, size);
        e.CRC = static_cast<uint32_t>(TarNumber(b + tar::kChecksum, tar::kChecksumLength).Value);
        e.MethodName = MethodName(v.ArcType(), 0);
        v.ReportEntry(header);
    }

    // Moves past size bytes of data at dataStart, rounded up to whole blocks; data
    // said to reach past the end of the file ends the walk.
    static void SkipData(TVireo& v, int64_t dataStart, int64_t size) {
        if (size > v.EndPosition - dataStart) return v.EndWalk();
        v.Position = dataStart + (size + tar::kBlockSize - 1) / tar::kBlockSize * tar::kBlockSize;
    }

    // The first size bytes of a record's data (fewer at the end of the file).
    static std::string ReadMetaData(TVireo& v, int64_t pos, int64_t size) {
        std::string data(static_cast<size_t>(size), '\0');
        data.resize(static_cast<size_t>(v.ReadSomeAt(pos, data.data(), data.size())));
        return data;
    }

    TTarNames names_;
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeTarWalk() {
    return std::make_unique<TarWalk>();
}

} // namespace vro
