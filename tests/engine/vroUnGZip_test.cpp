// Guards the GZIP-family extractor: every member of a multi-member file decoded
// and checked, damaged trailers and headers failing the entry, stored and derived
// names, compress (.Z) files, and compressed TARs unpacked into their members.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "engine/vroErrors.h"
#include "engine/vroUnGZip.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

namespace {

// Two members: "hello " stored as greeting.txt, then "world\n" without a name.
const std::string kTwoMembers(
    "\x1f\x8b\x08\x08\x00\x00\x00\x00\x00\x03\x67\x72\x65\x65\x74\x69\x6e\x67\x2e\x74\x78\x74\x00"
    "\xcb\x48\xcd\xc9\xc9\x57\x00\x00\xf6\xf9\x81\xed\x06\x00\x00\x00"
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03\x2b\xcf\x2f\xca\x49\xe1\x02\x00\xa8\x61\x38\xdd\x06"
    "\x00\x00\x00",
    66);
constexpr size_t kFirstMemberSize = 39;
// "abc" named h.txt, with a header CRC (flag bit 1).
const std::string kHeaderCrc("\x1f\x8b\x08\x0a\x00\x00\x00\x00\x00\x03\x68\x2e\x74\x78\x74\x00\xba"
                             "\x88\x4b\x4c\x4a\x06\x00\xc2\x41\x24\x35\x03\x00\x00\x00",
                             31);
// A TAR (GNU format) of d1/f1 = "one" and f2 = "two", gzipped.
const std::string kTgz(
    "\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xed\xd3\x31\x0a\x80\x30\x0c\x46\xe1\x1c\xa5\x37\xb0"
    "\xb1\xa1\x9e\x47\xd0\x8e\x16\xb4\xe2\xf5\x2d\xe2\xe4\x28\x28\x88\xef\x5b\x7e\xc8\x92\xe9\x0d"
    "\xda\x24\x95\x67\xf9\x2a\x9a\x1d\x5b\x5d\xb7\x0a\xa2\xa1\x6b\x3b\xd3\xf3\x1e\x2d\x9a\x38\x2f"
    "\x2f\x58\x97\xd2\xcf\xce\xc9\x4f\xe5\x69\x14\xfc\x57\x6a\x9f\xff\x71\xa3\x7f\x8d\x4a\xff\x6f"
    "\x28\x5b\x26\x02\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x80\x0f\xdb\x01\x6d\xb8\x75\xed"
    "\x00\x28\x00\x00",
    119);

struct RunLog {
    bool ran = false;
    std::vector<std::pair<std::string, bool>> ends;
    std::vector<int32_t> errors;
};

RunLog RunGZip(const std::string& archive, const std::string& outDir, bool test = false) {
    RunLog log;
    TUnGZIP x;
    x.SetFileSpec({"*.*"});
    x.OnEnd = [&](TZipCommon&, const std::string& fn, bool pass) {
        log.ends.emplace_back(fn, pass);
    };
    x.OnError = [&](TZipCommon&, const std::string&, const std::string&, const std::string&,
                    int32_t code) { log.errors.push_back(code); };
    x.SetArchiveFile(archive);
    if (!outDir.empty()) x.SetExtractDir(outDir);
    log.ran = test ? x.Test() : x.Extract();
    return log;
}

std::string Corrupted(std::string bytes, size_t at) {
    bytes[at] = static_cast<char>(bytes[at] ^ 0x01);
    return bytes;
}

TEST(UnGZip, EveryMemberIsDecodedUnderTheStoredName) {
    TempDir dir;
    const RunLog log = RunGZip(dir.Write("a.gz", kTwoMembers), dir / "out");
    ASSERT_EQ(log.ends.size(), 1u);
    EXPECT_TRUE(log.ends[0].second);
    EXPECT_EQ(ReadFileBytes(dir / "out/greeting.txt"), "hello world\n");
}

TEST(UnGZip, DamageInAnyMemberFailsTheEntry) {
    struct Case {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"first member's CRC", Corrupted(kTwoMembers, kFirstMemberSize - 8)},
        {"first member's size", Corrupted(kTwoMembers, kFirstMemberSize - 4)},
        {"last member's CRC", Corrupted(kTwoMembers, kTwoMembers.size() - 8)},
        {"cut inside the second member", kTwoMembers.substr(0, kTwoMembers.size() - 12)},
        {"cut inside the last trailer", kTwoMembers.substr(0, kTwoMembers.size() - 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const RunLog log = RunGZip(dir.Write("a.gz", c.bytes), {}, true);
        ASSERT_EQ(log.ends.size(), 1u);
        EXPECT_FALSE(log.ends[0].second);
    }
}

TEST(UnGZip, HeaderFlagsAndNames) {
    TempDir dir;
    // A header CRC is passed over; without a stored name the archive's name up
    // to its first "." is used.
    EXPECT_TRUE(RunGZip(dir.Write("h.gz", kHeaderCrc), dir / "out").ends.at(0).second);
    EXPECT_EQ(ReadFileBytes(dir / "out/h.txt"), "abc");
    const std::string unnamed = kTwoMembers.substr(kFirstMemberSize);
    EXPECT_TRUE(RunGZip(dir.Write("archive.txt.gz", unnamed), dir / "out").ends.at(0).second);
    EXPECT_EQ(ReadFileBytes(dir / "out/archive"), "world\n");

    // A stored name with folders lands in the output folder itself.
    std::string withPath = kTwoMembers;
    withPath.replace(10, 12, "../../xy.txt");
    RunGZip(dir.Write("p.gz", withPath), dir / "out");
    EXPECT_EQ(ReadFileBytes(dir / "out/xy.txt"), "hello world\n");

    std::string encrypted = kHeaderCrc;
    encrypted[3] |= 0x20;
    const RunLog log = RunGZip(dir.Write("e.gz", encrypted), dir / "out", true);
    EXPECT_EQ(log.errors, std::vector<int32_t>{E_PASSWORDPROTECTED});
    EXPECT_FALSE(log.ends.at(0).second);
}

TEST(UnGZip, CompressedTarIsUnpackedIntoItsMembers) {
    TempDir dir;
    const RunLog log = RunGZip(dir.Write("t.tgz", kTgz), dir / "out");
    EXPECT_TRUE(log.ran);
    EXPECT_EQ(ReadFileBytes(dir / "out/d1/f1"), "one");
    EXPECT_EQ(ReadFileBytes(dir / "out/f2"), "two");
    EXPECT_FALSE(std::filesystem::exists(dir / "out/t")); // no decoded TAR left behind
    ASSERT_EQ(log.ends.size(), 2u);

    EXPECT_NE(UnpackCompressedTar(dir / "t.tgz"), nullptr);
    EXPECT_EQ(UnpackCompressedTar(dir.Write("a.gz", kTwoMembers)), nullptr);
}

TEST(UnGZip, CompressFilesDecodeAndDamageFails) {
    const std::string corpus = std::string(BRINDLE_TEST_DATA) + "/corpus/compress/";
    TempDir dir;
    const RunLog good = RunGZip(corpus + "big_text_b14.txt.Z", dir / "out");
    EXPECT_TRUE(good.ends.at(0).second);
    EXPECT_EQ(std::filesystem::file_size(dir / "out/big_text_b14"), 200000u);

    std::string bad = ReadFileBytes(corpus + "readme_crlf.txt.Z");
    bad[2] = static_cast<char>(0x91); // 17-bit codes
    const RunLog wide = RunGZip(dir.Write("w.Z", bad), {}, true);
    EXPECT_EQ(wide.errors, std::vector<int32_t>{E_UNSUPPORTEDMETHOD});
    EXPECT_FALSE(wide.ends.at(0).second);
}

// An empty member's trailer (eight zero bytes) also matches one byte early,
// inside its DEFLATE data; the member boundary must still be found.
TEST(GZipStream, MembersAreCountedAndSummed) {
    const std::string empty("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\x03\x00\x00\x00\x00\x00"
                            "\x00\x00\x00\x00",
                            20);
    const std::string x("\x1f\x8b\x08\x00\x00\x00\x00\x00\x02\x03\xab\x00\x00\x83\x16\xdc\x8c"
                        "\x01\x00\x00\x00",
                        21);
    struct Case {
        const char* what;
        std::string bytes;
        uint32_t members;
        uint64_t size;
    } cases[] = {
        {"two members", kTwoMembers, 2, 12},
        {"empty member first", empty + x, 2, 1},
        {"empty members around", empty + x + empty + empty, 4, 1},
        {"zeros after the last member", x + std::string(700, '\0'), 1, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        size_t pos = 0;
        const TCodecInput input = [&](uint8_t* buffer, size_t capacity) {
            const size_t n = std::min(capacity, c.bytes.size() - pos);
            std::memcpy(buffer, c.bytes.data() + pos, n);
            pos += n;
            return n;
        };
        const TGZipOutcome o = DecodeGZip(input, [](const uint8_t*, size_t) { return true; });
        EXPECT_EQ(o.Result, TGZipResult::Done);
        EXPECT_EQ(o.Members, c.members);
        EXPECT_EQ(o.Size, c.size);
    }
}

} // namespace
