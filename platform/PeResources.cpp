// String resources of a Windows executable, read straight from the file. The
// engine asks a self-extractor stub for the offset of its archive, which the stub
// keeps in its string table; on this host there is no loader to ask, and the file
// is untrusted anyway, so this walks the structures itself and checks every offset
// against the file before reading.
//
// The path from the top, as Microsoft's PE/COFF format document lays it out:
//   DOS header       "MZ", e_lfanew at 0x3C -> the PE header
//   PE header        "PE\0\0", then the 20-byte COFF header (section count at 2,
//                    optional-header size at 16), then the optional header whose
//                    magic (0x10B PE32, 0x20B PE32+) places the data directories;
//                    entry 2 is the resource directory (RVA, size)
//   section table    40-byte headers (virtual address at 12, raw size at 16, raw
//                    offset at 20) that map RVAs onto file offsets
//   resource tree    three levels of directories: type (RT_STRING = 6) -> name
//                    (string id / 16 + 1) -> language (the first one), then a data
//                    entry (RVA, size) of a block of 16 counted UTF-16LE strings
#include "platform/PeResources.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/Stream.h"
#include "platform/Utf8.h"

namespace platform {

namespace {

constexpr int64_t kLfanewOffset = 0x3C;
constexpr int64_t kCoffHeaderSize = 20;
constexpr uint16_t kPe32Magic = 0x10B;
constexpr uint16_t kPe32PlusMagic = 0x20B;
constexpr uint32_t kResourceDirectoryIndex = 2;
constexpr int64_t kSectionHeaderSize = 40;
constexpr uint32_t kRtString = 6;
constexpr uint32_t kStringsPerBlock = 16;

// The loader refuses images with more sections than this; so do we.
constexpr uint32_t kMaxSections = 96;
// A resource directory never needs more entries than this; a larger count is a
// lie, and taking it would make one small file cost megabytes of reads.
constexpr uint32_t kMaxDirectoryEntries = 4096;
// The high bit of an entry's second field marks a subdirectory.
constexpr uint32_t kSubdirectoryBit = 0x80000000u;

uint16_t Le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t Le32(const uint8_t* p) {
    return Le16(p) | static_cast<uint32_t>(Le16(p + 2)) << 16;
}

// Where the optional header keeps NumberOfRvaAndSizes and the data directories.
struct OptionalHeaderLayout {
    uint32_t rvaCountOffset;
    uint32_t directoriesOffset;
};

std::optional<OptionalHeaderLayout> LayoutOf(uint16_t magic) {
    if (magic == kPe32Magic) return OptionalHeaderLayout{92, 96};
    if (magic == kPe32PlusMagic) return OptionalHeaderLayout{108, 112};
    return std::nullopt;
}

struct Section {
    uint32_t virtualAddress;
    uint32_t rawSize;
    uint32_t rawOffset;
};

// The mapped view of one executable: its sections and its resource root.
class PeImage {
public:
    explicit PeImage(TStream& file) : file_(file), fileSize_(file.Size()) {}

    // Reads the headers up to the section table; false when the file is not a PE
    // image or has no resource directory.
    bool Load();
    // Reads bytes at an RVA; false unless all of them lie in one section's raw data.
    bool ReadRva(uint64_t rva, void* out, uint64_t length);
    // The file offset of bytes at an RVA, with the same condition.
    std::optional<int64_t> FileOffsetOf(uint64_t rva, uint64_t length) const;
    bool Read(int64_t offset, void* out, int64_t length) {
        return file_.ReadAt(offset, out, length);
    }
    uint32_t ResourceRva() const { return resourceRva_; }

private:
    bool LoadSections(int64_t offset, uint32_t count);

