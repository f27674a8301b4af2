// ZOO archive layout shared by the catalogue walk and the extractor: the archive
// header, the directory entry and its variable part, and the rule that keeps a
// walk of the entry chain finite.
//
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
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/vroBytes.h"
#include "engine/vroDates.h"

namespace vro {

inline constexpr uint32_t kZooTag = 0xFDC4A7DC;
// The archive header and the fixed part of an entry are read as one block size.
inline constexpr int kZooBlockSize = 58;

// The first entry's position, or 0 when the archive header's tag or check fails.
inline uint32_t ZooFirstEntry(const uint8_t* header) {
    const uint32_t first = GetLE32(header + 24);
    const uint32_t minus = GetLE32(header + 28);
    return GetLE32(header + 20) == kZooTag && first + minus == 0 ? first : 0;
}

// The chain is made of pointers: only one that leads further into the file is
// followed, so a chain that points back or at itself ends there.
inline bool ZooPointerMovesOn(int64_t current, int64_t next) {
    return next > current;
}

struct TZooEntry {
    static constexpr int kShortName = 38;
    static constexpr size_t kShortNameField = 13;
    static constexpr int kFixedSize = 51;
    static constexpr uint8_t kLongNameType = 2;

    bool TagOk = false;
    uint8_t Type = 0, Method = 0;
    uint32_t Next = 0, DataPosition = 0;
    uint32_t DosDateTime = 0; // in DOS order (time in the low half)
    uint16_t Crc = 0;
    uint32_t UnpackedSize = 0, PackedSize = 0;
    uint8_t VersionMadeBy = 0, VersionNeeded = 0;
    bool Deleted = false;
    uint32_t CommentPosition = 0;
    uint16_t CommentLength = 0;
    std::string ShortName;
    uint16_t VariableLength = 0;
    uint8_t LongNameLength = 0, DirectoryLength = 0;

    static TZooEntry Parse(const uint8_t* b) {
        TZooEntry e;
        e.TagOk = GetLE32(b) == kZooTag;
        e.Type = b[4];
        e.Method = b[5];
        e.Next = GetLE32(b + 6);
        e.DataPosition = GetLE32(b + 10);
        e.DosDateTime = SwapHalves(GetLE32(b + 14));
        e.Crc = GetLE16(b + 18);
        e.UnpackedSize = GetLE32(b + 20);
        e.PackedSize = GetLE32(b + 24);
        e.VersionMadeBy = b[28];
        e.VersionNeeded = b[29];
        e.Deleted = b[30] != 0;
        e.CommentPosition = GetLE32(b + 32);
        e.CommentLength = GetLE16(b + 36);
        const char* name = reinterpret_cast<const char*>(b + kShortName);
        e.ShortName = Terminated(std::string_view(name, kShortNameField));
        e.VariableLength = GetLE16(b + kFixedSize);
        e.LongNameLength = b[56];
        e.DirectoryLength = b[57];
        return e;
    }

    // A long name and a folder follow the fixed part.
    bool HasVariablePart() const { return Type == kLongNameType && VariableLength > 0; }
    size_t VariablePartSize() const { return size_t(LongNameLength) + DirectoryLength; }

    // The name as stored ("/"-separated folder, then the long name or else the
    // short one), from the variable part's bytes when there is one.
    std::string StoredName(std::string_view variablePart) const {
        std::string name = ShortName, directory;
        if (HasVariablePart()) {
            const std::string_view longName = Terminated(variablePart.substr(0, LongNameLength));
            if (!longName.empty()) name = longName;
            directory = Terminated(variablePart.substr(LongNameLength));
            while (!directory.empty() && (directory.back() == '/' || directory.back() == '\\'))
                directory.pop_back();
        }
        return directory.empty() ? name : directory + "\\" + name;
    }

private:
    static std::string_view Terminated(std::string_view s) { return s.substr(0, s.find('\0')); }
};

} // namespace vro
