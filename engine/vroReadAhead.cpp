#include "engine/vroReadAhead.h"

#include <algorithm>
#include <cstring>

#include "platform/Stream.h"

namespace vro {

bool TReadAhead::Refill(int64_t pos) {
    window_.resize(kWindowSize);
    windowStart_ = pos;
    int64_t got = 0;
    if (stream_ && stream_->Seek(pos, platform::SeekOrigin::Begin) == pos)
        got = std::max<int64_t>(0, stream_->Read(window_.data(), kWindowSize));
    window_.resize(got);
    return got > 0;
}

int64_t TReadAhead::ReadSomeAt(int64_t pos, void* buffer, int64_t n) {
    if (pos < 0 || n <= 0 || !stream_) return 0;
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < n) {
        const int64_t at = pos + done;
        const bool inside =
            at >= windowStart_ && at < windowStart_ + static_cast<int64_t>(window_.size());
        if (!inside) {
            // Large reads go straight to the stream; small ones refill the window here.
            if (n - done >= kWindowSize) {
                if (stream_->Seek(at, platform::SeekOrigin::Begin) != at) break;
                const int64_t got = stream_->Read(out + done, n - done);
                if (got > 0) done += got;
                break;
            }
            if (!Refill(at)) break;
        }
        const int64_t offset = at - windowStart_;
        const int64_t take = std::min<int64_t>(n - done, window_.size() - offset);
        std::memcpy(out + done, window_.data() + offset, take);
        done += take;
    }
    return done;
}

} // namespace vro
