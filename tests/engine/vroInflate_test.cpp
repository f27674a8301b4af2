// Guards the inflate decoder against wrong bytes and wrong verdicts: zlib's streams
// (every level and strategy, fed in pieces of 1, 7 and 4096 bytes) must decode
// exactly, in whole 32 KiB output pieces; hand-built streams pin down each
// failure and edge case of RFC 1951; cut or damaged streams must end cleanly.
#include "engine/vroInflate.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <array>
#include <bit>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

using namespace vro;

namespace {

using Bytes = std::vector<uint8_t>;

// ---- Running the decoder ----------------------------------------------------

struct Decoded {
    TInflateResult result;
    std::string out;
    std::vector<size_t> pieces; // size of each piece the sink received
    uint64_t totalOut;
};

// Inflates `packed`, handing it over at most `step` bytes per Input call.
Decoded Inflate(TInflater& inflater, const Bytes& packed, size_t step = 4096) {
    Decoded d{};
    size_t pos = 0;
    d.result = inflater.Inflate(
        [&](uint8_t* buffer, size_t capacity) {
            const size_t n = std::min({capacity, step, packed.size() - pos});
            std::copy_n(packed.begin() + static_cast<ptrdiff_t>(pos), n, buffer);
            pos += n;
            return n;
        },
        [&](const uint8_t* data, size_t size) {
            d.out.append(reinterpret_cast<const char*>(data), size);
            d.pieces.push_back(size);
            return true;
        });
    d.totalOut = inflater.TotalOut();
    return d;
}

Decoded Inflate(const Bytes& packed, size_t step = 4096) {
    TInflater inflater;
    return Inflate(inflater, packed, step);
}

// ---- Streams made by zlib ---------------------------------------------------

struct ZlibSettings {
    int level = 6;
    int strategy = Z_DEFAULT_STRATEGY;
    int memLevel = 8;          // 1 makes zlib end its blocks far more often
    size_t syncFlushEvery = 0; // Z_SYNC_FLUSH (an empty stored block) every n bytes
};

// Raw DEFLATE (windowBits -15) of data.
Bytes ZlibDeflate(const std::string& data, const ZlibSettings& s = {}) {
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, s.level, Z_DEFLATED, -15, s.memLevel, s.strategy), Z_OK);
    Bytes out(deflateBound(&z, data.size()) + data.size() / 100 + 1024);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const size_t chunk = s.syncFlushEvery ? s.syncFlushEvery : std::max<size_t>(data.size(), 1);
    for (size_t pos = 0; pos < data.size() || pos == 0; pos += chunk) {
        const size_t n = std::min(chunk, data.size() - pos);
        const bool last = pos + n >= data.size();
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data() + pos));
        z.avail_in = static_cast<uInt>(n);
        EXPECT_EQ(deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH), last ? Z_STREAM_END : Z_OK);
        if (last) break;
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

uint32_t NextRandom(uint32_t& x) {
    x ^= x << 13, x ^= x >> 17, x ^= x << 5;
    return x;
}

// About 330 KB in parts that take different paths: text (ordinary matches),
// bytes of a skewed distribution (codewords long enough to need subtables),
// random bytes (stored blocks or literals), a long zero run (distance 1, length
// 258), short periods 2-7 (overlapping copies) and a repeat of the first text
// 32000 bytes later (distances near the window's size). More than the history
// plus one batch of pieces, so the window moves at least once.
const std::string& MixedData() {
    static const std::string data = [] {
        static const char* const words[] = {"the ",   "archive ", "of ",     "window ", "and ",
                                            "codes ", "block ",   "bits\n",  "length ", "a ",
                                            "zip ",   "tree ",    "stored ", "fixed "};
        std::string s;
        uint32_t x = 0x2545F491;
        while (s.size() < 150000)
            s += words[NextRandom(x) % std::size(words)];
        const std::string firstText = s.substr(0, 700);
        for (int i = 0; i < 40000; ++i)
            s += static_cast<char>(std::countr_zero(NextRandom(x) | 0x80000000u));
        for (int i = 0; i < 40000; ++i)
            s += static_cast<char>(NextRandom(x));
        s.append(70000, '\0');
        for (int period = 2; period <= 7; ++period)
            for (int i = 0; i < 3000; ++i)
                s += static_cast<char>('a' + i % period);
        s.append(32000 - s.size() % 32000 + 100, 'x');
        s += firstText;
        return s;
    }();
    return data;
}

