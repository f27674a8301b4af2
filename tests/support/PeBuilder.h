// Builds a minimal Windows executable in memory whose only content is a string
// table (RT_STRING resources), for tests of the resource reader and of type
// detection of self-extractors (whose string resource 1 holds the decimal offset of
// the archive behind the stub). Nothing in it runs; it is just enough for a reader
// that follows the headers.
//
// Layout (every offset fixed, so tests can damage a chosen field):
//   0x000  DOS header: "MZ", e_cblp at 2, e_cp at 4, e_lfanew (0x40) at 0x3C.
//          e_cblp and e_cp default to 0, which puts the "end of the DOS image"
//          ((e_cp - 1) * 512 + e_cblp) below zero, i.e. nowhere.
//   0x040  "PE\0\0", then the COFF header (one section).
//   0x058  optional header, PE32 (224 bytes) or PE32+ (240 bytes), 16 data
//          directories; entry 2 (resources) points at the .rsrc section.
//   then   the section table with one ".rsrc" header: RVA 0x1000, raw data at 0x200.
//   0x200  the resource tree: root (type 6) -> one name entry per block of 16
//          strings (block id = string id / 16 + 1) -> language 0x409 -> data entry
//          -> the block, 16 counted UTF-16LE strings. The section's raw size is
//          rounded up to 512 bytes; the image is padded with zeros to minSize.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace testing_support {

struct PeImageOptions {
    size_t minSize = 0;    // pad the image with zeros up to this many bytes
    uint16_t eCblp = 0;    // DOS header bytes 2-3: bytes used in the last 512-byte page
    uint16_t eCp = 0;      // DOS header bytes 4-5: number of 512-byte pages
    bool pe32Plus = false; // a 64-bit (PE32+) optional header instead of PE32
};

// Offsets of the fields tests like to damage.
namespace pe_layout {
inline constexpr size_t kLfanewField = 0x3C;
inline constexpr size_t kPeHeader = 0x40;
inline constexpr size_t kOptionalHeader = 0x58;
// The resource data-directory entry (RVA, size) of a PE32 image; PE32+ adds 16.
inline constexpr size_t kPe32ResourceDirectoryEntry = kOptionalHeader + 96 + 2 * 8;
inline constexpr size_t kResourceSection = 0x200;
inline constexpr uint32_t kResourceRva = 0x1000;
// The root resource directory's count of id entries (one: RT_STRING).
inline constexpr size_t kRootIdEntryCount = kResourceSection + 14;
// The name directory (one entry per string block) and its count of id entries.
inline constexpr size_t kNameDirectory = kResourceSection + 16 + 8;
inline constexpr size_t kNameIdEntryCount = kNameDirectory + 14;
} // namespace pe_layout