    TStream& file_;
    int64_t fileSize_;
    std::vector<Section> sections_;
    uint32_t resourceRva_ = 0;
};

bool PeImage::Load() {
    uint8_t dos[kLfanewOffset + 4];
    if (fileSize_ < 0 || !Read(0, dos, sizeof dos) || dos[0] != 'M' || dos[1] != 'Z') return false;
    const int64_t peOffset = Le32(dos + kLfanewOffset);

    uint8_t pe[4 + kCoffHeaderSize + 2];
    if (!Read(peOffset, pe, sizeof pe) || pe[0] != 'P' || pe[1] != 'E' || pe[2] || pe[3])
        return false;
    const uint8_t* coff = pe + 4;
    const uint32_t sectionCount = Le16(coff + 2);
    const uint32_t optionalSize = Le16(coff + 16);
    const auto layout = LayoutOf(Le16(pe + 4 + kCoffHeaderSize));
    if (!layout) return false;

    // The resource entry must lie inside the optional header the COFF header sizes.
    const uint32_t entryOffset = layout->directoriesOffset + kResourceDirectoryIndex * 8;
    if (entryOffset + 8 > optionalSize) return false;
    const int64_t optionalOffset = peOffset + 4 + kCoffHeaderSize;
    uint8_t count[4], entry[8];
    if (!Read(optionalOffset + layout->rvaCountOffset, count, 4) ||
        Le32(count) <= kResourceDirectoryIndex || !Read(optionalOffset + entryOffset, entry, 8))
        return false;
    resourceRva_ = Le32(entry);
    if (resourceRva_ == 0 || Le32(entry + 4) == 0) return false;
    return LoadSections(optionalOffset + optionalSize, sectionCount);
}

bool PeImage::LoadSections(int64_t offset, uint32_t count) {
    if (count == 0 || count > kMaxSections) return false;
    std::vector<uint8_t> table(count * kSectionHeaderSize);
    if (!Read(offset, table.data(), static_cast<int64_t>(table.size()))) return false;
    for (uint32_t i = 0; i < count; ++i) {
        const uint8_t* header = table.data() + i * kSectionHeaderSize;
        sections_.push_back({Le32(header + 12), Le32(header + 16), Le32(header + 20)});
    }
    return true;
}

std::optional<int64_t> PeImage::FileOffsetOf(uint64_t rva, uint64_t length) const {
    for (const Section& s : sections_) {
        if (rva < s.virtualAddress || rva - s.virtualAddress + length > s.rawSize) continue;
        const uint64_t offset = s.rawOffset + (rva - s.virtualAddress);
        if (offset + length > static_cast<uint64_t>(fileSize_)) return std::nullopt;
        return static_cast<int64_t>(offset);
    }
    return std::nullopt;
}

bool PeImage::ReadRva(uint64_t rva, void* out, uint64_t length) {
    const auto offset = FileOffsetOf(rva, length);
    return offset && Read(*offset, out, static_cast<int64_t>(length));
}

// The second field of the entry with the given id in the resource directory at
// `directory` (an offset from the resource root); with no id, of the first id
// entry. Named entries precede the id entries and are skipped.
std::optional<uint32_t> FindEntry(PeImage& pe, uint32_t directory, std::optional<uint32_t> id) {
    const uint64_t directoryRva = uint64_t{pe.ResourceRva()} + directory;
    uint8_t header[16];
    if (!pe.ReadRva(directoryRva, header, sizeof header)) return std::nullopt;
    const uint32_t namedCount = Le16(header + 12);
    const uint32_t idCount = Le16(header + 14);
    if (namedCount + idCount > kMaxDirectoryEntries || idCount == 0) return std::nullopt;

    std::vector<uint8_t> entries(idCount * 8);
    if (!pe.ReadRva(directoryRva + 16 + namedCount * 8, entries.data(), entries.size()))
        return std::nullopt;
    for (uint32_t i = 0; i < idCount; ++i) {
        const uint8_t* entry = entries.data() + i * 8;
        if (!id || Le32(entry) == *id) return Le32(entry + 4);
    }
    return std::nullopt;
}

// Follows one directory level down; fails on a leaf where a directory belongs.
std::optional<uint32_t> FindSubdirectory(PeImage& pe, uint32_t directory,
                                         std::optional<uint32_t> id) {
    const auto target = FindEntry(pe, directory, id);
    if (!target || !(*target & kSubdirectoryBit)) return std::nullopt;
    return *target & ~kSubdirectoryBit;
}

std::string Utf16ToUtf8(const std::vector<uint8_t>& utf16le) {
    std::string out;
    for (size_t i = 0; i + 1 < utf16le.size(); i += 2) {
        char32_t c = Le16(&utf16le[i]);
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const char16_t next = i + 3 < utf16le.size() ? Le16(&utf16le[i + 2]) : 0;
        if (high && next >= 0xDC00 && next <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (next - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD; // a lone half of a pair
        }
        AppendUtf8(out, c);
    }
    return out;
}

// String `index` of a block of counted strings at a file offset. Only the length
// words in front of it and the string itself are read.
std::string StringOfBlock(PeImage& pe, int64_t block, uint32_t blockSize, uint32_t index) {
    uint64_t pos = 0;
    for (uint32_t i = 0;; ++i) {
        uint8_t count[2];
        if (pos + 2 > blockSize || !pe.Read(block + static_cast<int64_t>(pos), count, 2)) return {};
        const uint64_t bytes = uint64_t{Le16(count)} * 2;
        pos += 2;
        if (i == index) {
            std::vector<uint8_t> text(bytes);
            if (pos + bytes > blockSize || !pe.Read(block + static_cast<int64_t>(pos), text.data(),
                                                    static_cast<int64_t>(bytes)))
                return {};
            return Utf16ToUtf8(text);
        }
        pos += bytes;
    }
}

} // namespace

std::string LoadPeString(TStream& file, uint32_t id) {
    if (id > 0xFFFF) return {}; // string ids are 16-bit
    PeImage pe(file);
    if (!pe.Load()) return {};
    const auto names = FindSubdirectory(pe, 0, kRtString);
    const auto languages =
        names ? FindSubdirectory(pe, *names, id / kStringsPerBlock + 1) : std::nullopt;
    const auto dataEntry = languages ? FindEntry(pe, *languages, std::nullopt) : std::nullopt;
    if (!dataEntry || (*dataEntry & kSubdirectoryBit)) return {};

    uint8_t data[8]; // the data entry: RVA and size of the block
    if (!pe.ReadRva(uint64_t{pe.ResourceRva()} + *dataEntry, data, sizeof data)) return {};
    const uint32_t blockSize = Le32(data + 4);
    const auto block = pe.FileOffsetOf(Le32(data), blockSize);
    if (!block) return {};
    return StringOfBlock(pe, *block, blockSize, id % kStringsPerBlock);
}

} // namespace platform