struct RoundTrip {
    const char* name;
    ZlibSettings settings;
};

const RoundTrip kRoundTrips[] = {
    {"Level0", {0}},
    {"Level1", {1}},
    {"Level2", {2}},
    {"Level3", {3}},
    {"Level4", {4}},
    {"Level5", {5}},
    {"Level6", {6}},
    {"Level7", {7}},
    {"Level8", {8}},
    {"Level9", {9}},
    {"FixedCodesOnly", {6, Z_FIXED}},
    {"RunLengthOnly", {6, Z_RLE}},
    {"HuffmanOnly", {6, Z_HUFFMAN_ONLY}},
    {"SmallBlocks", {6, Z_DEFAULT_STRATEGY, 1}},
    {"SyncFlushes", {6, Z_DEFAULT_STRATEGY, 8, 10007}},
};

void PrintTo(const RoundTrip& r, std::ostream* os) {
    *os << r.name;
}

class ZlibRoundTrip : public testing::TestWithParam<RoundTrip> {};

TEST_P(ZlibRoundTrip, DecodesExactlyInWholeWindowPieces) {
    const std::string& original = MixedData();
    const Bytes packed = ZlibDeflate(original, GetParam().settings);
    TInflater inflater; // one decoder for all three runs: nothing may carry over
    for (size_t step : {size_t{1}, size_t{7}, size_t{4096}}) {
        SCOPED_TRACE("input step " + std::to_string(step));
        const Decoded d = Inflate(inflater, packed, step);
        ASSERT_EQ(d.result, TInflateResult::Done);
        ASSERT_TRUE(d.out == original);
        EXPECT_EQ(d.totalOut, original.size());
        for (size_t i = 0; i + 1 < d.pieces.size(); ++i)
            ASSERT_EQ(d.pieces[i], TInflater::kWindowSize) << "piece " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Zlib, ZlibRoundTrip, testing::ValuesIn(kRoundTrips),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InflateOutput, ExactlyOneWindowIsOnePiece) {
    const Decoded d = Inflate(ZlibDeflate(std::string(TInflater::kWindowSize, 'w')));
    EXPECT_EQ(d.result, TInflateResult::Done);
    EXPECT_EQ(d.pieces, std::vector<size_t>{TInflater::kWindowSize});
}

TEST(InflateOutput, RefusedPieceStopsTheStream) {
    const Bytes packed = ZlibDeflate(MixedData());
    TInflater inflater;
    size_t pos = 0;
    int calls = 0;
    const TInflateResult result = inflater.Inflate(
        [&](uint8_t* buffer, size_t capacity) {
            const size_t n = std::min(capacity, packed.size() - pos);
            std::copy_n(packed.begin() + static_cast<ptrdiff_t>(pos), n, buffer);
            pos += n;
            return n;
        },
        [&](const uint8_t*, size_t) { return ++calls < 2; });
    EXPECT_EQ(result, TInflateResult::OutputFailed);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(inflater.TotalOut(), TInflater::kWindowSize);
}

// ---- Hand-built streams -----------------------------------------------------

class TBitWriter {
public:
    // Header fields and extra bits: least significant bit first.
    TBitWriter& Bits(uint32_t value, unsigned count) {
        for (unsigned i = 0; i < count; ++i)
            Bit((value >> i) & 1);
        return *this;
    }
    // Huffman codewords: most significant bit first (RFC 1951 3.1.1).
    TBitWriter& Code(uint32_t code, unsigned length) {
        for (unsigned i = length; i-- > 0;)
            Bit((code >> i) & 1);
        return *this;
    }
    TBitWriter& AlignToByte() {
        while (bitCount_ % 8)
            Bit(0);
        return *this;
    }
    TBitWriter& Header(bool final, unsigned type) { return Bits(final, 1).Bits(type, 2); }
    Bytes Take() const { return bytes_; }

private:
    void Bit(uint32_t b) {
        if (bitCount_ % 8 == 0) bytes_.push_back(0);
        bytes_.back() |= static_cast<uint8_t>(b << (bitCount_ % 8));
        ++bitCount_;
    }
    Bytes bytes_;
    size_t bitCount_ = 0;
};

// A canonical Huffman code from its lengths (RFC 1951 3.2.2).
class THuffman {
public:
    explicit THuffman(std::vector<uint8_t> lengths) : lengths_(std::move(lengths)) {
        unsigned count[16] = {};
        for (uint8_t len : lengths_)
            ++count[len];
        count[0] = 0;
        uint32_t next[16] = {};
        for (unsigned len = 1, code = 0; len < 16; ++len)
            next[len] = code = (code + count[len - 1]) << 1;
        codes_.resize(lengths_.size());
        for (size_t sym = 0; sym < lengths_.size(); ++sym)
            if (lengths_[sym]) codes_[sym] = next[lengths_[sym]]++;
    }
    void Put(TBitWriter& w, unsigned sym) const { w.Code(codes_.at(sym), lengths_.at(sym)); }

private:
    std::vector<uint8_t> lengths_;
    std::vector<uint32_t> codes_;
};

// count zero lengths with the listed (symbol, length) pairs set.
std::vector<uint8_t> Lengths(size_t count, std::initializer_list<std::pair<unsigned, int>> set) {
    std::vector<uint8_t> lengths(count, 0);
    for (auto [sym, len] : set)
        lengths.at(sym) = static_cast<uint8_t>(len);
    return lengths;
}

const THuffman& FixedLitLen() {
    static const THuffman code = [] {
        std::vector<uint8_t> lengths(288);
        for (unsigned sym = 0; sym < 288; ++sym)
            lengths[sym] = sym < 144 ? 8 : sym < 256 ? 9 : sym < 280 ? 7 : 8;
        return THuffman(lengths);
    }();
    return code;
}
const THuffman& FixedDist() {
    static const THuffman code(std::vector<uint8_t>(32, 5));
    return code;
}

constexpr unsigned kEnd = 256;
// Length codes without extra bits: 257 + n - 3 is a match of n (3-10) bytes.
constexpr unsigned LengthCode(unsigned n) {
    return 254 + n;
}

// Code-length codes, indexed by symbol. Plain: 0-15 as 4-bit codewords (16 x 1/16,
// complete) and no repeat symbols. Repeats: 0-15 in 5 bits, 16 and 17 in 3, 18 in
// 2 (16/32 + 2/8 + 1/4, complete).
using TPrecode = std::array<uint8_t, 19>;
constexpr TPrecode kPlainPrecode = {4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 4, 0, 0, 0};
constexpr TPrecode kRepeatPrecode = {5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 5, 3, 3, 2};
constexpr uint8_t kPrecodeOrder[19] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                       11, 4,  12, 3, 13, 2, 14, 1, 15};

