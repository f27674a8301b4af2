// The LZH-family decoders. All three share the history ring below and the
// most-significant-bit-first input; they differ in how they code literals,
// lengths and distances. A match copies from distance bytes back in the ring; the
// ring (64 KiB) is larger than any distance the codes can express, so no input can
// make a copy reach outside it.
#include "engine/vroLzh.h"

#include <array>
#include <vector>

#include "engine/vroCanonicalHuffman.h"
#include "engine/vroMsbBitInput.h"

namespace vro {

namespace {

// Bits taken past the input's end beyond which a stream is known to be cut (a
// decoder may look 16 bits ahead at the very end of a sound stream).
constexpr uint64_t kMaxBitsPastEnd = 16;

// The decoders' history and output buffer: 64 KiB, handed to the sink in 32 KiB
// pieces, stopping at the declared size.
class TLzhWindow {
public:
    TLzhWindow(const TCodecOutput& output, uint64_t limit, uint8_t fill)
        : output_(output), limit_(limit), ring_(kRingSize, fill) {}

    bool Full() const { return produced_ >= limit_ || failed_; }
    bool Failed() const { return failed_; }

    void Put(uint8_t byte) {
        ring_[position_] = byte;
        position_ = (position_ + 1) & kRingMask;
        ++produced_;
        if (++pending_ == kCodecWindowSize) Pass();
    }

    // distance: 1 to kRingSize; the copy may overlap itself.
    void CopyMatch(uint32_t distance, uint32_t length) {
        size_t from = (position_ - distance) & kRingMask;
        for (; length > 0 && !Full(); --length) {
            Put(ring_[from]);
            from = (from + 1) & kRingMask;
        }
    }

    // Passes the last, short piece; false when the sink refused any piece.
    bool Flush() {
        if (pending_ > 0 && !failed_) Pass();
        return !failed_;
    }

private:
    static constexpr size_t kRingSize = 65536;
    static constexpr size_t kRingMask = kRingSize - 1;
    static_assert(kRingSize % kCodecWindowSize == 0, "pieces never wrap around the ring");

    void Pass() {
        const size_t start = (position_ - pending_) & kRingMask;
        if (!failed_) failed_ = !output_(ring_.data() + start, pending_);
        pending_ = 0;
    }

    const TCodecOutput& output_;
    const uint64_t limit_;
    uint64_t produced_ = 0;
    std::vector<uint8_t> ring_;
    size_t position_ = 0;
    size_t pending_ = 0; // bytes before position_ not yet passed on
    bool failed_ = false;
};

TLzhResult Finish(TLzhWindow& window, bool cut) {
    if (!window.Flush()) return TLzhResult::OutputFailed;
    return cut ? TLzhResult::Truncated : TLzhResult::Done;
}

// ---------------------------------------------------------------------------
// Static Huffman blocks

constexpr int kLiteralLengthCodes = 510; // 256 literals, lengths 3 to 256
constexpr int kLiteralCountBits = 9;
constexpr int kCodeLengthCodes = 19;
constexpr int kCodeLengthCountBits = 5;
constexpr int kZeroRunAfter = 3; // the code-length code lengths' 2-bit zero run
constexpr int kLiteralTableBits = 12, kSmallTableBits = 8;
constexpr int kMinMatch = 3;

class TStaticDecoder {
public:
    TStaticDecoder(const TCodecInput& input, TLzhWindow& window, const TLzhStaticParams& params)
        : in_(input), window_(window), params_(params) {}

    TLzhResult Run() {
        while (!window_.Full()) {
            if (blockLeft_ == 0) {
                blockLeft_ = in_.Read(16);
                if (blockLeft_ == 0) return Finish(window_, true);
                if (!ReadTables()) return TLzhResult::BadHuffmanCode;
            }
            --blockLeft_;
            DecodeOne();
            if (in_.BitsPastEnd() > kMaxBitsPastEnd) return Finish(window_, true);
        }
        return Finish(window_, false);
    }

private:
    void DecodeOne() {
        const int symbol = literals_.Decode(in_);
        if (symbol < 256) return window_.Put(static_cast<uint8_t>(symbol));
        const int p = positions_.Decode(in_);
        const uint32_t distance = p == 0 ? 0 : (uint32_t{1} << (p - 1)) + in_.Read(p - 1);
        window_.CopyMatch(distance + 1, static_cast<uint32_t>(symbol - 256 + kMinMatch));
    }

    bool ReadTables() {
        return ReadSmallCode(kCodeLengthCodes, kCodeLengthCountBits, kZeroRunAfter, codeLengths_) &&
               ReadLiteralCode() &&
               ReadSmallCode(params_.PositionCodes, params_.PositionCountBits, -1, positions_);
    }

