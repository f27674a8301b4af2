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
#include <cstring>

#include "engine/vroDates.h"
#include "engine/vroMethodNames.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

// Header block (512 bytes), offsets from its start:
//     0 100  name                       257   6  magic ("ustar\0" POSIX, "ustar " GNU)
//   100   8  mode                       263   2  version
//   108   8  uid                        265  32  user name
//   116   8  gid                        297  32  group name
//   124  12  size (octal, or base-256)  329   8  device major
//   136  12  modification time (octal)  337   8  device minor
//   148   8  header checksum (octal)    345 155  name prefix (POSIX ustar only; GNU
//   156   1  type flag                           keeps other fields there)
//   157 100  link name
constexpr int kBlockSize = 512;
constexpr int kName = 0, kNameLength = 100;
constexpr int kSize = 124, kSizeLength = 12;
constexpr int kTime = 136, kTimeLength = 12;
constexpr int kChecksum = 148, kChecksumLength = 8;
constexpr int kTypeFlag = 156;
constexpr int kMagic = 257;
constexpr int kPrefix = 345, kPrefixLength = 155;
constexpr char kPosixMagic[6] = {'u', 's', 't', 'a', 'r', '\0'};

// Long names and pax records are read up to this many bytes; a longer name is cut.
constexpr int64_t kMaxMetaData = 64 * 1024;

// A numeric field: octal digits (anything else is passed over), or, when the high
// bit of the first byte is set, a big-endian base-256 number in the remaining bits
// (GNU tar's form for sizes of 8 GiB and more). digits tells whether any were seen.
struct FieldValue {
    int64_t value = 0;
    bool digits = false;
};

FieldValue ParseNumber(const uint8_t* field, int length) {
    FieldValue r;
    if (field[0] & 0x80) {
        if (field[0] & 0x40) return r; // negative: not a size or a time we can use
        int64_t v = field[0] & 0x3F;
        for (int i = 1; i < length; ++i) {
            if (v > (INT64_MAX >> 8)) return r;
            v = v << 8 | field[i];
        }
        return {v, true};
    }
    for (int i = 0; i < length && field[i] != 0; ++i) {
        if (field[i] < '0' || field[i] > '7') continue;
        if (r.value > (INT64_MAX >> 3)) return {0, false}; // too many digits to be real
        r.value = r.value << 3 | (field[i] - '0');
        r.digits = true;
    }
    return r;
}

// The bytes of a fixed-width field before its first zero byte.
std::string_view FieldText(const uint8_t* field, int length) {
    return walk::ZeroTerminated(field, 0, length);
}

// Removes blanks and control characters at both ends, in place.
void TrimBlanks(std::string& s) {
    const auto blank = [](char c) { return static_cast<uint8_t>(c) <= ' '; };
    s.erase(std::find_if_not(s.rbegin(), s.rend(), blank).base(), s.end());
    s.erase(s.begin(), std::find_if_not(s.begin(), s.end(), blank));
}

class TarWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        pendingName_.clear();
        pendingSize_ = -1;
        v.BlockSize = kBlockSize;
    }

    void Step(TVireo& v) override {
        const uint8_t* b = v.Block.data();
        const int64_t header = v.HeaderPosition();
        const int64_t dataStart = v.Position;
        int64_t size = ParseNumber(b + kSize, kSizeLength).value;
        const char type = static_cast<char>(b[kTypeFlag]);

        switch (type) {
        case 'L': // GNU long name: the data is the next header's name
            pendingName_ = ReadMetaData(v, dataStart, size);
            pendingName_.resize(std::strlen(pendingName_.c_str()));
            return SkipData(v, dataStart, size);
        case 'x': // pax extended header for the next entry
            ReadPaxRecords(v, dataStart, size);
            return SkipData(v, dataStart, size);
        case 'K': // GNU long link name, pax global header, GNU volume label
        case 'g':
        case 'V': return SkipData(v, dataStart, size);
        }

        std::string name = TakeName(b);
        if (name.empty()) return v.EndWalk();
        if (pendingSize_ >= 0) size = pendingSize_;
        pendingSize_ = -1;
        Report(v, b, header, std::move(name), type, size);
        SkipData(v, dataStart, size);
    }

