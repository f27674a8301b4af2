// LHA / LZH headers, levels 0 to 3, after the header layouts of the LHa for UNIX
// "Header.doc" notes, read the same way by the catalogue walk and the extractor.
// An archive is a chain of entries, each a header and its packed data; a header
// size of 0 ends it. Levels 0 and 1 keep the name in the base header; levels 1 to
// 3 add a chain of extended headers (file name, directory name, attributes,
// times...), of which only the names are kept. Every size read from a header is
// checked against the header it belongs to and the file before anything is read
// through it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace vro {

struct TLhaHeader {
    int64_t Position = 0;
    int64_t DataStart = 0;  // the packed data
    int64_t Next = 0;       // the following header
    int64_t PackedSize = 0; // the packed data alone (without level-1 extended headers)
    int64_t UnpackedSize = 0;
    std::string Method;     // the five bytes "-lh5-"
    std::string Name;       // raw bytes
    std::string Directory;  // raw bytes of extended header 2
    uint32_t TimeStamp = 0; // DOS date-time (levels 0, 1) or Unix seconds (2, 3)
    uint8_t Attributes = 0; // DOS attributes
    uint8_t Level = 0;
    uint8_t Os = 0; // the writer's OS id; level 0 has none (0)
    uint16_t Crc = 0;

    bool IsDirectory() const { return Method == "-lhd-"; }
    bool UnixTime() const { return Level >= 2; }
    // The folder of extended header 2 and the name joined with "\"; still raw bytes.
    std::string JoinedPath() const;
    // Written by DOS (or without an OS id): names in capitals mean any case.
    bool DosWriter() const;
};

// Reads count bytes at pos; false when they are not all there.
using TLhaReadAt = std::function<bool(int64_t pos, void* buffer, int64_t count)>;

// Reads the header at pos of a file of fileEnd bytes. False at the end marker, or
// for a header that is damaged or does not fit the file.
bool ReadLhaHeader(const TLhaReadAt& readAt, int64_t pos, int64_t fileEnd, TLhaHeader& h);

// DOS writers store names in capitals only because DOS folds case; such names are
// shown in lower case, as other LHA readers of this system do. Mixed case stays.
std::string DosCase(std::string name);

} // namespace vro
