// Guards the LZH-family decoders against wrong output from valid streams (single-
// symbol codes, the history before the first byte, overlapping matches) and
// against hostile streams: incomplete codes, cut input, more output than declared.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/vroLzh.h"

using namespace vro;

namespace {

// Packs fields most significant bit first, the order the decoders read.
class BitWriter {
public:
    BitWriter& Put(uint32_t value, int bits) {
        for (int i = bits - 1; i >= 0; --i) {
            current_ = static_cast<uint8_t>((current_ << 1) | ((value >> i) & 1));
            if (++used_ == 8) Flush();
        }
        return *this;
    }
    std::string Bytes() {
        std::string out = bytes_;
        if (used_ > 0) out += static_cast<char>(current_ << (8 - used_));
        return out;
    }

private:
    void Flush() {
        bytes_ += static_cast<char>(current_);
        current_ = 0;
        used_ = 0;
    }
    std::string bytes_;
    uint8_t current_ = 0;
    int used_ = 0;
};

struct Decoded {
    TLzhResult result;
    std::string output;
    std::vector<size_t> pieces;
};

enum class Method { Lh5, Lh7, ArjStatic, ArjFast, Dynamic };

Decoded DecodeWith(Method method, const std::string& packed, uint64_t unpacked) {
    size_t next = 0;
    const TCodecInput input = [&](uint8_t* buffer, size_t capacity) {
        const size_t n = std::min(capacity, packed.size() - next);
        std::copy_n(packed.data() + next, n, buffer);
        next += n;
        return n;
    };
    Decoded d{};
    const TCodecOutput output = [&](const uint8_t* data, size_t size) {
        d.output.append(reinterpret_cast<const char*>(data), size);
        d.pieces.push_back(size);
        return true;
    };
    switch (method) {
    case Method::Lh5:
        d.result = DecodeStatic(input, output, kLh5Params, TLzhHistory::Blanks, unpacked);
        break;
    case Method::Lh7:
        d.result = DecodeStatic(input, output, kLh7Params, TLzhHistory::Blanks, unpacked);
        break;
    case Method::ArjStatic:
        d.result = DecodeStatic(input, output, kArjParams, TLzhHistory::Zeros, unpacked);
        break;
    case Method::ArjFast: d.result = DecodeArjFast(input, output, unpacked); break;
    case Method::Dynamic: d.result = DecodeDynamic(input, output, unpacked); break;
    }
    return d;
}

// One static block whose three codes are single symbols of no bits: every one
// of its blockSize symbols is `symbol`, every position code `position`.
std::string SingleSymbolBlock(uint32_t blockSize, uint32_t symbol, uint32_t position,
                              int positionCountBits) {
    return BitWriter()
        .Put(blockSize, 16)
        .Put(0, 5) // code-length code: one symbol
        .Put(0, 5)
        .Put(0, 9) // literal/length code: one symbol
        .Put(symbol, 9)
        .Put(0, positionCountBits) // position code: one symbol
        .Put(position, positionCountBits)
        .Bytes();
}

} // namespace

TEST(StaticDecoder, SingleSymbolCodesAndTheHistoryBeforeTheStream) {
    struct Row {
        const char* label;
        Method method;
        uint32_t symbol, position;
        std::string want;
    } rows[] = {
        {"literals", Method::Lh5, 'q', 0, "qqqqq"},
        // A match before any output copies the history: blanks for LHA...
        {"lha match into blank history", Method::Lh5, 256 + 1, 0, std::string(20, ' ')},
        // ...zeros for ARJ.
        {"arj match into zero history", Method::ArjStatic, 256 + 1, 3, std::string(20, '\0')},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        const int countBits = r.method == Method::Lh5 ? 4 : 5;
        const Decoded d = DecodeWith(
            r.method, SingleSymbolBlock(5, r.symbol, r.position, countBits), r.want.size());
        EXPECT_EQ(d.result, TLzhResult::Done);
        EXPECT_EQ(d.output, r.want);
    }
}

TEST(StaticDecoder, RejectsIncompleteCodesAndReportsCutStreams) {
    // Two code-length codes of length 1 and 2 leave a quarter of the code unused.
    const std::string incomplete =
        BitWriter().Put(10, 16).Put(2, 5).Put(1, 3).Put(2, 3).Bytes() + std::string(8, '\0');
    EXPECT_EQ(DecodeWith(Method::Lh5, incomplete, 100).result, TLzhResult::BadHuffmanCode);
    // A count above the symbols of the code.
    const std::string tooMany = BitWriter().Put(10, 16).Put(20, 5).Bytes() + std::string(8, '\0');
    EXPECT_EQ(DecodeWith(Method::Lh5, tooMany, 100).result, TLzhResult::BadHuffmanCode);
    // The block ends after 5 symbols and a block size of 0 follows: cut short.
    const Decoded cut =
        DecodeWith(Method::Lh5, SingleSymbolBlock(5, 'x', 0, 4) + std::string(4, '\0'), 50);
    EXPECT_EQ(cut.result, TLzhResult::Truncated);
    EXPECT_EQ(cut.output, "xxxxx");
}

TEST(ArjFastDecoder, LiteralsAndOverlappingMatches) {
    BitWriter w;
    w.Put(0, 1).Put('a', 8); // a length of 0 is a literal
    w.Put(0, 1).Put('b', 8);
    // Length value 1 ("1", then "0" ends the run, then 1 bit 0): 1 + 2 = 3 bytes;
    // distance 1 ("0", 9 bits of 1): two back, overlapping itself.
    w.Put(0b10, 2).Put(0, 1).Put(0, 1).Put(1, 9);
    const Decoded d = DecodeWith(Method::ArjFast, w.Bytes(), 5);
    EXPECT_EQ(d.result, TLzhResult::Done);
    EXPECT_EQ(d.output, "ababa");
}

// Whatever the bytes, every decoder ends, never passes more than the declared
// size, and hands out whole 32 KiB pieces but for the last.
TEST(AllDecoders, HostileBytesStayWithinTheDeclaredSize) {
    std::mt19937 random(12345);
    const Method methods[] = {Method::Lh5, Method::Lh7, Method::ArjStatic, Method::ArjFast,
                              Method::Dynamic};
    for (const Method m : methods) {
        for (int trial = 0; trial < 20; ++trial) {
            std::string packed(1 + random() % 3000, '\0');
            for (char& c : packed)
                c = static_cast<char>(random());
            // A valid block header first, so the hostile bytes reach the symbol decoding.
            if (trial % 2 == 0 && m != Method::ArjFast && m != Method::Dynamic)
                packed = SingleSymbolBlock(0xFFFF, 300, 0, 5) + packed;
            const uint64_t declared = 70000;
            const Decoded d = DecodeWith(m, packed, declared);
            ASSERT_LE(d.output.size(), declared);
            for (size_t i = 0; i + 1 < d.pieces.size(); ++i)
                ASSERT_EQ(d.pieces[i], kCodecWindowSize);
        }
    }
}