private:
    // The entry's name: a long name or pax path announced before the header, else
    // the ustar prefix and the name field; "/" becomes "\", blanks are trimmed.
    std::string TakeName(const uint8_t* b) {
        std::string name;
        if (!pendingName_.empty()) {
            name.swap(pendingName_);
        } else {
            const std::string_view base = FieldText(b + kName, kNameLength);
            const bool posix = std::memcmp(b + kMagic, kPosixMagic, sizeof kPosixMagic) == 0;
            const std::string_view prefix = posix ? FieldText(b + kPrefix, kPrefixLength) : "";
            name.reserve(prefix.size() + 1 + base.size());
            if (!prefix.empty()) name.append(prefix).append("/");
            name.append(base);
        }
        TrimBlanks(name);
        std::replace(name.begin(), name.end(), '/', '\\');
        return name;
    }

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

        const FieldValue time = ParseNumber(b + kTime, kTimeLength);
        const bool timeFits = time.digits && time.value <= INT32_MAX;
        e.DateTime = timeFits ? UnixToDate(static_cast<int32_t>(time.value)) : kDosEpochDate;
        v.SetSizes(size, size);
        e.CRC = static_cast<uint32_t>(ParseNumber(b + kChecksum, kChecksumLength).value);
        e.MethodName = MethodName(v.ArcType(), 0);
        v.ReportEntry(header);
    }

    // Moves past size bytes of data at dataStart, rounded up to whole blocks; data
    // said to reach past the end of the file ends the walk.
    static void SkipData(TVireo& v, int64_t dataStart, int64_t size) {
        if (size > v.EndPosition - dataStart) return v.EndWalk();
        v.Position = dataStart + (size + kBlockSize - 1) / kBlockSize * kBlockSize;
    }

    // The first min(size, kMaxMetaData) bytes of a record's data (fewer at the end
    // of the file).
    std::string ReadMetaData(TVireo& v, int64_t pos, int64_t size) {
        std::string data(static_cast<size_t>(std::clamp<int64_t>(size, 0, kMaxMetaData)), '\0');
        data.resize(static_cast<size_t>(v.ReadSomeAt(pos, data.data(), data.size())));
        return data;
    }

    // pax records are "<length> <key>=<value>\n"; "path" names the next entry and
    // "size" gives its size when the header field cannot hold it.
    void ReadPaxRecords(TVireo& v, int64_t pos, int64_t size) {
        const std::string data = ReadMetaData(v, pos, size);
        std::string_view rest(data);
        while (!rest.empty()) {
            size_t length = 0, i = 0;
            while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9' && length <= rest.size())
                length = length * 10 + (rest[i++] - '0');
            if (i == 0 || i >= rest.size() || rest[i] != ' ' || length <= i + 1 ||
                length > rest.size())
                return;
            const std::string_view record = rest.substr(i + 1, length - i - 2); // no "\n"
            rest.remove_prefix(length);
            const size_t equals = record.find('=');
            if (equals == std::string_view::npos) continue;
            const std::string_view key = record.substr(0, equals),
                                   value = record.substr(equals + 1);
            if (key == "path")
                pendingName_.assign(value);
            else if (key == "size")
                pendingSize_ = DecimalValue(value);
        }
    }

    // A pax decimal number; -1 when it is not one.
    static int64_t DecimalValue(std::string_view text) {
        if (text.empty() || text.size() > 18) return -1;
        int64_t value = 0;
        for (char c : text) {
            if (c < '0' || c > '9') return -1;
            value = value * 10 + (c - '0');
        }
        return value;
    }

    std::string pendingName_;  // a long name or pax path for the next header
    int64_t pendingSize_ = -1; // a pax size for the next header, -1 when none
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeTarWalk() {
    return std::make_unique<TarWalk>();
}

} // namespace vro
