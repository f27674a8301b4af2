// Guards the legacy ZIP decoders against wrong output and damaged input that crashes or overruns.
#include "engine/vroLegacyZip.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/vroBytes.h"
#include "engine/vroCrc.h"
#include "support/TempDir.h"

using namespace vro;

namespace {

// One entry's packed data with what it takes to decode it.
struct LegacyStream {
    uint16_t method = 0; // 1 shrink, 2-5 reduce, 6 implode
    uint16_t flags = 0;
    std::string packed;
};

struct Decoded {
    TLegacyResult result{};
    std::string data;
    std::vector<size_t> pieces;
};

// Decodes with the input handed over chunk bytes at a time; the sink refuses
// every piece after the first piecesAccepted.
Decoded Decode(const LegacyStream& s, uint64_t declaredSize, size_t chunk = 4096,
               size_t piecesAccepted = SIZE_MAX) {
    size_t next = 0;
    const TCodecInput input = [&](uint8_t* buffer, size_t capacity) {
        const size_t n = std::min({chunk, capacity, s.packed.size() - next});
        std::memcpy(buffer, s.packed.data() + next, n);
        next += n;
        return n;
    };
    Decoded d;
    const TCodecOutput output = [&](const uint8_t* data, size_t size) {
        d.data.append(reinterpret_cast<const char*>(data), size);
        d.pieces.push_back(size);
        return d.pieces.size() <= piecesAccepted;
    };
    if (s.method == 1)
        d.result = Unshrink(input, output, declaredSize);
    else if (s.method == 6)
        d.result = Explode(input, output, s.flags, declaredSize);
    else
        d.result = Expand(input, output, s.method - 1, declaredSize);
    return d;
}

uint32_t Crc32Of(const std::string& data) {
    return ~Crc32Update(0xFFFFFFFF, data.data(), data.size());
}

// LSB-first bit writer for hand-built streams: fields go in first bit first;
// Shannon-Fano codes go in first bit at the top.
class Bits {
public:
    Bits& Field(uint32_t value, int width) {
        for (int i = 0; i < width; ++i)
            bits_.push_back((value >> i) & 1);
        return *this;
    }
    Bits& Code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i)
            bits_.push_back((code >> i) & 1);
        return *this;
    }
    Bits& Bytes(const std::string& bytes) {
        for (unsigned char c : bytes)
            Field(c, 8);
        return *this;
    }
    std::string Packed() const {
        std::string out((bits_.size() + 7) / 8, '\0');
        for (size_t i = 0; i < bits_.size(); ++i)
            out[i / 8] = static_cast<char>(out[i / 8] | bits_[i] << (i % 8));
        return out;
    }

private:
    std::vector<int> bits_;
};

// Failures name the table row (every case struct has a name), not its bytes.
template <class Case> auto operator<<(std::ostream& os, const Case& c) -> decltype(c.name, os) {
    return os << c.name;
}

std::string FromHex(const std::string& hex) {
    std::string out;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        out += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return out;
}

// ---------------------------------------------------------------------------
// Real entries from the corpus, checked against their central header.

struct ZipEntry {
    LegacyStream stream;
    uint32_t crc = 0;
    uint64_t size = 0;
};

// The first entry of a one-entry archive: flags, method and data offset from the
// local header (30 bytes, then name and extra field), CRC and sizes from the
// central header, which has them even when a data descriptor follows the data.
ZipEntry ReadOnlyEntry(const std::string& path) {
    const std::string file = testing_support::ReadFileBytes(path);
    const auto* p = reinterpret_cast<const uint8_t*>(file.data());
    const size_t central = file.find("PK\x01\x02");
    ZipEntry e;
    if (file.size() < 30 || central == std::string::npos) {
        ADD_FAILURE() << path << " is not a one-entry ZIP archive";
        return e;
    }
    e.stream.flags = GetLE16(p + 6);
    e.stream.method = GetLE16(p + 8);
    e.crc = GetLE32(p + central + 16);
    const uint32_t packedSize = GetLE32(p + central + 20);
    e.size = GetLE32(p + central + 24);
    const size_t dataStart = 30 + GetLE16(p + 26) + GetLE16(p + 28);
    e.stream.packed = file.substr(dataStart, packedSize);
    return e;
}

