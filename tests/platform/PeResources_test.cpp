// Guards against wrong string ids and hostile executables reading outside (or all of) the file.
#include "platform/PeResources.h"

#include <gtest/gtest.h>

#include <tuple>

#include "platform/Stream.h"
#include "support/PeBuilder.h"

using platform::LoadPeString;
using platform::TMemoryStream;
using testing_support::BuildPeWithStrings;
using testing_support::PeImageOptions;
namespace layout = testing_support::pe_layout;

namespace {

const std::map<uint32_t, std::string> kStrings = {
    {1, "17408"}, {2, "second"}, {3, "Grüße 😀"}, {4, "x"}, {17, "in block two"}};

std::string LoadFrom(const std::string& image, uint32_t id) {
    TMemoryStream stream(image.data(), image.size());
    return LoadPeString(stream, id);
}

void Put32(std::string& image, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i)
        image[at + i] = static_cast<char>(value >> (8 * i));
}

// Counts the bytes read, to prove the reader takes pieces, not the file.
class CountingStream : public TMemoryStream {
public:
    using TMemoryStream::TMemoryStream;
    int64_t Read(void* buffer, int64_t n) override {
        const int64_t got = TMemoryStream::Read(buffer, n);
        bytesRead += got > 0 ? got : 0;
        return got;
    }
    int64_t bytesRead = 0;
};

} // namespace

TEST(PeStrings, EachIdComesFromItsBlockAndSlot) {
    for (const bool pe32Plus : {false, true}) {
        const std::string image =
            BuildPeWithStrings(kStrings, PeImageOptions{.pe32Plus = pe32Plus});
        for (const auto& [id, text] : kStrings)
            EXPECT_EQ(LoadFrom(image, id), text) << id;
        EXPECT_EQ(LoadFrom(image, 0), ""); // an empty slot of a present block
        EXPECT_EQ(LoadFrom(image, 5), "");
        EXPECT_EQ(LoadFrom(image, 16), "");      // block two, empty slot
        EXPECT_EQ(LoadFrom(image, 40), "");      // block three is absent
        EXPECT_EQ(LoadFrom(image, 0x10001), ""); // not a 16-bit id
    }
}

TEST(PeStrings, ReadsOnlyTheHeadersAndTheOneBlock) {
    const std::string image = BuildPeWithStrings(kStrings, 1 << 20);
    CountingStream stream(image.data(), image.size());
    EXPECT_EQ(LoadPeString(stream, 17), "in block two");
    EXPECT_LT(stream.bytesRead, 1024);
}

TEST(PeStrings, LoneSurrogateBecomesAReplacementCharacter) {
    std::string image = BuildPeWithStrings({{1, "ab"}});
    const size_t b = image.find(std::string("a\0b\0", 4)) + 2;
    image[b] = '\x00', image[b + 1] = '\xD8'; // a high surrogate with no low half
    EXPECT_EQ(LoadFrom(image, 1), "a\xEF\xBF\xBD");
}

TEST(PeStrings, DamagedHeadersGiveNothing) {
    struct Row {
        const char* label;
        size_t at;
        uint32_t value;
    };
    const Row rows[] = {
        {"NotMz", 0, 0x5A4E}, // "NZ"
        {"LfanewPastTheEnd", layout::kLfanewField, 0x7FFFFFF0},
        {"LfanewAtTheLastBytes", layout::kLfanewField, 0x3FE}, // reads run off the end
        {"NotPe", layout::kPeHeader, 0x00004550 + 1},
        {"UnknownOptionalMagic", layout::kOptionalHeader, 0x107},
        {"OptionalHeaderTooSmall", layout::kPeHeader + 20, 0x00000060},
        {"NoSections", layout::kPeHeader + 6, 0},
        {"TooManySections", layout::kPeHeader + 4, 0x03E8014C}, // 1000 sections
        {"ResourceRvaOutsideEverySection", layout::kPe32ResourceDirectoryEntry, 0x9000},
        {"NoResourceDirectory", layout::kPe32ResourceDirectoryEntry, 0},
        {"RootCountLies", layout::kRootIdEntryCount - 2, 0x0FFF0000}, // 4095 id entries
        {"RootCountPastTheCap", layout::kRootIdEntryCount - 2, 0xFFFF0000},
        {"NameCountLies", layout::kNameIdEntryCount - 2, 0x0FFF0000},
        {"TypeIsALeaf", layout::kResourceSection + 20, 0x18},
    };
    const std::string good = BuildPeWithStrings(kStrings, 1024);
    for (const Row& row : rows) {
        std::string image = good;
        Put32(image, row.at, row.value);
        EXPECT_EQ(LoadFrom(image, 2), "") << row.label;
    }
}

TEST(PeStrings, DataEntryPointingOutsideTheFileGivesNothing) {
    const std::string good = BuildPeWithStrings({{1, "text"}});
    // The only data entry follows root (24), name directory (24), language directory (24).
    const size_t dataEntry = layout::kResourceSection + 72;
    for (const auto& [label, offsetInEntry, value] :
         {std::tuple{"RvaOutside", 0, 0x7FFF0000u},
          std::tuple{"SizeBeyondTheSection", 4, 0x10000u}}) {
        std::string image = good;
        Put32(image, dataEntry + offsetInEntry, value);
        EXPECT_EQ(LoadFrom(image, 1), "") << label;
    }
}

// Every prefix of a good image, and every single-byte corruption of its headers
// and resource tree, must give the right string or "" (the sanitizers catch any
// read outside the buffers).
TEST(PeStrings, SurvivesTruncationAndCorruptionSweeps) {
    const std::string good = BuildPeWithStrings(kStrings);
    const size_t stringAt = good.find(std::string("s\0e\0c\0", 6));
    ASSERT_NE(stringAt, std::string::npos);
    size_t firstFound = 0; // the shortest prefix holding the whole first block
    for (size_t size = 0; size < good.size(); ++size) {
        const std::string text = LoadFrom(good.substr(0, size), 2);
        if (text.empty())
            EXPECT_EQ(firstFound, 0u) << "lost again at " << size;
        else if (firstFound == 0)
            firstFound = size;
        EXPECT_TRUE(text.empty() || text == "second") << "cut at " << size;
    }
    EXPECT_GE(firstFound, stringAt + 12);
    for (size_t at = 0; at < good.size(); ++at) {
        std::string image = good;
        image[at] = static_cast<char>(image[at] ^ 0xFF);
        for (const uint32_t id : {1u, 2u, 17u})
            LoadFrom(image, id);
    }
}

TEST(PeStrings, PaddingToAMinimumSizeKeepsTheStrings) {
    const std::string image = BuildPeWithStrings({{1, "4096"}}, 4096);
    EXPECT_EQ(image.size(), 4096u);
    EXPECT_EQ(image.find_first_not_of('\0', 2048), std::string::npos);
    EXPECT_EQ(LoadFrom(image, 1), "4096");
}
