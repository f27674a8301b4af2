// Guards the ARC decoders and extractor: each method's output, hostile streams
// ending with a clear result, folders, garbled entries, and one bad entry failing alone.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/vroArcCodecs.h"
#include "engine/vroCrc.h"
#include "engine/vroErrors.h"
#include "engine/vroUnArc.h"
#include "support/Bytes.h"
#include "support/ExtractLog.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::Le16;
using testing_support::Le32;
using testing_support::ReadFileBytes;
using testing_support::RunExtractor;
using testing_support::TempDir;

namespace {

struct Decoded {
    TArcResult result;
    std::string out;
};

Decoded DecodeArc(uint8_t method, const std::string& packed, uint64_t limit = 1 << 20) {
    size_t next = 0;
    const TCodecInput input = [&](uint8_t* buffer, size_t capacity) {
        const size_t n = std::min(capacity, packed.size() - next);
        std::copy_n(packed.data() + next, n, buffer);
        next += n;
        return n;
    };
    Decoded d;
    const TCodecOutput output = [&](const uint8_t* data, size_t size) {
        d.out.append(reinterpret_cast<const char*>(data), size);
        return true;
    };
    d.result = DecodeArcMethod(method, input, output, limit);
    return d;
}

// Codes packed least significant bit first, as the dynamic LZW methods read them.
class LsbCodes {
public:
    LsbCodes& Put(uint32_t code, int bits) {
        acc_ |= code << count_;
        for (count_ += bits; count_ >= 8; count_ -= 8, acc_ >>= 8)
            bytes_ += static_cast<char>(acc_ & 0xFF);
        return *this;
    }
    std::string Bytes() const { return count_ ? bytes_ + static_cast<char>(acc_) : bytes_; }

private:
    std::string bytes_;
    uint32_t acc_ = 0;
    int count_ = 0;
};

// A squeeze tree: 'a' = 0, 'b' = 10, end of data = 11; then "aba" and the end.
const std::string kSqueezedAba =
    std::string("\x02\x00\x9E\xFF\x01\x00\x9D\xFF\xFF\xFE", 10) + "\x32";

std::string ClearInMiddleOfGroup() {
    LsbCodes c;
    c.Put('a', 9).Put(256, 9);
    for (int i = 0; i < 6; ++i)
        c.Put(0x1FF, 9); // the rest of the eight-code group: never read as codes
    return c.Put('b', 9).Bytes();
}

TEST(ArcCodecs, MethodsDecode) {
    struct Row {
        const char* name;
        uint8_t method;
        std::string packed;
        TArcResult result;
        std::string out;
    };
    const Row rows[] = {
        {"stored", 2, "hello", TArcResult::Done, "hello"},
        {"packed run", 3,
         "A\x90\x04"
         "B",
         TArcResult::Done, "AAAAB"},
        {"packed literal marker is not the byte to repeat", 3, std::string("A\x90\x00\x90\x03", 5),
         TArcResult::Done,
         "A\x90"
         "AA"},
        {"squeezed", 4, kSqueezedAba, TArcResult::Done, "aba"},
        {"squeezed empty tree", 4, std::string("\x00\x00", 2), TArcResult::Done, ""},
        {"squeezed too many nodes", 4, "\x01\x01", TArcResult::BadTree, ""},
        {"squeezed child outside the tree", 4, std::string("\x01\x00\x05\x00\x05\x00\x00", 7),
         TArcResult::BadTree, ""},
        {"crunched 8 through run-length", 8,
         "\x0c" + LsbCodes().Put('x', 9).Put(0x90, 9).Put(5, 9).Bytes(), TArcResult::Done, "xxxxx"},
        {"crunched 8 made for wider codes", 8, "\x0d\x00\x00", TArcResult::BadBitCount, ""},
        {"squashed newest string repeated", 9, LsbCodes().Put('a', 9).Put(257, 9).Bytes(),
         TArcResult::Done, "aaa"},
        {"squashed clear drops the rest of the group", 9, ClearInMiddleOfGroup(), TArcResult::Done,
         "ab"},
        {"squashed code beyond the table", 9, LsbCodes().Put('a', 9).Put(300, 9).Bytes(),
         TArcResult::BadCode, "a"},
        {"unknown method", 10, "abc", TArcResult::UnknownMethod, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Decoded d = DecodeArc(row.method, row.packed);
        EXPECT_EQ(d.result, row.result);
        EXPECT_EQ(d.out, row.out);
    }
}

TEST(ArcCodecs, OutputStopsAtDeclaredSize) {
    EXPECT_EQ(DecodeArc(3, "A\x90\xff", 2).out, "AA");
    EXPECT_EQ(DecodeArc(9, LsbCodes().Put('a', 9).Put(257, 9).Bytes(), 2).out, "aa");
}

// Noise must end (no endless chain walk, no write outside a table) with bounded output.
TEST(ArcCodecs, NoiseEndsEveryMethod) {
    std::string noise;
    for (uint32_t x = 12345; noise.size() < 6000;)
        noise += static_cast<char>((x = x * 1103515245 + 12345) >> 16);
    for (uint8_t method = 1; method <= 9; ++method) {
        SCOPED_TRACE(int(method));
        const Decoded d = DecodeArc(method, (method == 8 ? "\x0c" : "") + noise, 100000);
        EXPECT_LE(d.out.size(), 100000u);
    }
}

// ---------------------------------------------------------------------------
// The extractor over hand-built archives

std::string Name13(const std::string& name) {
    return name + std::string(13 - name.size(), '\0');
}

std::string Entry(uint8_t method, const std::string& name, const std::string& packed,
                  const std::string& plain, uint16_t crcFlip = 0) {
    const uint16_t crc = Crc16Update(0, plain.data(), plain.size()) ^ crcFlip;
    return std::string("\x1A") + static_cast<char>(method) + Name13(name) + Le32(packed.size()) +
           Le16(0x52CF) + Le16(0x6479) + Le16(crc) + Le32(plain.size()) + packed;
}

std::string Folder(const std::string& name, const std::string& chain) {
    const std::string nested = chain + "\x1A\x1F";
    return std::string("\x1A\x1E") + Name13(name) + Le32(nested.size()) + Le32(0) + Le16(0) +
           Le32(0) + nested;
}

const std::string kEnd("\x1A\x00", 2);

bool EndPassed(const testing_support::ExtractLog& log, const std::string& suffix) {
    for (const auto& [fn, pass] : log.ends)
        if (fn.ends_with(suffix)) return pass;
    ADD_FAILURE() << "no end report for " << suffix;
    return false;
}

TEST(ArcExtract, FoldersAndOneBadEntryAtATime) {
    TempDir dir;
    const std::string arc = Entry(2, "C.TXT", "gamma", "gamma", 0x0101) +
                            Folder("DOCS", Entry(2, "A.TXT", "alpha", "alpha")) +
                            Entry(12, "B.TXT", "beta", "beta") +
                            Entry(3, "D.TXT", "d\x90\x03", "ddd") + kEnd;
    TUnARC x;
    const auto log = RunExtractor(x, dir.Write("t.arc", arc), dir / "out");
    EXPECT_EQ(ReadFileBytes(dir / "out/D.TXT"), "ddd");
    EXPECT_EQ(ReadFileBytes(dir / "out/DOCS/A.TXT"), "alpha");
    EXPECT_TRUE(EndPassed(log, "A.TXT"));
    EXPECT_FALSE(EndPassed(log, "B.TXT"));
    EXPECT_FALSE(EndPassed(log, "C.TXT"));
    EXPECT_TRUE(EndPassed(log, "D.TXT"));
    EXPECT_TRUE(log.Has(E_UNSUPPORTEDMETHOD));
}

// ARC garbles with the upper-cased key, from the key's start in every entry.
TEST(ArcExtract, GarbledEntryNeedsItsPassword) {
    const std::string plain = "garbled text, stored";
    const std::string key = "SECRET";
    std::string packed = plain;
    for (size_t i = 0; i < packed.size(); ++i)
        packed[i] ^= key[i % key.size()];
    const std::string arc = Entry(2, "G.TXT", packed, plain) + kEnd;

    TempDir dir;
    const std::string file = dir.Write("g.arc", arc);
    TUnARC withPassword;
    const auto good = RunExtractor(withPassword, file, dir / "out", false, {"secret"});
    EXPECT_TRUE(EndPassed(good, "G.TXT"));
    EXPECT_EQ(ReadFileBytes(dir / "out/G.TXT"), plain);
    TUnARC without;
    EXPECT_FALSE(EndPassed(RunExtractor(without, file, dir / "out2", true), "G.TXT"));
}

// Real archives: crunched (8), squashed (9), squeezed, packed and stored entries.
TEST(ArcExtract, RealArchivesTestClean) {
    for (const char* name : {"arc521_auto.arc", "arc521_squash_b.arc", "pascalvault_store.ARC"}) {
        SCOPED_TRACE(name);
        TempDir dir;
        TUnARC x;
        const auto log =
            RunExtractor(x, std::string(BRINDLE_TEST_DATA "/corpus/arc/") + name, dir / "o", true);
        EXPECT_TRUE(log.ok);
        EXPECT_FALSE(log.ends.empty());
        for (const auto& [fn, pass] : log.ends)
            EXPECT_TRUE(pass) << fn;
    }
}

} // namespace
