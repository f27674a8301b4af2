// Guards against errors where streams owe short counts, zero-filled gaps and 64-bit positions.
#include "platform/Stream.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>

#include "support/TempDir.h"

using platform::FileMode;
using platform::SeekOrigin;
using platform::TFileStream;
using platform::TMemoryStream;
using platform::TStream;

namespace {

std::string ReadAll(TStream& stream) {
    std::string out;
    char chunk[3]; // small pieces, to cross every boundary
    for (int64_t got; (got = stream.Read(chunk, sizeof chunk)) > 0;)
        out.append(chunk, got);
    return out;
}

// A stream that keeps TStream's own Size(), which must seek to the end and back.
class SizeFromSeekStream : public TStream {
public:
    explicit SizeFromSeekStream(std::string bytes) : inner_(bytes.data(), bytes.size()) {}
    int64_t Read(void* b, int64_t n) override { return inner_.Read(b, n); }
    int64_t Write(const void* b, int64_t n) override { return inner_.Write(b, n); }
    int64_t Seek(int64_t o, SeekOrigin origin) override { return inner_.Seek(o, origin); }

private:
    TMemoryStream inner_;
};

} // namespace

TEST(MemoryStream, WritePastTheEndGrowsAndLeavesZerosInTheGap) {
    TMemoryStream stream;
    EXPECT_EQ(stream.Write("abc", 3), 3);
    EXPECT_EQ(stream.Seek(6, SeekOrigin::Begin), 6);
    EXPECT_EQ(stream.Size(), 3); // a seek alone does not grow the stream
    EXPECT_EQ(stream.Write("xy", 2), 2);
    EXPECT_EQ(stream.Size(), 8);
    EXPECT_EQ(stream.Seek(0, SeekOrigin::Begin), 0);
    EXPECT_EQ(ReadAll(stream), std::string("abc\0\0\0xy", 8));
}

TEST(MemoryStream, SeeksFollowTheirOriginAndRefuseNegativePositions) {
    TMemoryStream stream(std::vector<uint8_t>{1, 2, 3, 4, 5});
    EXPECT_EQ(stream.Seek(-2, SeekOrigin::End), 3);
    EXPECT_EQ(stream.Seek(1, SeekOrigin::Current), 4);
    EXPECT_EQ(stream.Seek(-5, SeekOrigin::Current), -1);
    EXPECT_EQ(stream.Position(), 4); // a failed seek leaves the position alone
    EXPECT_EQ(stream.Seek(-6, SeekOrigin::End), -1);
    EXPECT_EQ(stream.Seek(INT64_MAX, SeekOrigin::Current), -1); // would overflow

    char byte = 0;
    EXPECT_EQ(stream.Seek(100, SeekOrigin::Begin), 100);
    EXPECT_EQ(stream.Read(&byte, 1), 0); // past the end: nothing, not an error
    EXPECT_EQ(stream.Read(&byte, -1), -1);
}

TEST(MemoryStream, ReadAtNeedsEveryByte) {
    TMemoryStream stream("0123456789", 10);
    char buf[4] = {};
    EXPECT_TRUE(stream.ReadAt(6, buf, 4));
    EXPECT_EQ(std::string(buf, 4), "6789");
    EXPECT_FALSE(stream.ReadAt(7, buf, 4)); // only three bytes there
    EXPECT_FALSE(stream.ReadAt(-1, buf, 1));
    EXPECT_TRUE(stream.ReadAt(10, buf, 0));
}

TEST(Stream, DefaultSizeSeeksToTheEndAndBack) {
    SizeFromSeekStream stream("hello world");
    ASSERT_EQ(stream.Seek(4, SeekOrigin::Begin), 4);
    EXPECT_EQ(stream.Size(), 11);
    EXPECT_EQ(stream.Position(), 4);
}

TEST(FileStream, ModesCreateTruncateAndRefuseAsTheySay) {
    testing_support::TempDir dir;
    const std::string path = dir / "f.bin";

    EXPECT_FALSE(TFileStream(path, FileMode::ReadWrite).IsOpen()); // never creates
    EXPECT_FALSE(TFileStream(path, FileMode::Read).IsOpen());
    {
        TFileStream out(path, FileMode::Create);
        ASSERT_TRUE(out.IsOpen());
        EXPECT_EQ(out.Write("first version", 13), 13);
        EXPECT_TRUE(out.Close());
        EXPECT_EQ(out.Read(nullptr, 0), -1); // closed
    }
    {
        TFileStream out(path, FileMode::Create); // truncates what was there
        EXPECT_EQ(out.Size(), 0);
        EXPECT_EQ(out.Write("second", 6), 6);
    }
    TFileStream in(path, FileMode::Read);
    ASSERT_TRUE(in.IsOpen());
    EXPECT_EQ(in.Path(), path);
    EXPECT_EQ(in.Write("x", 1), -1); // opened read-only
    EXPECT_EQ(ReadAll(in), "second");
    EXPECT_EQ(std::filesystem::status(path).permissions() & std::filesystem::perms::owner_write,
              std::filesystem::perms::owner_write);
}

TEST(FileStream, ReadWriteKeepsTheContentAndTruncateCuts) {
    testing_support::TempDir dir;
    const std::string path = dir.Write("f.bin", "0123456789");
    TFileStream file(path, FileMode::ReadWrite);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.Seek(-3, SeekOrigin::End), 7);
    EXPECT_EQ(file.Write("ab", 2), 2);
    EXPECT_TRUE(file.Truncate(8));
    EXPECT_EQ(file.Size(), 8);
    EXPECT_EQ(file.Seek(0, SeekOrigin::Begin), 0);
    EXPECT_EQ(ReadAll(file), "0123456a");
    EXPECT_EQ(file.Seek(-1, SeekOrigin::Begin), -1);
}

TEST(FileStream, PositionsPastFourGigabytes) {
    testing_support::TempDir dir;
    TFileStream file(dir / "sparse.bin", FileMode::Create);
    const int64_t far = (int64_t{5} << 30) + 17; // sparse: no blocks are written
    ASSERT_TRUE(file.Truncate(far + 1));
    EXPECT_EQ(file.Size(), far + 1);
    EXPECT_EQ(file.Seek(far, SeekOrigin::Begin), far);
    EXPECT_EQ(file.Write("z", 1), 1);
    char byte = 0;
    EXPECT_TRUE(file.ReadAt(far, &byte, 1));
    EXPECT_EQ(byte, 'z');
    EXPECT_EQ(file.Seek(0, SeekOrigin::End), far + 1);
}

TEST(FileStream, FullDiskGivesAShortCountNotAnError) {
    TFileStream full("/dev/full", FileMode::ReadWrite);
    if (!full.IsOpen()) GTEST_SKIP() << "/dev/full is not available";
    EXPECT_EQ(full.Write("data", 4), 0);
}