struct TLengthItem {
    unsigned symbol;    // code-length symbol 0-18
    uint32_t extra = 0; // its repeat count field (16: 2 bits, 17: 3, 18: 7)
};

// A dynamic block header after BFINAL/BTYPE: HLIT, HDIST, HCLEN (always all 19
// code-length lengths), the code-length code, then the code lengths as items.
void PutDynamicHeader(TBitWriter& w, unsigned numLitLen, unsigned numDist, const TPrecode& precode,
                      const std::vector<TLengthItem>& items) {
    w.Bits(numLitLen - 257, 5).Bits(numDist - 1, 5).Bits(19 - 4, 4);
    for (uint8_t sym : kPrecodeOrder)
        w.Bits(precode[sym], 3);
    const THuffman code(std::vector<uint8_t>(precode.begin(), precode.end()));
    for (const TLengthItem& item : items) {
        code.Put(w, item.symbol);
        if (item.symbol < 16) continue;
        const unsigned bits = item.symbol == 16 ? 2 : item.symbol == 17 ? 3 : 7;
        EXPECT_LT(item.extra, 1u << bits) << "repeat field too wide";
        w.Bits(item.extra, bits);
    }
}

// The same with every length sent as itself through the plain code-length code.
void PutPlainDynamicHeader(TBitWriter& w, const std::vector<uint8_t>& litLen,
                           const std::vector<uint8_t>& dist) {
    std::vector<TLengthItem> items;
    for (uint8_t len : litLen)
        items.push_back({len});
    for (uint8_t len : dist)
        items.push_back({len});
    PutDynamicHeader(w, static_cast<unsigned>(litLen.size()), static_cast<unsigned>(dist.size()),
                     kPlainPrecode, items);
}