    // A count, then each length in 3 bits (7 continues in unary); after the
    // zeroRunAfter-th length a 2-bit count of zero lengths. A count of 0 gives a
    // single symbol whose value follows.
    bool ReadSmallCode(int symbols, int countBits, int zeroRunAfter, TCanonicalHuffman& code) {
        const int count = static_cast<int>(in_.Read(countBits));
        if (count == 0) return Single(static_cast<int>(in_.Read(countBits)), symbols, code);
        if (count > symbols) return false;
        std::array<uint8_t, kCodeLengthCodes> lengths{};
        for (int i = 0; i < count;) {
            int length = static_cast<int>(in_.Read(3));
            if (length == 7)
                while (in_.Read(1))
                    if (++length > TCanonicalHuffman::kMaxLength) return false;
            lengths[i++] = static_cast<uint8_t>(length);
            if (i == zeroRunAfter)
                for (int zeros = static_cast<int>(in_.Read(2)); zeros > 0 && i < symbols; --zeros)
                    lengths[i++] = 0;
        }
        return code.Build(lengths.data(), symbols, kSmallTableBits);
    }

    bool ReadLiteralCode() {
        const int count = static_cast<int>(in_.Read(kLiteralCountBits));
        if (count == 0)
            return Single(static_cast<int>(in_.Read(kLiteralCountBits)), kLiteralLengthCodes,
                          literals_);
        if (count > kLiteralLengthCodes) return false;
        std::array<uint8_t, kLiteralLengthCodes> lengths{};
        for (int i = 0; i < count;) {
            const int c = codeLengths_.Decode(in_);
            if (c > 2) {
                lengths[i++] = static_cast<uint8_t>(c - 2);
                continue;
            }
            const int zeros = c == 0   ? 1
                              : c == 1 ? static_cast<int>(in_.Read(4)) + 3
                                       : static_cast<int>(in_.Read(9)) + 20;
            if (i + zeros > kLiteralLengthCodes) return false;
            i += zeros; // the lengths are zero already
        }
        return literals_.Build(lengths.data(), kLiteralLengthCodes, kLiteralTableBits);
    }

    static bool Single(int symbol, int symbols, TCanonicalHuffman& code) {
        if (symbol >= symbols) return false;
        code.BuildSingle(symbol);
        return true;
    }

    TMsbBitInput in_;
    TLzhWindow& window_;
    const TLzhStaticParams params_;
    uint32_t blockLeft_ = 0;
    TCanonicalHuffman codeLengths_, literals_, positions_;
};

// ---------------------------------------------------------------------------
// Adaptive Huffman (-lh1-)

constexpr int kMaxMatch = 60;
constexpr int kSymbols = 256 + kMaxMatch - 2; // literals, then lengths 3 to 60
constexpr int kNodes = 2 * kSymbols - 1;
constexpr int kRoot = kNodes - 1;
constexpr uint16_t kRebuildAt = 0x8000;

// The fixed code of a position's upper 6 bits, as code lengths of positions
// 0-63 (canonical, shortest first).
constexpr std::array<std::pair<int, int>, 6> kPositionLengthRuns{
    {{1, 3}, {3, 4}, {8, 5}, {12, 6}, {24, 7}, {16, 8}}};

class TDynamicDecoder {
public:
    TDynamicDecoder(const TCodecInput& input, TLzhWindow& window) : in_(input), window_(window) {
        StartTree();
        BuildPositionTable();
    }

    TLzhResult Run() {
        while (!window_.Full()) {
            const int symbol = DecodeSymbol();
            if (symbol < 256)
                window_.Put(static_cast<uint8_t>(symbol));
            else
                window_.CopyMatch(DecodePosition() + 1, static_cast<uint32_t>(symbol - 253));
            if (in_.BitsPastEnd() > kMaxBitsPastEnd) return Finish(window_, true);
        }
        return Finish(window_, false);
    }

private:
    // Leaves are nodes kNodes + symbol in parent_; every inner node has two
    // children, son_[n] and son_[n] + 1. freq_[kNodes] is a sentinel above any count.
    void StartTree() {
        for (int i = 0; i < kSymbols; ++i) {
            freq_[i] = 1;
            son_[i] = i + kNodes;
            parent_[i + kNodes] = i;
        }
        for (int i = 0, j = kSymbols; j <= kRoot; i += 2, ++j) {
            freq_[j] = freq_[i] + freq_[i + 1];
            son_[j] = i;
            parent_[i] = parent_[i + 1] = j;
        }
        freq_[kNodes] = 0xFFFF;
        parent_[kRoot] = 0;
    }

    void BuildPositionTable() {
        int position = 0, index = 0;
        for (const auto& [count, length] : kPositionLengthRuns)
            for (int k = 0; k < count; ++k, ++position)
                for (int span = 1 << (8 - length); span > 0; --span, ++index) {
                    positionHigh_[index] = static_cast<uint8_t>(position);
                    positionLength_[index] = static_cast<uint8_t>(length);
                }
    }

