// Positioned reads through a read-ahead window over a stream. Directory walks read
// many small headers one after another; through the window that costs a few large
// reads instead of several system calls per header.
#pragma once

#include <cstdint>
#include <vector>

namespace platform {
class TStream;
}

namespace vro {

class TReadAhead {
public:
    static constexpr int64_t kWindowSize = 64 * 1024;

    void Attach(platform::TStream* stream) { stream_ = stream, Drop(); }
    // Forgets what was read ahead (the stream was reopened or written to).
    void Drop() { window_.clear(), windowStart_ = 0; }

    // Reads up to n bytes at pos; returns the count (0 at or past the end).
    int64_t ReadSomeAt(int64_t pos, void* buffer, int64_t n);
    bool ReadAt(int64_t pos, void* buffer, int64_t n) { return ReadSomeAt(pos, buffer, n) == n; }

private:
    bool Refill(int64_t pos);

    platform::TStream* stream_ = nullptr;
    std::vector<uint8_t> window_;
    int64_t windowStart_ = 0;
};

} // namespace vro