struct THandStream {
    Bytes stream;
    std::string out; // what the sink must have received
};

struct THandCase {
    const char* name;
    std::function<THandStream()> build;
    TInflateResult result;
};

// A final fixed block with a literal 'a' followed by the symbols of `tail`.
THandStream FixedAThen(const std::function<void(TBitWriter&)>& tail) {
    TBitWriter w;
    w.Header(true, 1);
    FixedLitLen().Put(w, 'a');
    tail(w);
    return {w.Take(), "a"};
}

// Literal/length code {a, b, end, 4-byte match} in 2 bits each and a distance code
// with the single codeword 0 (distance 1) of one bit.
void PutSingleDistanceCodeBlock(TBitWriter& w, const THuffman& lit) {
    w.Header(true, 2);
    PutPlainDynamicHeader(w, Lengths(259, {{'a', 2}, {'b', 2}, {kEnd, 2}, {258, 2}}), {1});
    lit.Put(w, 'a');
    lit.Put(w, 'b');
    lit.Put(w, 258);
}
const THuffman kSingleDistLit(Lengths(259, {{'a', 2}, {'b', 2}, {kEnd, 2}, {258, 2}}));

// Literal/length code {a: 1 bit, end: 2, 3-byte match: 2} for blocks whose
// distance code is what the case is about.
const std::vector<uint8_t> kALenEnd = Lengths(258, {{'a', 1}, {kEnd, 2}, {257, 2}});

// 'a' and the end of the block, after the given distance lengths; `out` is what
// the sink gets (nothing when the header fails).
THandStream DynamicWithDistances(const std::vector<uint8_t>& dist, std::string out) {
    TBitWriter w;
    w.Header(true, 2);
    PutPlainDynamicHeader(w, kALenEnd, dist);
    THuffman(kALenEnd).Put(w, 'a');
    THuffman(kALenEnd).Put(w, kEnd);
    return {w.Take(), std::move(out)};
}

THandStream BadLitLenLengths(const std::vector<uint8_t>& litLen) {
    TBitWriter w;
    w.Header(true, 2);
    PutPlainDynamicHeader(w, litLen, {1});
    return {w.Take(), ""};
}

THandStream BadPrecode(const TPrecode& precode) {
    TBitWriter w;
    w.Header(true, 2);
    PutDynamicHeader(w, 257, 1, precode, {});
    return {w.Take(), ""};
}

