// Byte streams over a POSIX file descriptor and over a memory block. Both keep the
// TStream contract: short counts instead of exceptions, -1 for a failed call, and
// 64-bit positions everywhere (archives and spans pass 4 GB).
#include "platform/Stream.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <limits>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

static_assert(sizeof(off_t) >= 8, "build with 64-bit file offsets (_FILE_OFFSET_BITS=64)");

namespace {

// One read() or write() call never asks for more than this, so the count fits the
// system's ssize_t result on every host and Linux's own per-call limit is respected.
constexpr int64_t kMaxChunk = int64_t{1} << 30;

int WhenceOf(SeekOrigin origin) {
    switch (origin) {
    case SeekOrigin::Begin: return SEEK_SET;
    case SeekOrigin::Current: return SEEK_CUR;
    case SeekOrigin::End: return SEEK_END;
    }
    return SEEK_SET;
}

int OpenFlagsOf(FileMode mode) {
    switch (mode) {
    case FileMode::Read: return O_RDONLY;
    case FileMode::Create: return O_RDWR | O_CREAT | O_TRUNC;
    case FileMode::ReadWrite: return O_RDWR;
    }
    return O_RDONLY;
}

// A write error that means "no room left": the caller sees a short count, as the
// desktop system reports a full disk, and decides itself whether to ask for another.
bool IsDiskFull(int error) {
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

} // namespace

// ---- TStream -----------------------------------------------------------------------

int64_t TStream::Size() {
    const int64_t here = Position();
    if (here < 0) return -1;
    const int64_t end = Seek(0, SeekOrigin::End);
    if (Seek(here, SeekOrigin::Begin) != here) return -1;
    return end;
}

bool TStream::ReadAt(int64_t position, void* buffer, int64_t n) {
    if (position < 0 || n < 0) return false;
    if (Seek(position, SeekOrigin::Begin) != position) return false;
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < n) {
        const int64_t got = Read(out + done, n - done);
        if (got <= 0) return false;
        done += got;
    }
    return true;
}

// ---- TFileStream -------------------------------------------------------------------

TFileStream::~TFileStream() {
    Close();
}

bool TFileStream::Open(const std::string& path, FileMode mode) {
    Close();
    path_ = path;
    do {
        fd_ = ::open(path.c_str(), OpenFlagsOf(mode) | O_CLOEXEC, 0644);
    } while (fd_ < 0 && errno == EINTR);
    return fd_ >= 0;
}

bool TFileStream::Close() {
    if (fd_ < 0) return true;
    // Linux releases the descriptor even when close() fails (EINTR included), so it
    // is never retried; the failure still tells the caller the data may be lost.
    const int result = ::close(fd_);
    fd_ = -1;
    return result == 0;
}

int64_t TFileStream::Read(void* buffer, int64_t n) {
    if (fd_ < 0 || n < 0) return -1;
    auto* out = static_cast<uint8_t*>(buffer);
    int64_t done = 0;
    while (done < n) {
        const ssize_t got = ::read(fd_, out + done, std::min(n - done, kMaxChunk));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return done > 0 ? done : -1;
        if (got == 0) break;
        done += got;
    }
    return done;
}

int64_t TFileStream::Write(const void* buffer, int64_t n) {
    if (fd_ < 0 || n < 0) return -1;
    const auto* in = static_cast<const uint8_t*>(buffer);
    int64_t done = 0;
    while (done < n) {
        const ssize_t put = ::write(fd_, in + done, std::min(n - done, kMaxChunk));
        if (put < 0 && errno == EINTR) continue;
        if (put < 0) return done > 0 || IsDiskFull(errno) ? done : -1;
        if (put == 0) break;
        done += put;
    }
    return done;
}

int64_t TFileStream::Seek(int64_t offset, SeekOrigin origin) {
    if (fd_ < 0) return -1;
    return ::lseek(fd_, offset, WhenceOf(origin));
}

int64_t TFileStream::Size() {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return -1;
    return st.st_size;
}

bool TFileStream::Truncate(int64_t size) {
    if (fd_ < 0 || size < 0) return false;
    int result;
    do {
        result = ::ftruncate(fd_, size);
    } while (result != 0 && errno == EINTR);
    return result == 0;
}

// ---- TMemoryStream -----------------------------------------------------------------

TMemoryStream::TMemoryStream(const void* bytes, size_t n)
    : data_(static_cast<const uint8_t*>(bytes), static_cast<const uint8_t*>(bytes) + n) {}

int64_t TMemoryStream::Read(void* buffer, int64_t n) {
    if (n < 0) return -1;
    const int64_t size = Size();
    if (pos_ >= size) return 0;
    const int64_t count = std::min(n, size - pos_);
    std::memcpy(buffer, data_.data() + pos_, static_cast<size_t>(count));
    pos_ += count;
    return count;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t n) {
    if (n < 0) return -1;
    if (n == 0) return 0;
    if (n > std::numeric_limits<int64_t>::max() - pos_) return -1;
    const auto end = static_cast<uint64_t>(pos_ + n);
    if (end > data_.max_size()) return -1;
    if (end > data_.size()) {
        // A seek past the end leaves a gap; it reads back as zeros, like a sparse file.
        try {
            data_.resize(static_cast<size_t>(end));
        } catch (const std::bad_alloc&) {
            return -1;
        }
    }
    std::memcpy(data_.data() + pos_, buffer, static_cast<size_t>(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Seek(int64_t offset, SeekOrigin origin) {
    const int64_t base = origin == SeekOrigin::Begin     ? 0
                         : origin == SeekOrigin::Current ? pos_
                                                         : Size();
    if ((offset > 0 && base > std::numeric_limits<int64_t>::max() - offset) || base + offset < 0)
        return -1;
    pos_ = base + offset;
    return pos_;
}

} // namespace platform
