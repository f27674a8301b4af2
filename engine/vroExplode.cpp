// Exploding: decoding ZIP method 6 ("imploding"), as the ZIP application note
// describes it. Imploded data is LZ77 over a 4 or 8 KiB history whose literals,
// lengths and high distance bits are coded with Shannon-Fano trees sent at the
// start of the entry: a literal tree (only when general-purpose flag bit 2 is
// set; otherwise literals are 8 raw bits), a length tree and a distance tree.
//
// The trees are sent as bit lengths only; the codes follow from the lengths by
// the note's construction, and each is inserted into a binary tree that the
// decoder walks one input bit per level. Trees are arrays of nodes built from
// the top of the array down, so an inner node always points to nodes below
// itself and a walk always ends; a code that collides with another, or runs out
// of nodes, makes the tree ambiguous, and so does a walk into an empty slot.
#include <array>
#include <memory>
#include <optional>

#include "engine/vroBitInput.h"
#include "engine/vroLegacyZip.h"
#include "engine/vroOutWindow.h"

namespace vro {
namespace {

constexpr uint16_t kBigHistoryFlag = 0x02;  // general-purpose bit 1: 8 KiB history
constexpr uint16_t kLiteralTreeFlag = 0x04; // general-purpose bit 2: three trees
constexpr int kLiteralValues = 256;
constexpr int kLengthValues = 64;
constexpr int kDistanceValues = 64;
// The longest code of a tree: bit lengths are sent as 4 bits plus one.
constexpr int kMaxCodeBits = 16;
// A length of 63 is followed by 8 raw bits that add to it.
constexpr int32_t kLengthEscape = kLengthValues - 1;
// The raw low bits of a distance; the distance tree gives the 6 high bits, so
// the farthest distance is 2^(6 + low bits) = 8 KiB or 4 KiB.
constexpr int kLowDistanceBitsBig = 7;
constexpr int kLowDistanceBitsSmall = 6;
static_assert((kDistanceValues << kLowDistanceBitsBig) <= TOutWindow::kMaxDistance,
              "the 8 KiB history fits the window");

// What a walk returns for an empty slot (beside kEndOfInput).
constexpr int32_t kEmptySlot = -2;

// A Shannon-Fano tree over values 0 to kValues - 1. Node i has two child slots
// (bit 0, bit 1); a slot holds a value (below kValues), an inner node (kValues
// and up), or is empty. The root is the last node; inner nodes are created
// below it, down to kValues, which is room for the kValues - 1 inner nodes of a
// complete tree.
template <int kValues> class TShannonFanoTree {
public:
    // Reads the tree's bit lengths (a byte count less one, then per byte: the
    // high 4 bits are a run length less one, the low 4 a bit length less one)
    // and builds it. The runs must name every value exactly once.
    std::optional<TLegacyResult> Read(TLsbBitInput& bits) {
        std::array<uint8_t, kValues> lengths{};
        const int32_t byteCount = bits.Read(8);
        if (byteCount == TLsbBitInput::kEndOfInput) return TLegacyResult::Truncated;
        int value = 0;
        for (int i = 0; i <= byteCount; ++i) {
            const int32_t run = bits.Read(8);
            if (run == TLsbBitInput::kEndOfInput) return TLegacyResult::Truncated;
            const int runLength = (run >> 4) + 1;
            if (value + runLength > kValues) return TLegacyResult::BadCode;
            for (int k = 0; k < runLength; ++k)
                lengths[value++] = static_cast<uint8_t>((run & 0x0F) + 1);
        }
        if (value != kValues) return TLegacyResult::BadCode;
        return Build(lengths);
    }

    // Walks from the root one bit per level; returns the value, kEndOfInput, or
    // kEmptySlot when the bits lead nowhere.
    int32_t Decode(TLsbBitInput& bits) const {
        int32_t node = kRoot;
        for (;;) {
            const int32_t bit = bits.Read(1);
            if (bit == TLsbBitInput::kEndOfInput) return bit;
            node = nodes_[node][bit];
            if (node == kEmpty) return kEmptySlot;
            if (node < kValues) return node;
        }
    }

private:
    static constexpr int kNodeCount = 2 * kValues;
    static constexpr int32_t kRoot = kNodeCount - 1;
    static constexpr int16_t kEmpty = -1;

    // The note's construction: sort by bit length, then value, both ascending;
    // going from the last entry to the first, the 16-bit code grows by the
    // increment before each entry, the increment being 2^(16 - bit length) of
    // the entry before; a code is the top bit-length bits. Over-subscribed
    // lengths wrap around and collide, which the insertion finds.
    std::optional<TLegacyResult> Build(const std::array<uint8_t, kValues>& lengths) {
        for (auto& node : nodes_)
            node = {kEmpty, kEmpty};
        nextInner_ = kRoot - 1;
        const std::array<uint16_t, kValues> sorted = SortByLength(lengths);
        uint16_t code = 0;
        uint16_t increment = 0;
        for (int i = kValues - 1; i >= 0; --i) {
            const int length = lengths[sorted[i]];
            code = static_cast<uint16_t>(code + increment);
            increment = static_cast<uint16_t>(1u << (kMaxCodeBits - length));
            if (!Insert(sorted[i], code >> (kMaxCodeBits - length), length))
                return TLegacyResult::AmbiguousTree;
        }
        return std::nullopt;
    }

    // Values in order of bit length, values of one length in ascending order.
    static std::array<uint16_t, kValues> SortByLength(const std::array<uint8_t, kValues>& lengths) {
        std::array<uint16_t, kValues> sorted{};
        int next = 0;
        for (int length = 1; length <= kMaxCodeBits; ++length)
            for (int value = 0; value < kValues; ++value)
                if (lengths[value] == length) sorted[next++] = static_cast<uint16_t>(value);
        return sorted;
    }

    // Inserts one code, its first bit at the root. False when the path runs
    // through a value, ends in a taken slot, or needs more inner nodes than the
    // array has.
    bool Insert(int value, uint32_t code, int length) {
        int32_t node = kRoot;
        for (int level = length - 1; level > 0; --level) {
            int16_t& slot = nodes_[node][(code >> level) & 1];
            if (slot == kEmpty) {
                if (nextInner_ < kValues) return false;
                slot = static_cast<int16_t>(nextInner_--);
            } else if (slot < kValues) {
                return false;
            }
            node = slot;
        }
        int16_t& leaf = nodes_[node][code & 1];
        if (leaf != kEmpty) return false;
        leaf = static_cast<int16_t>(value);
        return true;
    }

    std::array<std::array<int16_t, 2>, kNodeCount> nodes_{};
    int32_t nextInner_ = 0;
};

struct TExploder {
    TExploder(const TCodecInput& input, const TCodecOutput& output, uint16_t flags,
              uint64_t unpackedSize)
        : bits(input), window(output, unpackedSize),
          hasLiteralTree((flags & kLiteralTreeFlag) != 0),
          lowDistanceBits((flags & kBigHistoryFlag) != 0 ? kLowDistanceBitsBig
                                                         : kLowDistanceBitsSmall),
          // The shortest match is one byte longer when literals are coded too.
          minMatch(hasLiteralTree ? 3 : 2) {}