// Literal/length lengths 1..14 for 'A'..'N' and 15 for end and the 3-byte match;
// distance lengths 1..15 for codes 0..14 and 15 for code 15. Both complete, and
// their longest codewords exceed any sensible root table.
THandStream LongCodewords() {
    std::vector<uint8_t> lit(258, 0), dist(16, 0);
    for (unsigned i = 0; i < 14; ++i)
        lit['A' + i] = static_cast<uint8_t>(i + 1);
    lit[kEnd] = lit[257] = 15;
    for (unsigned i = 0; i < 15; ++i)
        dist[i] = static_cast<uint8_t>(i + 1);
    dist[15] = 15;
    const THuffman litCode(lit), distCode(dist);
    TBitWriter w;
    w.Header(true, 2);
    PutPlainDynamicHeader(w, lit, dist);
    std::string out;
    for (unsigned k = 0; k < 200; ++k) {
        const char c = static_cast<char>('N' - k % 14);
        litCode.Put(w, static_cast<uint8_t>(c));
        out += c;
    }
    litCode.Put(w, 257);
    distCode.Put(w, 14);
    w.Bits(0, 6); // distance code 14: 129 + 6 extra bits
    for (int i = 0; i < 3; ++i)
        out += out[out.size() - 129];
    litCode.Put(w, kEnd);
    return {w.Take(), out};
}

