// Byte streams with 64-bit positions: the engine reads archives and writes output
// through these, so that a file, a memory block and a test's fault-injecting writer
// look the same to a decoder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

enum class SeekOrigin { Begin, Current, End };

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to n bytes; returns the count read, 0 at the end, -1 on a read error.
    virtual int64_t Read(void* buffer, int64_t n) = 0;
    // Writes up to n bytes; returns the count written (short on a full disk), -1 on error.
    virtual int64_t Write(const void* buffer, int64_t n) = 0;
    // Returns the new position, or -1 when the seek failed.
    virtual int64_t Seek(int64_t offset, SeekOrigin origin) = 0;
    virtual int64_t Size();
    int64_t Position() { return Seek(0, SeekOrigin::Current); }
    // Reads exactly n bytes at an absolute position; false when fewer were there.
    bool ReadAt(int64_t position, void* buffer, int64_t n);
};

enum class FileMode { Read, Create, ReadWrite };

// A host file. Open failures leave the stream closed (IsOpen() false) instead of throwing.
class TFileStream : public TStream {
public:
    TFileStream() = default;
    TFileStream(const std::string& path, FileMode mode) { Open(path, mode); }
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;

    bool Open(const std::string& path, FileMode mode);
    bool Close(); // false when the close reported an error (data not flushed)
    bool IsOpen() const { return fd_ >= 0; }
    const std::string& Path() const { return path_; }

    int64_t Read(void* buffer, int64_t n) override;
    int64_t Write(const void* buffer, int64_t n) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override;
    bool Truncate(int64_t size);

private:
    int fd_ = -1;
    std::string path_;
};

// A growable in-memory stream; also wraps a caller's bytes for reading.
class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
    TMemoryStream(const void* bytes, size_t n);

    int64_t Read(void* buffer, int64_t n) override;
    int64_t Write(const void* buffer, int64_t n) override;
    int64_t Seek(int64_t offset, SeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(data_.size()); }

    const std::vector<uint8_t>& Bytes() const { return data_; }
    void Clear() { data_.clear(), pos_ = 0; }

private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
};

} // namespace platform
