#include "engine/vroLzw.h"

#include <vector>

#include "engine/vroBitInput.h"

namespace vro {

namespace {

constexpr int kFirstWidth = 9;
constexpr uint32_t kClearCode = 256;
constexpr uint32_t kTableSize = uint32_t{1} << kLzwMaxWidth;
constexpr uint8_t kBlockModeFlag = 0x80;
constexpr uint8_t kReservedFlags = 0x60;
constexpr uint8_t kWidthMask = 0x1F;
constexpr int kCodesPerGroup = 8;

// Collects decoded bytes and hands them to the sink a window at a time.
class TPieceOutput {
public:
    explicit TPieceOutput(const TCodecOutput& sink) : sink_(sink), piece_(kCodecWindowSize) {}

    bool Put(uint8_t byte) {
        piece_[used_++] = byte;
        return used_ < piece_.size() || Flush();
    }
    bool Flush() {
        const size_t n = used_;
        used_ = 0;
        return n == 0 || sink_(piece_.data(), n);
    }

private:
    const TCodecOutput& sink_;
    std::vector<uint8_t> piece_;
    size_t used_ = 0;
};

class TLzwDecoder {
public:
    TLzwDecoder(const TCodecInput& input, const TCodecOutput& output)
        : bits_(input), out_(output), prefix_(kTableSize), suffix_(kTableSize), stack_(kTableSize) {
    }

    TLzwResult Run();

private:
    int32_t ReadCode() {
        const int32_t code = bits_.Read(width_);
        if (code >= 0) codesInGroup_ = (codesInGroup_ + 1) % kCodesPerGroup;
        return code;
    }
    // The encoder pads the group of eight codes it was writing when the width
    // changed or the table was cleared; false when the input ends inside it.
    bool SkipRestOfGroup() {
        while (codesInGroup_ != 0)
            if (ReadCode() < 0) return false;
        return true;
    }
    void StartTable(uint32_t firstFree) {
        freeCode_ = firstFree;
        width_ = kFirstWidth;
        maxCode_ = (uint32_t{1} << kFirstWidth) - 1;
    }
    TLzwResult DecodeCode(uint32_t code);
    TLzwResult Finish(TLzwResult r) {
        return out_.Flush() || r != TLzwResult::Done ? r : TLzwResult::OutputFailed;
    }

    TLsbBitInput bits_;
    TPieceOutput out_;
    std::vector<uint16_t> prefix_;
    std::vector<uint8_t> suffix_;
    std::vector<uint8_t> stack_;
    int maxWidth_ = kLzwMaxWidth;
    int width_ = kFirstWidth;
    int codesInGroup_ = 0;
    uint32_t maxCode_ = 0, freeCode_ = 0, tableLimit_ = 0;
    uint32_t previous_ = 0;
    uint8_t firstByte_ = 0;
};

TLzwResult TLzwDecoder::Run() {
    const int32_t magic1 = bits_.Read(8), magic2 = bits_.Read(8), flags = bits_.Read(8);
    if (magic1 != 0x1F || magic2 != 0x9D || flags < 0) return TLzwResult::BadMagic;
    if (flags & kReservedFlags) return TLzwResult::ReservedFlags;
    maxWidth_ = flags & kWidthMask;
    if (maxWidth_ > kLzwMaxWidth) return TLzwResult::WidthTooLarge;
    const bool blockMode = flags & kBlockModeFlag;
    tableLimit_ = uint32_t{1} << maxWidth_;
    StartTable(blockMode ? kClearCode + 1 : kClearCode);

    const int32_t first = ReadCode();
    if (first < 0) return TLzwResult::Done;
    if (first > 0xFF) return TLzwResult::FirstNotLiteral;
    previous_ = static_cast<uint32_t>(first);
    firstByte_ = static_cast<uint8_t>(first);
    if (!out_.Put(firstByte_)) return TLzwResult::OutputFailed;

    for (;;) {
        if (freeCode_ > maxCode_) {
            if (!SkipRestOfGroup()) break;
            ++width_;
            maxCode_ = width_ == maxWidth_ ? tableLimit_ : (uint32_t{1} << width_) - 1;
        }
        const int32_t code = ReadCode();
        if (code < 0) break;
        if (blockMode && static_cast<uint32_t>(code) == kClearCode) {
            // Stale entries must not lead anywhere once the table starts over.
            std::fill(prefix_.begin(), prefix_.end(), uint16_t{0});
            if (!SkipRestOfGroup()) break;
            // The next code adds an unused entry at 256, so 257 is the first real one.
            StartTable(kClearCode);
            continue;
        }
        const TLzwResult r = DecodeCode(static_cast<uint32_t>(code));
        if (r != TLzwResult::Done) return Finish(r);
    }
    return Finish(TLzwResult::Done);
}

// Unwinds the code's string onto the stack (last byte first), writes it, and adds
// the entry "previous string + this string's first byte".
TLzwResult TLzwDecoder::DecodeCode(uint32_t code) {
    if (code > freeCode_) return TLzwResult::BadCode;
    const uint32_t incoming = code;
    size_t depth = 0;
    if (code == freeCode_) { // the string being defined: previous + its own first byte
        stack_[depth++] = firstByte_;
        code = previous_;
    }
    while (code > 0xFF) {
        if (depth == stack_.size() - 1) return TLzwResult::BadCode;
        stack_[depth++] = suffix_[code];
        code = prefix_[code];
    }
    firstByte_ = static_cast<uint8_t>(code);
    stack_[depth++] = firstByte_;
    while (depth > 0)
        if (!out_.Put(stack_[--depth])) return TLzwResult::OutputFailed;
    if (freeCode_ < tableLimit_) {
        prefix_[freeCode_] = static_cast<uint16_t>(previous_);
        suffix_[freeCode_] = firstByte_;
        ++freeCode_;
    }
    previous_ = incoming;
    return TLzwResult::Done;
}

} // namespace

TLzwResult DecompressLzw(const TCodecInput& input, const TCodecOutput& output) {
    TLzwDecoder decoder(input, output);
    return decoder.Run();
}

} // namespace vro
