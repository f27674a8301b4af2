// The output side of the LZ-family decoders: a ring of one codec window (32 KiB)
// that is at once the history that matches copy from and the buffer handed to the
// caller's sink. Each time the ring fills it goes to the sink whole, so every
// piece is exactly kCodecWindowSize bytes except the last, which Flush passes on.
// The output stops at a limit (an entry's declared size), so a hostile stream can
// never produce more than was announced; a match is clipped there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "engine/vroCodec.h"

namespace vro {

class TOutWindow {
public:
    // The farthest a match may reach back: the whole ring.
    static constexpr uint32_t kMaxDistance = kCodecWindowSize;

    // The sink is borrowed: it must outlive the window.
    TOutWindow(const TCodecOutput& output, uint64_t limit) : output_(output), limit_(limit) {}
    TOutWindow(const TOutWindow&) = delete;
    TOutWindow& operator=(const TOutWindow&) = delete;

    // The limit has been reached: nothing more may be put.
    bool Full() const { return produced_ == limit_; }
    // The sink refused a piece; nothing more reaches it.
    bool Failed() const { return failed_; }

    // Appends one byte; only while !Full().
    void Put(uint8_t byte) {
        ring_[position_++] = byte;
        ++produced_;
        if (position_ == ring_.size()) PassRing();
    }

    // Appends length bytes copied from distance (1 to kMaxDistance) bytes back,
    // byte by byte so that a match may overlap itself, and stops early at the
    // limit. Before the first byte of the stream the history reads as zeros.
    void CopyMatch(uint32_t distance, uint32_t length) {
        size_t from = (position_ - distance) & kRingMask;
        for (; length > 0 && !Full(); --length) {
            Put(ring_[from]);
            from = (from + 1) & kRingMask;
        }
    }

    // Hands the bytes not yet passed on to the sink: the last, short piece, so it
    // is called once, when decoding ends (also after a failure, so that the sink
    // holds everything decoded). Returns false when the sink refused this piece or
    // an earlier one.
    bool Flush() {
        if (!failed_ && position_ > passed_) Pass(passed_, position_);
        passed_ = position_;
        return !failed_;
    }

private:
    static_assert((kCodecWindowSize & (kCodecWindowSize - 1)) == 0,
                  "the ring is indexed with a mask");
    static constexpr size_t kRingMask = kCodecWindowSize - 1;

    // The ring is full: it goes to the sink whole and is reused from its start,
    // still holding the history.
    void PassRing() {
        if (!failed_) Pass(passed_, ring_.size());
        position_ = 0;
        passed_ = 0;
    }

    void Pass(size_t from, size_t to) { failed_ = !output_(ring_.data() + from, to - from); }

    const TCodecOutput& output_;
    const uint64_t limit_;
    uint64_t produced_ = 0;
    // Invariant: ring_[passed_, position_) holds the bytes produced but not yet
    // passed on; position_ < kCodecWindowSize between calls.
    std::array<uint8_t, kCodecWindowSize> ring_{};
    size_t position_ = 0;
    size_t passed_ = 0;
    bool failed_ = false;
};

} // namespace vro
