// Guards the ARJ extractor: every method decoding, garbled entries with the right
// and the wrong password, files split over volumes rebuilt whole, archives behind
// a stub, and damaged headers ending the run.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/vroUnArj.h"
#include "engine/vroZipCheck.h"
#include "support/PeBuilder.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

namespace {

const std::string kCorpus = BRINDLE_TEST_DATA "/corpus/arj/";

struct Outcome {
    bool ok = false;
    std::vector<std::pair<std::string, bool>> ends; // (file name part, CRC_PASS)
    std::vector<int32_t> errors;
    bool AllPassed() const {
        return !ends.empty() &&
               std::all_of(ends.begin(), ends.end(), [](const auto& e) { return e.second; });
    }
    bool Reported(int32_t code) const {
        return std::find(errors.begin(), errors.end(), code) != errors.end();
    }
};

Outcome ExtractArj(const TempDir& dir, const std::string& archive,
                   const std::function<void(TUnARJ&)>& configure = {}) {
    Outcome r;
    TUnARJ x;
    x.SetFileSpec({"*.*"});
    x.OnEnd = [&](TZipCommon&, const std::string& fn, bool pass) {
        r.ends.emplace_back(std::filesystem::path(fn).filename().string(), pass);
    };
    x.OnError = [&](TZipCommon&, const std::string&, const std::string&, const std::string&,
                    int32_t code) { r.errors.push_back(code); };
    x.SetArchiveFile(archive);
    x.SetExtractDir(dir / "out");
    if (configure) configure(x);
    r.ok = x.Extract();
    return r;
}

std::string Copy(const TempDir& dir, const std::string& name) {
    return dir.Write(name, ReadFileBytes(kCorpus + name));
}

void TakeNextVolumes(TUnARJ& x) {
    x.OnNextVolume = [](TZipCommon&, std::string&, const std::string&, bool exists, bool& cancel) {
        cancel = !exists;
    };
}

} // namespace

TEST(UnArj, EveryMethodDecodes) {
    struct Row {
        const char* label;
        const char* archive;
        const char* file;
        int64_t size;
    } rows[] = {
        {"stored", "arj_m0.arj", "random.bin", 24576},
        {"method 1", "arj_m1.arj", "big_text.txt", 200000},
        {"method 2", "arj_full_m2.arj", "big_text.txt", 200000},
        {"method 3", "arj_m3.arj", "random.bin", 24576},
        {"method 4", "arj_full_m4.arj", "dir one/sub dir/nested file.txt", 900},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        TempDir dir;
        const Outcome out = ExtractArj(dir, kCorpus + r.archive);
        EXPECT_TRUE(out.ok);
        EXPECT_TRUE(out.AllPassed());
        EXPECT_EQ(static_cast<int64_t>(ReadFileBytes(dir / ("out/" + std::string(r.file))).size()),
                  r.size);
    }
}

TEST(UnArj, GarbledEntriesNeedTheirPassword) {
    const std::string archive = kCorpus + "arj_garbled_pw-secret.arj";
    {
        SCOPED_TRACE("right password: the key adds each header's modifier");
        TempDir dir;
        const Outcome out = ExtractArj(dir, archive, [](TUnARJ& x) { x.SetPasswords({"secret"}); });
        EXPECT_TRUE(out.ok);
        EXPECT_EQ(out.ends.size(), 3u);
        EXPECT_TRUE(out.AllPassed());
    }
    {
        SCOPED_TRACE("wrong password: the first entry fails and ends the run");
        TempDir dir;
        const Outcome out = ExtractArj(dir, archive, [](TUnARJ& x) { x.SetPasswords({"wrong"}); });
        EXPECT_FALSE(out.ok);
        ASSERT_EQ(out.ends.size(), 1u);
        EXPECT_FALSE(out.ends[0].second);
        EXPECT_TRUE(out.Reported(E_INVALIDPASSWORD));
    }
    {
        SCOPED_TRACE("no password and no one to ask: the run stops");
        TempDir dir;
        const Outcome out = ExtractArj(dir, archive);
        EXPECT_EQ(out.ends.size(), 1u);
        EXPECT_FALSE(out.AllPassed());
    }
    {
        SCOPED_TRACE("a plain method-4 entry after a garbled one is not deciphered");
        TempDir dir;
        const Outcome out = ExtractArj(dir, BRINDLE_TEST_DATA "/lzh/arj_garbled_then_m4.arj",
                                       [](TUnARJ& x) { x.SetPasswords({"key42"}); });
        EXPECT_TRUE(out.AllPassed());
        EXPECT_EQ(ReadFileBytes(dir / "out/first.txt").size(), 2197u);
        EXPECT_EQ(ReadFileBytes(dir / "out/second.txt").size(), 1664u);
    }
}