const THandCase kHandCases[] = {
    {"EmptyStoredBlock",
     [] {
         TBitWriter w;
         w.Header(true, 0).AlignToByte().Bits(0, 16).Bits(0xFFFF, 16); // LEN 0, NLEN
         return THandStream{w.Take(), ""};
     },
     TInflateResult::Done},
    {"StoredBlockAfterFixedBlockStartsOnByteBoundary",
     [] {
         TBitWriter w;
         w.Header(false, 1);
         FixedLitLen().Put(w, 'x');
         FixedLitLen().Put(w, kEnd);
         w.Header(true, 0).AlignToByte().Bits(2, 16).Bits(0xFFFD, 16).Bits('y', 8).Bits('z', 8);
         return THandStream{w.Take(), "xyz"};
     },
     TInflateResult::Done},
    {"StoredLengthNotComplemented",
     [] {
         TBitWriter w;
         w.Header(true, 0).AlignToByte().Bits(3, 16).Bits(0xFFFD, 16).Bits(0, 24);
         return THandStream{w.Take(), ""};
     },
     TInflateResult::StoredLengthMismatch},
    {"ReservedBlockType",
     [] {
         TBitWriter w;
         w.Header(true, 3).Bits(0, 13);
         return THandStream{w.Take(), ""};
     },
     TInflateResult::BadBlockType},
    {"FixedLengthCode286",
     [] { return FixedAThen([](TBitWriter& w) { FixedLitLen().Put(w, 286); }); },
     TInflateResult::BadFixedCode},
    {"FixedLengthCode287",
     [] { return FixedAThen([](TBitWriter& w) { FixedLitLen().Put(w, 287); }); },
     TInflateResult::BadFixedCode},
    {"FixedDistanceCode30",
     [] {
         return FixedAThen([](TBitWriter& w) {
             FixedLitLen().Put(w, LengthCode(3));
             FixedDist().Put(w, 30);
         });
     },
     TInflateResult::BadFixedCode},
    {"FixedDistanceCode31",
     [] {
         return FixedAThen([](TBitWriter& w) {
             FixedLitLen().Put(w, LengthCode(3));
             FixedDist().Put(w, 31);
         });
     },
     TInflateResult::BadFixedCode},
    {"MatchBeforeFirstByteReadsZeros",
     [] {
         THandStream s = FixedAThen([](TBitWriter& w) {
             FixedLitLen().Put(w, LengthCode(5));
             FixedDist().Put(w, 2); // distance 3: two bytes before the stream's start
             FixedLitLen().Put(w, kEnd);
         });
         s.out = std::string("a\0\0a\0\0", 6);
         return s;
     },
     TInflateResult::Done},
    {"FixedThenDynamicThenFixed",
     [] {
         TBitWriter w;
         w.Header(false, 1);
         FixedLitLen().Put(w, 'a');
         FixedLitLen().Put(w, kEnd);
         const auto lit = Lengths(257, {{'b', 1}, {'c', 2}, {kEnd, 2}});
         w.Header(false, 2);
         PutPlainDynamicHeader(w, lit, {0});
         for (unsigned sym : {unsigned{'b'}, unsigned{'c'}, kEnd})
             THuffman(lit).Put(w, sym);
         w.Header(true, 1);
         FixedLitLen().Put(w, 'd');
         FixedLitLen().Put(w, kEnd);
         return THandStream{w.Take(), "abcd"};
     },
     TInflateResult::Done},
    {"SingleDistanceCodeOfOneBit",
     [] {
         TBitWriter w;
         PutSingleDistanceCodeBlock(w, kSingleDistLit);
         w.Code(0, 1); // distance 1
         kSingleDistLit.Put(w, kEnd);
         return THandStream{w.Take(), "abbbbb"};
     },
     TInflateResult::Done},
    {"UnusedCodewordOfSingleDistanceCode",
     [] {
         TBitWriter w;
         PutSingleDistanceCodeBlock(w, kSingleDistLit);
         w.Code(1, 1);
         return THandStream{w.Take(), "ab"};
     },
     TInflateResult::BadDynamicCode},
    {"NoDistanceCodesForLiteralsOnly", [] { return DynamicWithDistances({0}, "a"); },
     TInflateResult::Done},
    {"LengthCodeWithoutDistanceCodes",
     [] {
         TBitWriter w;
         w.Header(true, 2);
         PutPlainDynamicHeader(w, kALenEnd, {0});
         THuffman(kALenEnd).Put(w, 'a');
         THuffman(kALenEnd).Put(w, 257);
         return THandStream{w.Take(), "a"};
     },
     TInflateResult::BadDynamicCode},
    {"IncompleteDistanceCode",
     [] {
         return DynamicWithDistances({2, 2}, "");
     },
     TInflateResult::BadCodeLengths},
    {"OversubscribedDistanceCode",
     [] {
         return DynamicWithDistances({1, 1, 1}, "");
     },
     TInflateResult::BadCodeLengths},
    {"IncompleteLiteralLengthCode",
     [] {
         return BadLitLenLengths(Lengths(257, {{'a', 2}, {'b', 2}, {kEnd, 2}}));
     },
     TInflateResult::BadCodeLengths},
    {"OversubscribedLiteralLengthCode",
     [] {
         return BadLitLenLengths(Lengths(257, {{'a', 2}, {'b', 2}, {'c', 2}, {'d', 2}, {kEnd, 2}}));
     },
     TInflateResult::BadCodeLengths},
    {"EmptyLiteralLengthCode", [] { return BadLitLenLengths(std::vector<uint8_t>(257, 0)); },
     TInflateResult::BadCodeLengths},
    {"IncompleteCodeLengthCode",
     [] {
         TPrecode p = kPlainPrecode;
         p[15] = 0;
         return BadPrecode(p);
     },
     TInflateResult::BadCodeLengthCode},
    {"OversubscribedCodeLengthCode",
     [] {
         TPrecode p;
         p.fill(4);
         return BadPrecode(p);
     },
     TInflateResult::BadCodeLengthCode},
    {"ZeroRunPastTheDeclaredLengths",
     [] {
         TBitWriter w;
         w.Header(true, 2);
         // 257 + 1 lengths declared; 138 + 138 zeros run past them.
         PutDynamicHeader(w, 257, 1, kRepeatPrecode, {{18, 127}, {18, 127}});
         return THandStream{w.Take(), ""};
     },
     TInflateResult::LengthRunPastEnd},
    {"RepeatPastTheDeclaredLengths",
     [] {
         TBitWriter w;
         w.Header(true, 2);
         // 255 zeros, a length, then 3 copies of it where 2 lengths remain.
         PutDynamicHeader(w, 257, 1, kRepeatPrecode, {{18, 127}, {18, 106}, {1}, {16, 0}});
         return THandStream{w.Take(), ""};
     },
     TInflateResult::LengthRunPastEnd},
    {"RepeatBeforeAnyLengthRepeatsZero",
     [] {
         TBitWriter w;
         w.Header(true, 2);
         // Symbols 0-2 by a leading repeat, 3-96 zero, 'a' 1 bit, 98-255 zero,
         // end 1 bit, one unused distance code.
         PutDynamicHeader(w, 257, 1, kRepeatPrecode,
                          {{16, 0}, {18, 83}, {1}, {18, 127}, {18, 9}, {1}, {0}});
         const THuffman lit(Lengths(257, {{'a', 1}, {kEnd, 1}}));
         lit.Put(w, 'a');
         lit.Put(w, kEnd);
         return THandStream{w.Take(), "a"};
     },
     TInflateResult::Done},
    {"RepeatCrossesIntoDistanceLengths",
     [] {
         TBitWriter w;
         w.Header(true, 2);
         // 'a', 'b', end and the 3-byte match get 2 bits, as do distance codes
         // 0-3: the repeat after the end's length covers the match's and all four
         // distance lengths.
         PutDynamicHeader(w, 258, 4, kRepeatPrecode,
                          {{18, 86}, {2}, {2}, {18, 127}, {18, 8}, {2}, {16, 2}});
         const THuffman lit(Lengths(258, {{'a', 2}, {'b', 2}, {kEnd, 2}, {257, 2}}));
         const THuffman dist(Lengths(4, {{0, 2}, {1, 2}, {2, 2}, {3, 2}}));
         lit.Put(w, 'a');
         lit.Put(w, 'b');
         lit.Put(w, LengthCode(3));
         dist.Put(w, 1); // distance 2
         lit.Put(w, kEnd);
         return THandStream{w.Take(), "ababa"};
     },
     TInflateResult::Done},
    {"ReservedLengthCodeInDynamicBlock",
     [] {
         const auto lit = Lengths(288, {{'a', 1}, {kEnd, 2}, {286, 3}, {287, 3}});
         TBitWriter w;
         w.Header(true, 2);
         PutPlainDynamicHeader(w, lit, {0});
         THuffman(lit).Put(w, 'a');
         THuffman(lit).Put(w, 286);
         return THandStream{w.Take(), "a"};
     },
     TInflateResult::BadDynamicCode},
    {"ReservedDistanceCodeInDynamicBlock",
     [] {
         const auto dist = Lengths(32, {{0, 1}, {30, 2}, {31, 2}});
         TBitWriter w;
         w.Header(true, 2);
         PutPlainDynamicHeader(w, kALenEnd, dist);
         THuffman(kALenEnd).Put(w, 'a');
         THuffman(kALenEnd).Put(w, 257);
         THuffman(dist).Put(w, 30);
         return THandStream{w.Take(), "a"};
     },
     TInflateResult::BadDynamicCode},
    {"ReservedCodesDeclaredButUnused",
     [] {
         // 288 and 32 codes: the most the 5-bit counts can declare.
         const auto lit = Lengths(288, {{'a', 1}, {kEnd, 2}, {286, 3}, {287, 3}});
         TBitWriter w;
         w.Header(true, 2);
         PutPlainDynamicHeader(w, lit, Lengths(32, {{0, 1}, {31, 1}}));
         THuffman(lit).Put(w, 'a');
         THuffman(lit).Put(w, kEnd);
         return THandStream{w.Take(), "a"};
     },
     TInflateResult::Done},
    {"LongCodewords", LongCodewords, TInflateResult::Done},
};