struct CorpusCase {
    const char* name;
    const char* file;
    uint16_t method;
    uint64_t manifestSize;
};

const CorpusCase kCorpus[] = {
    {"Shrink", "zip2_shrink.zip", 1, 1092},
    {"ReduceFactor4", "oldunzip_example-r.zip", 5, 2048},
    {"Implode4KTwoTrees", "oldunzip_example-i.zip", 6, 2048},
};

ZipEntry CorpusEntry(const CorpusCase& c) {
    return ReadOnlyEntry(std::string(BRINDLE_TEST_DATA "/corpus/zip/") + c.file);
}

class LegacyCorpus : public testing::TestWithParam<CorpusCase> {};

TEST_P(LegacyCorpus, DecodesToTheCentralCrcAndSizeWhateverTheInputChunks) {
    const ZipEntry e = CorpusEntry(GetParam());
    ASSERT_EQ(e.stream.method, GetParam().method);
    ASSERT_EQ(e.size, GetParam().manifestSize);
    for (size_t chunk : {size_t{1}, size_t{7}, size_t{4096}}) {
        const Decoded d = Decode(e.stream, e.size, chunk);
        EXPECT_EQ(d.result, TLegacyResult::Done) << "chunk " << chunk;
        EXPECT_EQ(d.data.size(), e.size) << "chunk " << chunk;
        EXPECT_EQ(Crc32Of(d.data), e.crc) << "chunk " << chunk;
    }
}

// The declared size bounds the output: one byte less stops early with a correct
// prefix, one byte more runs out of input.
TEST_P(LegacyCorpus, TheDeclaredSizeBoundsTheOutput) {
    const ZipEntry e = CorpusEntry(GetParam());
    const std::string full = Decode(e.stream, e.size).data;

    const Decoded shorter = Decode(e.stream, e.size - 1);
    EXPECT_EQ(shorter.result, TLegacyResult::Done);
    EXPECT_EQ(shorter.data, full.substr(0, e.size - 1));

    const Decoded longer = Decode(e.stream, e.size + 1);
    EXPECT_EQ(longer.result, TLegacyResult::Truncated);
    EXPECT_EQ(longer.data, full);

    const Decoded none = Decode(e.stream, 0);
    EXPECT_EQ(none.result, TLegacyResult::Done);
    EXPECT_TRUE(none.pieces.empty());
}

