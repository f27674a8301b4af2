// Guards the checksums against wrong results at buffer edges: lengths and
// alignments the eight-byte and 64-byte steps handle apart, a register carried
// across calls, and the stream variant's block loop and rewinding.
#include "engine/vroCrc.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Stream.h"

namespace vro {
namespace {

// Bit-at-a-time reference, independent of the tables and the folding.
uint32_t ReferenceCrc32(uint32_t crc, const uint8_t* p, size_t len) {
    for (size_t i = 0; i < len; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (crc & 1 ? 0xEDB88320u : 0);
    }
    return crc;
}

// Bytes that are neither zero nor periodic, so a lane mix-up changes the result.
std::vector<uint8_t> PseudoRandomBytes(size_t n) {
    std::vector<uint8_t> bytes(n);
    uint32_t x = 0x12345678;
    for (uint8_t& b : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = static_cast<uint8_t>(x);
    }
    return bytes;
}

const std::string kCheckText = "123456789"; // the catalogue's check input

TEST(Crc16, MatchesTheArcCheckValue) {
    EXPECT_EQ(Crc16Update(0, kCheckText.data(), kCheckText.size()), 0xBB3D);
    EXPECT_EQ(Crc16Update(Crc16Update(0, "1234", 4), "56789", 5), 0xBB3D);
}

TEST(Crc32Byte, AgreesWithTheBufferUpdate) {
    uint32_t crc = 0xFFFFFFFF;
    for (char c : kCheckText)
        crc = Crc32Byte(crc, static_cast<uint8_t>(c));
    EXPECT_EQ(~crc, 0xCBF43926u);
}

// Every test runs once on the portable path and once on the fastest one.
class Crc32Paths : public testing::TestWithParam<bool> {
protected:
    void SetUp() override { Crc32ForcePortable(GetParam()); }
    void TearDown() override { Crc32ForcePortable(false); }
};

TEST_P(Crc32Paths, MatchesTheIeeeCheckValue) {
    EXPECT_EQ(~Crc32Update(0xFFFFFFFF, kCheckText.data(), kCheckText.size()), 0xCBF43926u);
}

TEST_P(Crc32Paths, EveryLengthAndAlignmentMatchesTheReference) {
    const std::vector<uint8_t> bytes = PseudoRandomBytes(300 + 16);
    for (size_t start = 0; start < 16; ++start)
        for (size_t len = 0; start + len <= 300; ++len)
            ASSERT_EQ(Crc32Update(0xFFFFFFFF, bytes.data() + start, len),
                      ReferenceCrc32(0xFFFFFFFF, bytes.data() + start, len))
                << "start " << start << " length " << len;
}

TEST_P(Crc32Paths, LargeBufferMatchesTheReference) {
    const std::vector<uint8_t> bytes = PseudoRandomBytes(70001);
    EXPECT_EQ(Crc32Update(0xFFFFFFFF, bytes.data(), bytes.size()),
              ReferenceCrc32(0xFFFFFFFF, bytes.data(), bytes.size()));
}

TEST_P(Crc32Paths, RegisterCarriesAcrossCalls) {
    const std::vector<uint8_t> bytes = PseudoRandomBytes(1000);
    const uint32_t whole = ReferenceCrc32(0xFFFFFFFF, bytes.data(), bytes.size());
    for (size_t split : {1, 7, 64, 129, 500, 999}) {
        const uint32_t head = Crc32Update(0xFFFFFFFF, bytes.data(), split);
        EXPECT_EQ(Crc32Update(head, bytes.data() + split, bytes.size() - split), whole)
            << "split at " << split;
    }
}

INSTANTIATE_TEST_SUITE_P(, Crc32Paths, testing::Values(true, false),
                         [](const testing::TestParamInfo<bool>& info) {
                             return info.param ? "Portable" : "Fastest";
                         });

TEST(Crc32OfStream, StopsAtTheCountOrTheEndAndRewinds) {
    const std::vector<uint8_t> bytes = PseudoRandomBytes(70000); // over two 32 KiB blocks
    const auto crcOfPrefix = [&](size_t n) { return ReferenceCrc32(0xFFFFFFFF, bytes.data(), n); };
    struct Row {
        const char* name;
        int64_t count;
        uint32_t expected;
    };
    const Row rows[] = {
        {"whole stream", 70000, crcOfPrefix(70000)},
        {"exactly one block", 32768, crcOfPrefix(32768)},
        {"part of the second block", 40000, crcOfPrefix(40000)},
        {"count past the end reads what is there", 100000, crcOfPrefix(70000)},
        {"nothing", 0, 0xFFFFFFFF},
    };
    std::vector<uint8_t> work(32768);
    for (const Row& row : rows) {
        platform::TMemoryStream stream(bytes);
        stream.Seek(123, platform::SeekOrigin::Begin); // must not matter
        EXPECT_EQ(Crc32OfStream(stream, work.data(), row.count), row.expected) << row.name;
        EXPECT_EQ(stream.Position(), 0) << row.name;
    }
}

} // namespace
} // namespace vro
