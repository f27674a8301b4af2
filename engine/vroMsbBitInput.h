// Most-significant-bit-first bit input over a pull callback, the bit order of the
// LHA and ARJ streams: the first bit of a byte is its bit 7, and a field of several
// bits holds its first bit as its most significant one. Past the end of the input
// the reader yields zero bits, as those decoders expect for their last lookahead,
// and counts them, so a decoder can tell a stream that ran dry from one that ended.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/vroCodec.h"

namespace vro {

class TMsbBitInput {
public:
    // The widest field one Peek or Read takes.
    static constexpr int kMaxBits = 24;

    // The callback is borrowed: it must outlive the reader.
    explicit TMsbBitInput(const TCodecInput& input) : input_(input) {}
    TMsbBitInput(const TMsbBitInput&) = delete;
    TMsbBitInput& operator=(const TMsbBitInput&) = delete;

    // The next count bits (0 to kMaxBits) without taking them.
    uint32_t Peek(int count) {
        Fill(count);
        if (count == 0) return 0;
        return static_cast<uint32_t>(bits_ >> (bitCount_ - count)) & ((uint32_t{1} << count) - 1);
    }
    void Skip(int count) {
        Fill(count);
        bitCount_ -= count;
    }
    uint32_t Read(int count) {
        const uint32_t value = Peek(count);
        Skip(count);
        return value;
    }
    // How many zero bits were handed out after the input ended.
    uint64_t BitsPastEnd() const {
        return padding_ > static_cast<uint64_t>(bitCount_) ? padding_ - bitCount_ : 0;
    }

private:
    void Fill(int count) {
        while (bitCount_ < count) {
            bits_ = (bits_ << 8) | NextByte();
            bitCount_ += 8;
        }
    }

    uint8_t NextByte() {
        if (next_ == end_ && !ended_) {
            end_ = input_(buffer_.data(), buffer_.size());
            next_ = 0;
            ended_ = end_ == 0;
        }
        if (next_ < end_) return buffer_[next_++];
        padding_ += 8;
        return 0;
    }

    const TCodecInput& input_;
    // Invariant: buffer_[next_, end_) are the bytes pulled but not yet in bits_.
    std::array<uint8_t, 4096> buffer_{};
    size_t next_ = 0;
    size_t end_ = 0;
    bool ended_ = false;
    uint64_t padding_ = 0; // zero bits appended after the end, taken or not
    // Invariant: the low bitCount_ (< kMaxBits + 8) bits of bits_ are unread, the
    // next one highest.
    uint64_t bits_ = 0;
    int bitCount_ = 0;
};

} // namespace vro
