// Least-significant-bit-first bit input over a pull callback, the bit order of the
// ZIP methods (shrink, reduce, implode, deflate) and of the LZW-family streams:
// the first bit of a byte is its bit 0, and a field of several bits holds its
// first bit in bit 0 of the value. Bytes are pulled in blocks into a buffer the
// reader owns, so a decoder never touches the caller's memory and the callback is
// called once per block, not once per bit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/vroCodec.h"

namespace vro {

class TLsbBitInput {
public:
    // The widest field one Read takes: above every field of the formats above
    // (13-bit shrink codes, 8-bit raw bytes, 16-bit counts), and small enough that
    // the 64-bit bit buffer always has room for one more byte.
    static constexpr int kMaxReadBits = 24;
    // What Read returns when the input ends before all requested bits arrived.
    static constexpr int32_t kEndOfInput = -1;

    // The callback is borrowed: it must outlive the reader.
    explicit TLsbBitInput(const TCodecInput& input) : input_(input) {}
    TLsbBitInput(const TLsbBitInput&) = delete;
    TLsbBitInput& operator=(const TLsbBitInput&) = delete;

    // Returns the next count bits (0 to kMaxReadBits), or kEndOfInput. Once the
    // input has ended, every further read of one bit or more returns kEndOfInput.
    int32_t Read(int count) {
        while (bitCount_ < count)
            if (!PullByte()) return kEndOfInput;
        const auto value = static_cast<int32_t>(bits_ & ((uint64_t{1} << count) - 1));
        bits_ >>= count;
        bitCount_ -= count;
        return value;
    }

private:
    // Appends one byte above the bits held; false when the input has ended.
    bool PullByte() {
        if (next_ == end_) {
            if (ended_) return false;
            end_ = input_(buffer_.data(), buffer_.size());
            next_ = 0;
            if (end_ == 0) {
                ended_ = true;
                return false;
            }
        }
        bits_ |= uint64_t{buffer_[next_++]} << bitCount_;
        bitCount_ += 8;
        return true;
    }

    const TCodecInput& input_;
    // Invariant: buffer_[next_, end_) are the bytes pulled but not yet in bits_.
    std::array<uint8_t, 4096> buffer_{};
    size_t next_ = 0;
    size_t end_ = 0;
    bool ended_ = false;
    // Invariant: bits_ holds bitCount_ (< kMaxReadBits + 8) unread bits, the next in bit 0.
    uint64_t bits_ = 0;
    int bitCount_ = 0;
};

} // namespace vro