namespace pe_detail {

inline void Put16(std::string& image, size_t at, uint32_t value) {
    image[at] = static_cast<char>(value & 0xFF);
    image[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

inline void Put32(std::string& image, size_t at, uint32_t value) {
    Put16(image, at, value & 0xFFFF);
    Put16(image, at + 2, value >> 16);
}

// UTF-8 (assumed well formed: this is test input) to UTF-16LE code units.
inline std::u16string Utf8ToUtf16(const std::string& text) {
    std::u16string out;
    for (size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1 ? lead : lead & (0x7F >> length);
        for (int k = 1; k < length; ++k)
            c = c << 6 | (text[i + k] & 0x3F);
        i += length;
        if (c >= 0x10000) {
            out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

// One block of 16 counted strings; absent ids get length 0.
inline std::string StringBlock(const std::map<uint32_t, std::string>& strings, uint32_t blockId) {
    std::string block;
    for (uint32_t id = (blockId - 1) * 16; id < blockId * 16; ++id) {
        const auto it = strings.find(id);
        const std::u16string text = it == strings.end() ? u"" : Utf8ToUtf16(it->second);
        const size_t at = block.size();
        block.resize(at + 2 + text.size() * 2);
        Put16(block, at, static_cast<uint32_t>(text.size()));
        for (size_t k = 0; k < text.size(); ++k)
            Put16(block, at + 2 + k * 2, text[k]);
    }
    return block;
}

// The .rsrc section's contents: the three directory levels, the data entries,
// then the string blocks (4-byte aligned).
inline std::string ResourceSection(const std::map<uint32_t, std::string>& strings) {
    std::map<uint32_t, std::string> blocks; // block id -> block bytes
    for (const auto& [id, text] : strings)
        if (!blocks.count(id / 16 + 1)) blocks[id / 16 + 1] = StringBlock(strings, id / 16 + 1);
    const size_t n = blocks.size();
    const size_t nameDirectory = 16 + 8;
    const size_t languageDirectories = nameDirectory + 16 + 8 * n;
    const size_t dataEntries = languageDirectories + 24 * n;
    size_t dataAt = dataEntries + 16 * n;

    std::string section(dataAt, '\0');
    Put16(section, 14, 1); // root: one id entry, RT_STRING
    Put32(section, 16, 6);
    Put32(section, 20, 0x80000000u | nameDirectory);
    Put16(section, nameDirectory + 14, static_cast<uint32_t>(n));
    size_t i = 0;
    for (const auto& [blockId, bytes] : blocks) {
        const size_t languageDirectory = languageDirectories + 24 * i;
        const size_t dataEntry = dataEntries + 16 * i;
        Put32(section, nameDirectory + 16 + 8 * i, blockId);
        Put32(section, nameDirectory + 20 + 8 * i, 0x80000000u | languageDirectory);
        Put16(section, languageDirectory + 14, 1);
        Put32(section, languageDirectory + 16, 0x409);
        Put32(section, languageDirectory + 20, static_cast<uint32_t>(dataEntry));
        dataAt = (section.size() + 3) & ~size_t{3};
        section.resize(dataAt);
        section += bytes;
        Put32(section, dataEntry, pe_layout::kResourceRva + static_cast<uint32_t>(dataAt));
        Put32(section, dataEntry + 4, static_cast<uint32_t>(bytes.size()));
        ++i;
    }
    return section;
}

} // namespace pe_detail

// The image bytes of an executable whose string table holds the given (id -> UTF-8
// text) pairs; ids up to 0xFFFF.
inline std::string BuildPeWithStrings(const std::map<uint32_t, std::string>& strings,
                                      const PeImageOptions& options) {
    using namespace pe_detail;
    using namespace pe_layout;
    const std::string resources = ResourceSection(strings);
    const size_t rawSize = (resources.size() + 0x1FF) & ~size_t{0x1FF};
    const size_t optionalSize = options.pe32Plus ? 240 : 224;
    const size_t directories = kOptionalHeader + (options.pe32Plus ? 112 : 96);
    const size_t sectionHeader = kOptionalHeader + optionalSize;

    std::string image(kResourceSection + rawSize, '\0');
    image[0] = 'M', image[1] = 'Z';
    Put16(image, 2, options.eCblp);
    Put16(image, 4, options.eCp);
    Put32(image, kLfanewField, kPeHeader);
    image.replace(kPeHeader, 4, std::string("PE\0\0", 4));
    Put16(image, kPeHeader + 4, options.pe32Plus ? 0x8664 : 0x14C); // machine
    Put16(image, kPeHeader + 6, 1);                                 // one section
    Put16(image, kPeHeader + 20, static_cast<uint32_t>(optionalSize));
    Put16(image, kPeHeader + 22, options.pe32Plus ? 0x0022 : 0x0102); // executable
    Put16(image, kOptionalHeader, options.pe32Plus ? 0x20B : 0x10B);
    Put32(image, kOptionalHeader + 32, 0x1000); // section alignment
    Put32(image, kOptionalHeader + 36, 0x200);  // file alignment
    Put32(image, kOptionalHeader + 56, 0x1000 + ((rawSize + 0xFFF) & ~size_t{0xFFF})); // image size
    Put32(image, kOptionalHeader + 60, kResourceSection); // size of headers
    Put16(image, kOptionalHeader + 68, 2);                // GUI subsystem
    Put32(image, directories - 4, 16);                    // NumberOfRvaAndSizes
    Put32(image, directories + 2 * 8, kResourceRva);
    Put32(image, directories + 2 * 8 + 4, static_cast<uint32_t>(resources.size()));
    image.replace(sectionHeader, 5, ".rsrc");
    Put32(image, sectionHeader + 8, static_cast<uint32_t>(resources.size())); // virtual size
    Put32(image, sectionHeader + 12, kResourceRva);
    Put32(image, sectionHeader + 16, static_cast<uint32_t>(rawSize));
    Put32(image, sectionHeader + 20, kResourceSection);
    Put32(image, sectionHeader + 36, 0x40000040u); // initialised data, readable
    image.replace(kResourceSection, resources.size(), resources);
    if (image.size() < options.minSize) image.resize(options.minSize, '\0');
    return image;
}

inline std::string BuildPeWithStrings(const std::map<uint32_t, std::string>& strings,
                                      size_t minSize = 0) {
    return BuildPeWithStrings(strings, PeImageOptions{.minSize = minSize});
}

} // namespace testing_support