    TLegacyResult Run();
    std::optional<TLegacyResult> ReadTrees();
    std::optional<TLegacyResult> DecodeLiteral();
    std::optional<TLegacyResult> DecodeMatch();

    TLsbBitInput bits;
    TOutWindow window;
    const bool hasLiteralTree;
    const int lowDistanceBits;
    const uint32_t minMatch;
    TShannonFanoTree<kLiteralValues> literalTree;
    TShannonFanoTree<kLengthValues> lengthTree;
    TShannonFanoTree<kDistanceValues> distanceTree;
};

// Turns what a read or a walk returned into the failure it means, if any.
std::optional<TLegacyResult> FailureOf(int32_t value) {
    if (value == TLsbBitInput::kEndOfInput) return TLegacyResult::Truncated;
    if (value == kEmptySlot) return TLegacyResult::AmbiguousTree;
    return std::nullopt;
}

TLegacyResult TExploder::Run() {
    if (window.Full()) return TLegacyResult::Done;
    if (const auto failure = ReadTrees()) return *failure;
    while (!window.Full()) {
        if (window.Failed()) return TLegacyResult::OutputFailed;
        const int32_t isLiteral = bits.Read(1);
        if (const auto failure = FailureOf(isLiteral)) return *failure;
        const auto failure = isLiteral == 1 ? DecodeLiteral() : DecodeMatch();
        if (failure) return *failure;
    }
    return TLegacyResult::Done;
}

// The trees come in the order literal (when present), length, distance.
std::optional<TLegacyResult> TExploder::ReadTrees() {
    if (hasLiteralTree)
        if (const auto failure = literalTree.Read(bits)) return failure;
    if (const auto failure = lengthTree.Read(bits)) return failure;
    return distanceTree.Read(bits);
}

std::optional<TLegacyResult> TExploder::DecodeLiteral() {
    const int32_t literal = hasLiteralTree ? literalTree.Decode(bits) : bits.Read(8);
    if (const auto failure = FailureOf(literal)) return failure;
    window.Put(static_cast<uint8_t>(literal));
    return std::nullopt;
}

// A match: the distance's low bits raw, its high bits from the distance tree,
// then the length from the length tree (with 8 raw bits more after the escape).
std::optional<TLegacyResult> TExploder::DecodeMatch() {
    const int32_t low = bits.Read(lowDistanceBits);
    if (const auto failure = FailureOf(low)) return failure;
    const int32_t high = distanceTree.Decode(bits);
    if (const auto failure = FailureOf(high)) return failure;
    int32_t length = lengthTree.Decode(bits);
    if (const auto failure = FailureOf(length)) return failure;
    if (length == kLengthEscape) {
        const int32_t extra = bits.Read(8);
        if (const auto failure = FailureOf(extra)) return failure;
        length += extra;
    }
    const auto distance = static_cast<uint32_t>((high << lowDistanceBits) | low) + 1;
    window.CopyMatch(distance, static_cast<uint32_t>(length) + minMatch);
    return std::nullopt;
}

} // namespace

TLegacyResult Explode(const TCodecInput& input, const TCodecOutput& output, uint16_t flags,
                      uint64_t unpackedSize) {
    auto exploder = std::make_unique<TExploder>(input, output, flags, unpackedSize);
    const TLegacyResult result = exploder->Run();
    if (!exploder->window.Flush() && result == TLegacyResult::Done)
        return TLegacyResult::OutputFailed;
    return result;
}

} // namespace vro
