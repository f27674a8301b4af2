// The TAR header block as the catalogue walk and the extractor both read it: the
// Unix V7 layout, POSIX ustar (IEEE 1003.1-1988) with its name prefix, GNU tar's
// long-name records and base-256 sizes, and POSIX pax extended headers
// (IEEE 1003.1-2001). Records that only describe the next header (long names,
// pax headers, volume labels) are no entries: TTarNames keeps what they say for
// the header after them.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace vro {

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
namespace tar {
inline constexpr int kBlockSize = 512;
inline constexpr int kName = 0, kNameLength = 100;
inline constexpr int kMode = 100, kModeLength = 8;
inline constexpr int kSize = 124, kSizeLength = 12;
inline constexpr int kTime = 136, kTimeLength = 12;
inline constexpr int kChecksum = 148, kChecksumLength = 8;
inline constexpr int kTypeFlag = 156;
inline constexpr int kLinkName = 157, kLinkNameLength = 100;
inline constexpr int kMagic = 257;
inline constexpr int kPrefix = 345, kPrefixLength = 155;
} // namespace tar

// A numeric field: octal digits (anything else is passed over), or, when the high
// bit of the first byte is set, a big-endian base-256 number in the remaining bits
// (GNU tar's form for sizes of 8 GiB and more). Digits tells whether any were seen.
struct TTarNumber {
    int64_t Value = 0;
    bool Digits = false;
};
TTarNumber TarNumber(const uint8_t* field, int length);

// True when the stored checksum equals the sum of the block's bytes with the
// checksum field counted as spaces (unsigned; some old writers summed signed bytes,
// which is accepted too).
bool TarChecksumMatches(const uint8_t* block);

// The names a header's entry gets from the records before it.
class TTarNames {
public:
    // Reads up to the given number of a record's data bytes (fewer at the end of
    // the file).
    using DataReader = std::function<std::string(int64_t size)>;

    // A record that describes the next header ('L' long name, 'K' long link name,
    // 'x' pax header, 'g' pax global header, 'V' volume label) is taken in and true
    // returned: it is no entry of its own.
    bool TakeRecord(char type, int64_t size, const DataReader& read);

    // The entry's name: a long name or pax path announced before the header, else
    // the ustar prefix and the name field; blanks trimmed, "/" kept. Clears the
    // pending name.
    std::string TakeName(const uint8_t* block);
    // The link target: a long link name or pax linkpath, else the link field.
    std::string TakeLinkName(const uint8_t* block);
    // The entry's size: a pax size announced before it, else the header's.
    int64_t TakeSize(const uint8_t* block);

    void Clear();

private:
    void ReadPaxRecords(const std::string& data);

    std::string pendingName_;  // a long name or pax path for the next header
    std::string pendingLink_;  // a long link name or pax linkpath for the next header
    int64_t pendingSize_ = -1; // a pax size for the next header, -1 when none
};

} // namespace vro
