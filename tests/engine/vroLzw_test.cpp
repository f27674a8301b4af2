// Guards the compress (LZW) decoder: code widths growing in padded groups of
// eight, table clears, the code being defined (KwKwK), and hostile streams (bad
// flags, too-wide codes, undefined codes) ending with their own result.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/vroCrc.h"
#include "engine/vroLzw.h"
#include "support/TempDir.h"

using namespace vro;

namespace {

struct Decoded {
    TLzwResult result;
    std::string out;
};

Decoded Decode(const std::string& stream) {
    size_t pos = 0;
    Decoded d;
    d.result = DecompressLzw(
        [&](uint8_t* buffer, size_t capacity) {
            const size_t n = std::min(capacity, stream.size() - pos);
            std::memcpy(buffer, stream.data() + pos, n);
            pos += n;
            return n;
        },
        [&](const uint8_t* data, size_t size) {
            d.out.append(reinterpret_cast<const char*>(data), size);
            return true;
        });
    return d;
}

// A header and 9-bit codes packed least significant bit first.
std::string Stream(uint8_t flags, const std::vector<int>& codes) {
    std::string s("\x1f\x9d");
    s.push_back(static_cast<char>(flags));
    uint32_t bits = 0;
    int count = 0;
    for (int code : codes) {
        bits |= static_cast<uint32_t>(code) << count;
        for (count += 9; count >= 8; count -= 8, bits >>= 8)
            s.push_back(static_cast<char>(bits & 0xFF));
    }
    if (count > 0) s.push_back(static_cast<char>(bits));
    return s;
}

constexpr uint8_t kBlock16 = 0x90, kPlain16 = 0x10;

TEST(Lzw, SmallStreams) {
    struct Case {
        const char* what;
        std::string stream;
        TLzwResult result;
        std::string out;
    } cases[] = {
        {"literals", Stream(kBlock16, {'a', 'b', 'c'}), TLzwResult::Done, "abc"},
        {"an entry reused", Stream(kBlock16, {'a', 'b', 257, 259}), TLzwResult::Done, "abababa"},
        {"the code being defined", Stream(kBlock16, {'a', 257}), TLzwResult::Done, "aaa"},
        {"256 is a string without block mode", Stream(kPlain16, {'x', 'y', 256}), TLzwResult::Done,
         "xyxy"},
        {"header only", Stream(kBlock16, {}), TLzwResult::Done, ""},
        {"first code not a byte", Stream(kBlock16, {300}), TLzwResult::FirstNotLiteral, ""},
        {"undefined code", Stream(kBlock16, {'a', 'b', 300}), TLzwResult::BadCode, "ab"},
        {"reserved flag bits", Stream(0x90 | 0x20, {'a'}), TLzwResult::ReservedFlags, ""},
        {"17-bit codes", Stream(0x91, {'a'}), TLzwResult::WidthTooLarge, ""},
        {"not compress", std::string("\x1f\x8b\x08", 3), TLzwResult::BadMagic, ""},
        {"cut header", std::string("\x1f\x9d", 2), TLzwResult::BadMagic, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Decoded d = Decode(c.stream);
        EXPECT_EQ(d.result, c.result);
        EXPECT_EQ(d.out, c.out);
    }
}

// Real files: growth to 14 and 16 bits with clears (block mode), and a
// 16-bit file without block mode, checked against their known content.
TEST(Lzw, CorpusFilesDecodeExactly) {
    struct Case {
        const char* file;
        size_t size;
        uint32_t crc;
    } cases[] = {
        {"big_text_b14.txt.Z", 200000, 0x6d371821},
        {"big_text_b16.txt.Z", 200000, 0x6d371821},
        {"ancient_test_C1_old.Z", 152089, 0x66007dba},
    };
    const std::string corpus = std::string(BRINDLE_TEST_DATA) + "/corpus/compress/";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const Decoded d = Decode(testing_support::ReadFileBytes(corpus + c.file));
        EXPECT_EQ(d.result, TLzwResult::Done);
        EXPECT_EQ(d.out.size(), c.size);
        EXPECT_EQ(~Crc32Update(0xFFFFFFFF, d.out.data(), d.out.size()), c.crc);
    }
}

TEST(Lzw, RefusedOutputEndsTheDecode) {
    const std::string stream = Stream(kBlock16, {'a', 'b'});
    size_t pos = 0;
    const TLzwResult r = DecompressLzw(
        [&](uint8_t* buffer, size_t capacity) {
            const size_t n = std::min(capacity, stream.size() - pos);
            std::memcpy(buffer, stream.data() + pos, n);
            pos += n;
            return n;
        },
        [](const uint8_t*, size_t) { return false; });
    EXPECT_EQ(r, TLzwResult::OutputFailed);
}

} // namespace