TEST(UnArj, FileSplitOverVolumesIsRebuilt) {
    TempDir dir;
    const std::string first = Copy(dir, "arj_multivolume_m1.arj");
    Copy(dir, "arj_multivolume_m1.a01");
    const Outcome out = ExtractArj(dir, first, TakeNextVolumes);
    EXPECT_TRUE(out.ok);
    EXPECT_TRUE(out.AllPassed());
    EXPECT_EQ(out.ends.size(), 3u);
    EXPECT_EQ(ReadFileBytes(dir / "out/big_text.txt").size(), 200000u);

    // Testing follows the same volumes.
    TZipCheck check;
    check.SetFileSpec({"*.*"});
    check.OnNextVolume = [](TZipCommon&, std::string&, const std::string&, bool exists,
                            bool& cancel) { cancel = !exists; };
    std::vector<bool> tested;
    check.OnStatus = [&](TZipCommon&, const std::string&, bool pass) { tested.push_back(pass); };
    check.SetArchiveFile(first);
    EXPECT_TRUE(check.TestArchive());
    EXPECT_EQ(tested, std::vector<bool>(3, true));

    // Without the next volume the split file fails.
    TempDir alone;
    const Outcome cut = ExtractArj(alone, Copy(alone, "arj_multivolume_m1.arj"), TakeNextVolumes);
    EXPECT_FALSE(cut.AllPassed());
}

TEST(UnArj, ArchiveBehindAStubIsFound) {
    TempDir dir;
    std::string image =
        testing_support::BuildPeWithStrings({}, {.minSize = 612, .eCblp = 100, .eCp = 2});
    image.resize(612);
    const std::string exe = dir.Write("sfx.exe", image + ReadFileBytes(kCorpus + "arj_m1.arj"));
    const Outcome out = ExtractArj(dir, exe);
    EXPECT_TRUE(out.ok);
    EXPECT_TRUE(out.AllPassed());
    EXPECT_EQ(ReadFileBytes(dir / "out/random.bin").size(), 24576u);
}

TEST(UnArj, DamagedHeadersEndTheRun) {
    std::string bytes = ReadFileBytes(kCorpus + "arj_m1.arj");
    // The first local header follows the main header; its name lies 34 bytes in.
    const size_t mainSize = static_cast<uint8_t>(bytes[2]) | static_cast<uint8_t>(bytes[3]) << 8;
    const size_t local = 4 + mainSize + 4 + 2;
    struct Row {
        const char* label;
        size_t at;
        int32_t error;
    } rows[] = {
        {"header CRC", local + 34, E_HEADERCRC},
        {"header id", local, E_BADHEADER},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        TempDir dir;
        std::string damaged = bytes;
        damaged[r.at] = static_cast<char>(damaged[r.at] ^ 0x5A);
        const Outcome out = ExtractArj(dir, dir.Write("a.arj", damaged));
        EXPECT_FALSE(out.ok);
        EXPECT_TRUE(out.Reported(r.error));
        EXPECT_TRUE(out.ends.empty());
    }
}
