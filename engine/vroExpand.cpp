// Expanding: decoding ZIP methods 2 to 5 ("reducing" with compression factor 1
// to 4), as the ZIP application note describes them. Two layers: bytes are first
// coded with a follower set per preceding byte (a byte that often follows costs
// an index of up to 5 bits), and the decoded bytes then form a simple LZ77 code,
// where byte 144 (DLE) introduces a length and a distance into a 4 KiB history.
// The factor decides how the byte after DLE splits into length and distance bits.
//
// The follower sets hold at most 32 bytes, the largest set a 5-bit index reaches;
// a count above that cannot be stored and is rejected as damaged data, as is an
// index past the end of its set.
#include <array>
#include <memory>
#include <optional>

#include "engine/vroBitInput.h"
#include "engine/vroLegacyZip.h"
#include "engine/vroOutWindow.h"

namespace vro {
namespace {

constexpr int kMaxFollowers = 32;
constexpr int kFollowerCountBits = 6;
constexpr uint8_t kDle = 144;
// What a follower index past the end of its set reads as (beside kEndOfInput).
constexpr int32_t kIndexPastSet = -2;
// A match copies at least 3 bytes; the length field holds the rest.
constexpr uint32_t kMinMatch = 3;
// The farthest match: factor 4 gives the distance 4 high bits, (15 << 8) + 255 + 1.
constexpr uint32_t kHistorySize = 4096;
static_assert(kHistorySize <= TOutWindow::kMaxDistance, "the history fits the window");

// The index width for a set of count followers: enough bits to number them all.
int IndexBits(int count) {
    int bits = 1;
    while ((1 << bits) < count)
        ++bits;
    return bits;
}

struct TFollowerSet {
    std::array<uint8_t, kMaxFollowers> bytes{};
    int count = 0;
};

// The LZ77 layer, fed one byte at a time. Its states follow the byte after DLE:
// Literal (no DLE pending), AfterDle (the next byte is 0 for a literal 144, or
// the length-distance byte V), LengthExtension (the length field was all ones:
// the next byte adds to it), Distance (the next byte is the low distance byte).
class TExpansion {
public:
    TExpansion(TOutWindow& window, int factor)
        : window_(window), lengthMask_(0xFFu >> factor), distanceShift_(8 - factor) {}

    void Take(uint8_t byte) {
        switch (state_) {
        case TState::Literal:
            if (byte == kDle)
                state_ = TState::AfterDle;
            else
                window_.Put(byte);
            break;
        case TState::AfterDle: TakeLengthByte(byte); break;
        case TState::LengthExtension:
            length_ += byte;
            state_ = TState::Distance;
            break;
        case TState::Distance:
            window_.CopyMatch((lengthByte_ >> distanceShift_) * 256 + byte + 1,
                              length_ + kMinMatch);
            state_ = TState::Literal;
            break;
        }
    }

private:
    enum class TState : uint8_t { Literal, AfterDle, LengthExtension, Distance };

    void TakeLengthByte(uint8_t byte) {
        if (byte == 0) {
            window_.Put(kDle);
            state_ = TState::Literal;
            return;
        }
        lengthByte_ = byte;
        length_ = byte & lengthMask_;
        state_ = length_ == lengthMask_ ? TState::LengthExtension : TState::Distance;
    }

    TOutWindow& window_;
    const uint32_t lengthMask_; // 0x7F, 0x3F, 0x1F, 0x0F for factors 1 to 4
    const int distanceShift_;   // the high bits of V are the distance's high byte
    TState state_ = TState::Literal;
    uint32_t lengthByte_ = 0; // V, the byte after DLE
    uint32_t length_ = 0;     // the match length less kMinMatch
};

struct TExpander {
    TExpander(const TCodecInput& input, const TCodecOutput& output, int factor,
              uint64_t unpackedSize)
        : bits(input), window(output, unpackedSize), expansion(window, factor) {}

    TLegacyResult Run();
    std::optional<TLegacyResult> ReadFollowerSets();
    // The next byte of the follower layer, or the failure that ends decoding.
    std::optional<TLegacyResult> ReadByte(uint8_t& byte);
    int32_t ReadWithSet(const TFollowerSet& set);

    TLsbBitInput bits;
    TOutWindow window;
    TExpansion expansion;
    std::array<TFollowerSet, 256> followers{};
    uint8_t lastByte = 0;
};

TLegacyResult TExpander::Run() {
    if (window.Full()) return TLegacyResult::Done;
    if (const auto failure = ReadFollowerSets()) return *failure;
    while (!window.Full()) {
        if (window.Failed()) return TLegacyResult::OutputFailed;
        uint8_t byte = 0;
        if (const auto failure = ReadByte(byte)) return *failure;
        expansion.Take(byte);
    }
    return TLegacyResult::Done;
}

// One set per byte value, sent from 255 down to 0.
std::optional<TLegacyResult> TExpander::ReadFollowerSets() {
    for (int value = 255; value >= 0; --value) {
        TFollowerSet& set = followers[value];
        const int32_t count = bits.Read(kFollowerCountBits);
        if (count == TLsbBitInput::kEndOfInput) return TLegacyResult::Truncated;
        if (count > kMaxFollowers) return TLegacyResult::BadCode;
        set.count = count;
        for (int i = 0; i < count; ++i) {
            const int32_t follower = bits.Read(8);
            if (follower == TLsbBitInput::kEndOfInput) return TLegacyResult::Truncated;
            set.bytes[i] = static_cast<uint8_t>(follower);
        }
    }
    return std::nullopt;
}

// A byte with an empty follower set after it is sent whole.
std::optional<TLegacyResult> TExpander::ReadByte(uint8_t& byte) {
    const TFollowerSet& set = followers[lastByte];
    const int32_t value = set.count == 0 ? bits.Read(8) : ReadWithSet(set);
    if (value == kIndexPastSet) return TLegacyResult::BadCode;
    if (value == TLsbBitInput::kEndOfInput) return TLegacyResult::Truncated;
    byte = lastByte = static_cast<uint8_t>(value);
    return std::nullopt;
}

// With followers, a flag bit says whether the whole byte (1) or an index into
// the set (0) follows. Returns the byte, kEndOfInput or kIndexPastSet.
int32_t TExpander::ReadWithSet(const TFollowerSet& set) {
    const int32_t sentWhole = bits.Read(1);
    if (sentWhole != 0) return sentWhole == 1 ? bits.Read(8) : sentWhole;
    const int32_t index = bits.Read(IndexBits(set.count));
    if (index < 0) return index;
    return index < set.count ? set.bytes[index] : kIndexPastSet;
}

} // namespace

TLegacyResult Expand(const TCodecInput& input, const TCodecOutput& output, int factor,
                     uint64_t unpackedSize) {
    auto expander = std::make_unique<TExpander>(input, output, factor, unpackedSize);
    const TLegacyResult result = expander->Run();
    if (!expander->window.Flush() && result == TLegacyResult::Done)
        return TLegacyResult::OutputFailed;
    return result;
}

} // namespace vro
