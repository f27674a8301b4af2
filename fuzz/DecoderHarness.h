// What every decoder fuzz target needs: an input that hands out the fuzzer's bytes,
// and a sink that aborts on a broken output contract (an empty piece, a short
// piece before the last, or more output than was declared).
#pragma once

#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "engine/vroCodec.h"

namespace fuzzing {

class TDecoderHarness {
public:
    TDecoderHarness(const uint8_t* data, size_t size, uint64_t declaredSize)
        : data_(data), size_(size), declared_(declaredSize) {}

    vro::TCodecInput Input() {
        return [this](uint8_t* buffer, size_t capacity) {
            const size_t n = capacity < size_ - next_ ? capacity : size_ - next_;
            std::memcpy(buffer, data_ + next_, n);
            next_ += n;
            return n;
        };
    }

    vro::TCodecOutput Output() {
        return [this](const uint8_t*, size_t pieceSize) {
            if (shortPieceSeen_ || pieceSize == 0 || pieceSize > vro::kCodecWindowSize)
                std::abort();
            shortPieceSeen_ = pieceSize < vro::kCodecWindowSize;
            produced_ += pieceSize;
            if (produced_ > declared_) std::abort();
            return true;
        };
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t next_ = 0;
    uint64_t declared_;
    uint64_t produced_ = 0;
    bool shortPieceSeen_ = false;
};

} // namespace fuzzing