TEST_P(LegacyCorpus, EveryCutEndsTruncatedWithAPrefixOfTheOutput) {
    const ZipEntry e = CorpusEntry(GetParam());
    const std::string full = Decode(e.stream, e.size).data;
    for (size_t cut = 0; cut < e.stream.packed.size(); ++cut) {
        LegacyStream s = e.stream;
        s.packed.resize(cut);
        const Decoded d = Decode(s, e.size);
        ASSERT_EQ(d.result, TLegacyResult::Truncated) << "cut at " << cut;
        ASSERT_LT(d.data.size(), e.size) << "cut at " << cut;
        ASSERT_EQ(d.data, full.substr(0, d.data.size())) << "cut at " << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(Corpus, LegacyCorpus, testing::ValuesIn(kCorpus),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Streams for the paths the corpus does not reach. Each was built by a throwaway
// encoder, put in a ZIP entry with its CRC, and tested good by both `unzip -t`
// (UnZip 6.00) and `7zz t` (7-Zip 23), so the expected output is theirs.

struct OracleCase {
    const char* name;
    LegacyStream stream;
    uint64_t size;
    uint32_t crc;
};

// Text and binary bytes, a 4300-byte run of 'z', then 150 bytes copied from 4.4 KiB back.
constexpr uint32_t kImplodedCrc = 0xD4E5AA5A;
constexpr uint64_t kImplodedSize = 4784;

// Codes a b c d 257 260 261 e, partial clear, 261 f g, partial clear, 261 258
// 259 260, widen, 262 264 h. The second clear frees 259, the only child of 261
// and a lower code than it, so 261 must survive that clear (only the leaves of
// the moment go) to decode as "abd" right after it.
const std::string kShrunkWithClears = "61c48c21139060c132000514347306a080820207120418c02084d000";
const std::string kUnshrunkWithClears = "abcdabdaabdeabdfgabdgaabdggaaabdggabdggah";

const OracleCase kOracleCases[] = {
    {"ShrinkPartialClearsKeepParentsOfTheMoment",
     {1, 0, FromHex(kShrunkWithClears)},
     kUnshrunkWithClears.size(),
     Crc32Of(kUnshrunkWithClears)},
    // Flag bit 1: 8 KiB history, 7 raw distance bits, raw literals. The length tree
    // has 3-, 6- and 7-bit codes; the distance tree codes of 1 to 16 bits.
    {"Implode8KTwoTrees",
     {6, 0x02,
      FromHex("053235f6f6f6760d000102030405060708099effffbfd3dad54bd7ee58b720edc63d4b06f14196b50b"
              "572c48b673c98e0589d7ad5c906af19e6d0bf2ed5db279247f6ddeb069e1eaf9f4590661a4c6a63bec"
              "d9bc66c3d64976a32d4bf7ec5d9064c5ce3d13e93a758f65abe7fdefd6413ce138f519748f859b37ad"
              "d830866eb976e9d24118adcdb66d9cd6fb7eb668e9988eb06bdec3d00ff76cdcb975966fd2e359f91e"
              "433fc0830e2b721ca93226ce9f469b52dd2a46e1dff55b98f164cda151bfb6dd9bf872e9d9c19f775f"
              "9fbf1e40c03f40c03f40c03f40c03f40c03f40c03f40c03f40c03f40c03f40c03f40c03f40c03f40c0"
              "3f4080922d000ea0ea7f8090910dbaf2f1")},
     kImplodedSize,
     kImplodedCrc},
    // Flag bits 1 and 2: 8 KiB history and a literal tree of 5-, 8- and 9-bit codes
    // whose lengths are not in value order.
    {"Implode8KThreeTrees",
     {6, 0x06,
      FromHex("11f7f7f7f7f7f70774f7f767f8f8f8f8f8f8f8053235f6f6f6760d000102030405060708099effffbf"
              "f52a96ad5cf1ad39bf62b5f3a95c71fe5db1fa37bf7695e79d5fbe66d5f975cb9fb5e6d7a8f0949b5f"
              "bb4eb9bf5ef5b23ec3b2082bb536bdff2c77fd95247bc75df9ac30fff9aa9c223da7de5bbb6ccdf915"
              "2a95251ca761d07bab97abf7fd0cbdaa152b5786b05a57bb56b55af3ff4ab58fca4c4fd833ef6398ea"
              "67b52a952a98f4784ebecf30fb776c5cb578ced471c307f4ecd4bac957af7a859285726793697aa9a7"
              "90644271c7126d64e18711625001970508f80708f80708f80708f80708f80708f80708f80708f80708"
              "f80708f80708f80708f80708f80708e0b105c0015005b03ffbd80d7af209")},
     kImplodedSize,
     kImplodedCrc},
};

class LegacyOracle : public testing::TestWithParam<OracleCase> {};

TEST_P(LegacyOracle, DecodesAsUnzipAnd7ZipDo) {
    const OracleCase& c = GetParam();
    const Decoded d = Decode(c.stream, c.size);
    EXPECT_EQ(d.result, TLegacyResult::Done);
    EXPECT_EQ(d.data.size(), c.size);
    EXPECT_EQ(Crc32Of(d.data), c.crc);
}

TEST_P(LegacyOracle, EveryCutEndsTruncatedWithAPrefixOfTheOutput) {
    const OracleCase& c = GetParam();
    const std::string full = Decode(c.stream, c.size).data;
    for (size_t cut = 0; cut < c.stream.packed.size(); ++cut) {
        LegacyStream s = c.stream;
        s.packed.resize(cut);
        const Decoded d = Decode(s, c.size);
        ASSERT_EQ(d.result, TLegacyResult::Truncated) << "cut at " << cut;
        ASSERT_EQ(d.data, full.substr(0, d.data.size())) << "cut at " << cut;
    }
}

INSTANTIATE_TEST_SUITE_P(Oracle, LegacyOracle, testing::ValuesIn(kOracleCases),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Expanding with each factor. The corpus has factor 4 only, and neither unzip
// nor 7-Zip expands reduced data, so these are built by hand from the format.

// Follower sets for 255 down to 0, all empty but the one after 'a': {b, c, d}.
Bits FollowerSetsWithABCD() {
    Bits b;
    for (int value = 255; value >= 0; --value) {
        if (value == 'a')
            b.Field(3, 6).Bytes("bcd");
        else
            b.Field(0, 6);
    }
    return b;
}

struct FactorCase {
    const char* name;
    int factor;
    uint8_t longLengthByte;   // V: length field all ones, distance high bits 0
    uint8_t farLengthByte;    // V: length field 2, distance high bits 1
    uint32_t longMatchLength; // the length field's mask + 255 + 3
};

const FactorCase kFactors[] = {
    {"Factor1", 1, 0x7F, 0x82, 127 + 255 + 3},
    {"Factor2", 2, 0x3F, 0x42, 63 + 255 + 3},
    {"Factor3", 3, 0x1F, 0x22, 31 + 255 + 3},
    {"Factor4", 4, 0x0F, 0x12, 15 + 255 + 3},
};

class ExpandFactor : public testing::TestWithParam<FactorCase> {};

TEST_P(ExpandFactor, SplitsTheByteAfterDleByTheFactor) {
    const FactorCase& c = GetParam();
    Bits b = FollowerSetsWithABCD();
    b.Field('a', 8);             // no followers after byte 0: 8 bits
    b.Field(0, 1).Field(1, 2);   // after 'a': index 1 of {b, c, d}
    b.Field('a', 8);             // no followers after 'c'
    b.Field(1, 1).Field('z', 8); // after 'a': a byte not in the set, sent whole
    b.Bytes("\x90");             // DLE, then 0: a literal DLE
    b.Field(0, 8);
    // Match: DLE, V, the length extension 255, distance low byte 4: 5 back.
    b.Bytes("\x90").Field(c.longLengthByte, 8).Field(255, 8).Field(4, 8);
    // Match: DLE, V, distance low byte 10: 256 + 10 + 1 back, 2 + 3 bytes.
    b.Bytes("\x90").Field(c.farLengthByte, 8).Field(10, 8);

    std::string expected = "acaz\x90";
    while (expected.size() < 5 + c.longMatchLength)
        expected += expected[expected.size() - 5];
    expected += expected.substr(expected.size() - 267, 5);

    const Decoded d = Decode({static_cast<uint16_t>(c.factor + 1), 0, b.Packed()}, expected.size());
    EXPECT_EQ(d.result, TLegacyResult::Done);
    EXPECT_EQ(d.data, expected);
}

INSTANTIATE_TEST_SUITE_P(Factors, ExpandFactor, testing::ValuesIn(kFactors),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Damaged streams, built field by field.

// A run byte of an implode tree: count values of bit length `length`.
uint32_t Run(int count, int length) {
    return static_cast<uint32_t>((count - 1) << 4 | (length - 1));
}

// A 64-value tree of equal bit lengths, in runs of 16.
Bits& FlatTree(Bits& b, int length) {
    b.Field(3, 8);
    for (int i = 0; i < 4; ++i)
        b.Field(Run(16, length), 8);
    return b;
}

// A shrunk stream of the given (code, width) fields.
LegacyStream Shrunk(const std::vector<std::pair<uint32_t, int>>& codes) {
    Bits b;
    for (const auto& [code, width] : codes)
        b.Field(code, width);
    return {1, 0, b.Packed()};
}

std::vector<std::pair<uint32_t, int>> WidenedTo(int width) {
    std::vector<std::pair<uint32_t, int>> codes{{'a', 9}};
    for (int w = 9; w < width; ++w)
        codes.insert(codes.end(), {{256, w}, {1, w}});
    return codes;
}

LegacyStream CodeAfterWidening(int width, uint32_t code) {
    auto codes = WidenedTo(width);
    codes.push_back({code, width});
    return Shrunk(codes);
}

LegacyStream WidenedPast(int width) {
    auto codes = WidenedTo(width);
    codes.insert(codes.end(), {{256, width}, {1, width}});
    return Shrunk(codes);
}

LegacyStream ReducedWithFirstSet(int count, const std::string& followers, uint32_t index,
                                 int indexBits) {
    Bits b;
    for (int value = 255; value > 0; --value)
        b.Field(0, 6);
    b.Field(static_cast<uint32_t>(count), 6).Bytes(followers);
    b.Field(0, 1).Field(index, indexBits);
    return {2, 0, b.Packed()};
}

// Two trees: a length tree of the given runs, a flat distance tree.
LegacyStream ImplodedLengthTree(const std::vector<uint32_t>& runs) {
    Bits b;
    b.Field(static_cast<uint32_t>(runs.size() - 1), 8);
    for (uint32_t r : runs)
        b.Field(r, 8);
    FlatTree(b, 6); // distance tree
    return {6, 0, b.Packed()};
}

struct DamageCase {
    const char* name;
    LegacyStream stream;
    TLegacyResult expected;
};

const DamageCase kDamage[] = {
    {"ShrinkControlCodeThree", Shrunk({{'a', 9}, {256, 9}, {3, 9}}), TLegacyResult::BadCode},
    {"ShrinkControlCodeZero", Shrunk({{'a', 9}, {256, 9}, {0, 9}}), TLegacyResult::BadCode},
    // Widened to 14 bits, codes can name 8192 and up: outside the table.
    {"ShrinkCodeAboveTable", CodeAfterWidening(14, 8192), TLegacyResult::BadCode},
    // Widening goes on past 13 bits, but not past the 24 bits one read takes.
    {"ShrinkWidenedPastTheWidestRead", WidenedPast(24), TLegacyResult::BadCode},
    // a; 257 (aa); clear frees 257; b adds 257 as the child of 257 (the previous
    // code); 257 then walks a cycle.
    {"ShrinkCycleOfParents", Shrunk({{'a', 9}, {257, 9}, {256, 9}, {2, 9}, {'b', 9}, {257, 9}}),
     TLegacyResult::StackOverflow},
    {"ShrinkEmpty", {1, 0, ""}, TLegacyResult::Truncated},

    // The first set read (for byte 255) claims 33 followers.
    {"ReduceFollowerCountAbove32", {2, 0, Bits().Field(33, 6).Packed()}, TLegacyResult::BadCode},
    // The set after byte 0 has 3 followers; a 2-bit index of 3 is past its end.
    {"ReduceIndexPastTheSet", ReducedWithFirstSet(3, "xyz", 3, 2), TLegacyResult::BadCode},
    {"ReduceEmpty", {3, 0, ""}, TLegacyResult::Truncated},

    {"ImplodeTreeWithTooFewValues",
     ImplodedLengthTree({Run(16, 6), Run(16, 6), Run(16, 6), Run(15, 6)}), TLegacyResult::BadCode},
    {"ImplodeTreeWithTooManyValues",
     ImplodedLengthTree({Run(16, 6), Run(16, 6), Run(16, 6), Run(16, 6), Run(1, 6)}),
     TLegacyResult::BadCode},
    // 64 one-bit codes: the third already collides with the first.
    {"ImplodeOverSubscribedTree",
     ImplodedLengthTree({Run(16, 1), Run(16, 1), Run(16, 1), Run(16, 1)}),
     TLegacyResult::AmbiguousTree},
    // 64 sixteen-bit codes need a 10-node stem above a full 6-level tree: more
    // inner nodes than the array holds.
    {"ImplodeTreeOutOfNodes",
     ImplodedLengthTree({Run(16, 16), Run(16, 16), Run(16, 16), Run(16, 16)}),
     TLegacyResult::AmbiguousTree},
    // 64 seven-bit codes fill only the half under bit 0; a distance code
    // starting with bit 1 walks into an empty slot.
    {"ImplodeCodeIntoAnEmptySlot",
     [] {
         Bits b;
         FlatTree(b, 7); // length tree
         FlatTree(b, 7); // distance tree
         b.Field(0, 1);  // a match
         b.Field(0, 6);  // its low distance bits
         b.Code(1, 1);   // the distance code's first bit
         return LegacyStream{6, 0, b.Packed()};
     }(),
     TLegacyResult::AmbiguousTree},
    {"ImplodeEmpty", {6, 0, ""}, TLegacyResult::Truncated},
};

class LegacyDamage : public testing::TestWithParam<DamageCase> {};

TEST_P(LegacyDamage, EndsWithItsOwnResultAndNoMoreThanDeclared) {
    const uint64_t declared = 1000;
    const Decoded d = Decode(GetParam().stream, declared);
    EXPECT_EQ(d.result, GetParam().expected);
    EXPECT_LE(d.data.size(), declared);
}

INSTANTIATE_TEST_SUITE_P(Damage, LegacyDamage, testing::ValuesIn(kDamage),
                         [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Output pieces: long outputs of one byte, made by streams that repeat
// themselves, declared shorter than the streams would run.

constexpr uint64_t kLongSize = 3 * 32768 + 1696;

// x, then 257, 258, ...: each code is the one about to be added (the previous
// string plus its first character), one byte longer each time; widened as the
// codes need.
LegacyStream ShrunkRun() {
    Bits b;
    b.Field('x', 9);
    int width = 9;
    uint64_t produced = 1;
    for (uint32_t code = 257; produced <= kLongSize; ++code) {
        if (code == 1u << width) {
            b.Field(256, width).Field(1, width);
            ++width;
        }
        b.Field(code, width);
        produced += code - 255;
    }
    return {1, 0, b.Packed()};
}

// Factor 4, empty follower sets; x, then matches of 15 + 255 + 3 bytes 1 back.
LegacyStream ReducedRun() {
    Bits b;
    for (int value = 255; value >= 0; --value)
        b.Field(0, 6);
    b.Bytes("x");
    for (uint64_t produced = 1; produced <= kLongSize; produced += 273)
        b.Bytes("\x90\x0F\xFF").Field(0, 8);
    return {5, 0, b.Packed()};
}

// Two flat 6-bit trees (value v has code 63 - v); x as a raw literal, then
// matches 1 back of 63 + 255 + 2 bytes.
LegacyStream ImplodedRun() {
    Bits b;
    FlatTree(b, 6);
    FlatTree(b, 6);
    b.Field(1, 1).Field('x', 8);
    for (uint64_t produced = 1; produced <= kLongSize; produced += 320) {
        b.Field(0, 1).Field(0, 6);        // a match; low distance bits 0
        b.Code(63 - 0, 6);                // distance high bits 0
        b.Code(63 - 63, 6).Field(255, 8); // length 63, plus 255
    }
    return {6, 0, b.Packed()};
}

struct RunCase {
    const char* name;
    LegacyStream stream;
};

const RunCase kRuns[] = {
    {"Unshrink", ShrunkRun()},
    {"Expand", ReducedRun()},
    {"Explode", ImplodedRun()},
};

class LegacyPieces : public testing::TestWithParam<RunCase> {};

TEST_P(LegacyPieces, AreWholeWindowsUpToTheDeclaredSize) {
    const Decoded d = Decode(GetParam().stream, kLongSize);
    EXPECT_EQ(d.result, TLegacyResult::Done);
    EXPECT_EQ(d.data, std::string(kLongSize, 'x'));
    EXPECT_EQ(d.pieces, (std::vector<size_t>{32768, 32768, 32768, 1696}));
}

TEST_P(LegacyPieces, ARefusedPieceEndsDecoding) {
    const Decoded d = Decode(GetParam().stream, kLongSize, 4096, 1);
    EXPECT_EQ(d.result, TLegacyResult::OutputFailed);
    EXPECT_EQ(d.pieces, (std::vector<size_t>{32768, 32768}));
}

INSTANTIATE_TEST_SUITE_P(Runs, LegacyPieces, testing::ValuesIn(kRuns),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