void PrintTo(const THandCase& c, std::ostream* os) {
    *os << c.name;
}

class HandBuilt : public testing::TestWithParam<THandCase> {};

TEST_P(HandBuilt, GivesItsResultAndOutput) {
    const THandStream s = GetParam().build();
    for (size_t step : {size_t{1}, size_t{4096}}) {
        const Decoded d = Inflate(s.stream, step);
        EXPECT_EQ(d.result, GetParam().result) << "input step " << step;
        EXPECT_EQ(d.out, s.out) << "input step " << step;
    }
}

INSTANTIATE_TEST_SUITE_P(Rfc1951, HandBuilt, testing::ValuesIn(kHandCases),
                         [](const auto& info) { return std::string(info.param.name); });

// Runs of 258-byte matches (each writes whole words, past its end) started at
// every phase modulo 258 and long enough to cross the decoder's first batch of
// output: one of them starts on the last position before a flush, which must
// still be inside the buffer (the address sanitizer watches its end).
TEST(InflateOutput, LongestMatchesAtEveryPhaseStayInTheBuffer) {
    TInflater inflater;
    for (unsigned lead = 0; lead < 258; ++lead) {
        TBitWriter w;
        w.Header(true, 1);
        for (unsigned i = 0; i < lead; ++i)
            FixedLitLen().Put(w, 'a');
        for (int i = 0; i < 1100; ++i) {
            FixedLitLen().Put(w, 285); // length 258
            FixedDist().Put(w, 0);     // distance 1
        }
        FixedLitLen().Put(w, kEnd);
        const Decoded d = Inflate(inflater, w.Take());
        ASSERT_EQ(d.result, TInflateResult::Done) << "lead " << lead;
        ASSERT_EQ(d.totalOut, lead + 1100 * 258) << "lead " << lead;
    }
}