    int DecodeSymbol() {
        int node = son_[kRoot];
        while (node < kNodes)
            node = son_[node + static_cast<int>(in_.Read(1))];
        const int symbol = node - kNodes;
        Update(symbol);
        return symbol;
    }

    uint32_t DecodePosition() {
        uint32_t first = in_.Read(8);
        const int extra = positionLength_[first] - 2;
        first = (first << extra) | in_.Read(extra);
        return (uint32_t{positionHigh_[first >> extra]} << 6) | (first & 0x3F);
    }

    // Halves the counts and rebuilds the tree in count order.
    void Rebuild() {
        int j = 0;
        for (int i = 0; i < kNodes; ++i)
            if (son_[i] >= kNodes) {
                freq_[j] = static_cast<uint16_t>((freq_[i] + 1) / 2);
                son_[j] = son_[i];
                ++j;
            }
        for (int i = 0, j2 = kSymbols; j2 < kNodes; i += 2, ++j2) {
            const uint16_t f = static_cast<uint16_t>(freq_[i] + freq_[i + 1]);
            int k = j2 - 1;
            while (k >= 0 && f < freq_[k])
                --k;
            ++k;
            for (int m = j2; m > k; --m) {
                freq_[m] = freq_[m - 1];
                son_[m] = son_[m - 1];
            }
            freq_[k] = f;
            son_[k] = i;
        }
        for (int i = 0; i < kNodes; ++i) {
            const int k = son_[i];
            parent_[k] = i;
            if (k < kNodes) parent_[k + 1] = i;
        }
    }

    // Counts the symbol once more and keeps the nodes in count order by swapping
    // a node that outgrew its right neighbours with the last of them.
    void Update(int symbol) {
        if (freq_[kRoot] == kRebuildAt) Rebuild();
        int c = parent_[symbol + kNodes];
        do {
            const uint16_t k = ++freq_[c];
            int l = c + 1;
            if (k > freq_[l]) {
                while (k > freq_[++l]) {}
                --l;
                freq_[c] = freq_[l];
                freq_[l] = k;
                const int i = son_[c];
                parent_[i] = l;
                if (i < kNodes) parent_[i + 1] = l;
                const int j = son_[l];
                son_[l] = i;
                parent_[j] = c;
                if (j < kNodes) parent_[j + 1] = c;
                son_[c] = j;
                c = l;
            }
            c = parent_[c];
        } while (c != 0);
    }

    TMsbBitInput in_;
    TLzhWindow& window_;
    std::array<uint16_t, kNodes + 1> freq_{};
    std::array<int, kNodes> son_{};
    std::array<int, kNodes + kSymbols> parent_{};
    std::array<uint8_t, 256> positionHigh_{}, positionLength_{};
};

// ---------------------------------------------------------------------------
// ARJ method 4

// A value coded as a run of up to maxRun 1 bits (a 0 bit ends it earlier), then
// firstWidth + run bits added to the sizes of the ranges skipped.
uint32_t ReadUnaryPrefixed(TMsbBitInput& in, int firstWidth, int maxRun) {
    uint32_t base = 0;
    int width = firstWidth;
    for (; width < firstWidth + maxRun && in.Read(1); ++width)
        base += uint32_t{1} << width;
    return base + in.Read(width);
}

} // namespace

TLzhResult DecodeStatic(const TCodecInput& input, const TCodecOutput& output,
                        const TLzhStaticParams& params, TLzhHistory history,
                        uint64_t unpackedSize) {
    TLzhWindow window(output, unpackedSize, history == TLzhHistory::Blanks ? ' ' : 0);
    return TStaticDecoder(input, window, params).Run();
}

TLzhResult DecodeDynamic(const TCodecInput& input, const TCodecOutput& output,
                         uint64_t unpackedSize) {
    TLzhWindow window(output, unpackedSize, ' ');
    return TDynamicDecoder(input, window).Run();
}

TLzhResult DecodeArjFast(const TCodecInput& input, const TCodecOutput& output,
                         uint64_t unpackedSize) {
    constexpr int kLengthRun = 7, kDistanceFirstWidth = 9, kDistanceRun = 4;
    TLzhWindow window(output, unpackedSize, 0);
    TMsbBitInput in(input);
    while (!window.Full()) {
        const uint32_t length = ReadUnaryPrefixed(in, 0, kLengthRun);
        if (length == 0) {
            window.Put(static_cast<uint8_t>(in.Read(8)));
        } else {
            const uint32_t distance = ReadUnaryPrefixed(in, kDistanceFirstWidth, kDistanceRun);
            window.CopyMatch(distance + 1, length + 2);
        }
        if (in.BitsPastEnd() > kMaxBitsPastEnd) return Finish(window, true);
    }
    return Finish(window, false);
}

} // namespace vro