TEST(InflateState, NextStreamSeesZerosNotThePreviousStream) {
    TInflater inflater;
    ASSERT_EQ(Inflate(inflater, ZlibDeflate(std::string(40000, 'q'))).result, TInflateResult::Done);
    const auto& zeros = *std::find_if(std::begin(kHandCases), std::end(kHandCases), [](auto& c) {
        return std::string(c.name) == "MatchBeforeFirstByteReadsZeros";
    });
    const THandStream s = zeros.build();
    const Decoded d = Inflate(inflater, s.stream);
    EXPECT_EQ(d.result, TInflateResult::Done);
    EXPECT_EQ(d.out, s.out);
}

// ---- Cut and damaged streams ------------------------------------------------

// Dynamic, stored and fixed blocks in one stream of a few kilobytes. The stored
// part is random bytes, so stray zeros in the output show.
Bytes ThreeKindsOfBlocks(std::string& original) {
    const std::string& mixed = MixedData();
    const std::string parts[] = {mixed.substr(0, 3000), mixed.substr(200000, 1500),
                                 mixed.substr(100000, 2000)};
    z_stream z{};
    EXPECT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
    Bytes out(20000);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int levels[] = {6, 0, 6};
    const int strategies[] = {Z_DEFAULT_STRATEGY, Z_DEFAULT_STRATEGY, Z_FIXED};
    original.clear();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(deflateParams(&z, levels[i], strategies[i]), Z_OK);
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(parts[i].data()));
        z.avail_in = static_cast<uInt>(parts[i].size());
        EXPECT_EQ(deflate(&z, i == 2 ? Z_FINISH : Z_FULL_FLUSH), i == 2 ? Z_STREAM_END : Z_OK);
        original += parts[i];
    }
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

TEST(InflateDamage, EveryCutIsTruncatedWithAPrefixOfTheOutput) {
    std::string original;
    const Bytes packed = ThreeKindsOfBlocks(original);
    ASSERT_EQ(Inflate(packed).out, original);
    for (size_t cut = 0; cut < packed.size(); ++cut) {
        const Decoded d =
            Inflate(Bytes(packed.begin(), packed.begin() + static_cast<ptrdiff_t>(cut)), 64);
        ASSERT_EQ(d.result, TInflateResult::Truncated) << "cut at " << cut;
        ASSERT_EQ(original.compare(0, d.out.size(), d.out), 0) << "cut at " << cut;
    }
}

TEST(InflateDamage, EveryBitFlipEndsWithinBounds) {
    std::string original;
    Bytes packed = ThreeKindsOfBlocks(original);
    packed.resize(600); // the dynamic block's header and first symbols
    TInflater inflater;
    for (size_t bit = 0; bit < packed.size() * 8; ++bit) {
        packed[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
        const Decoded d = Inflate(inflater, packed, 97);
        // Each input bit yields at most one 258-byte match.
        ASSERT_LE(d.totalOut, packed.size() * 8 * 258) << "bit " << bit;
        packed[bit / 8] ^= static_cast<uint8_t>(1u << (bit % 8));
    }
}

} // namespace
