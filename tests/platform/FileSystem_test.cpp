// Guards against DOS answers going wrong: masks, attribute gates, read-only bits, local dates.
#include "platform/FileSystem.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "support/ScopedTimeZone.h"
#include "support/TempDir.h"

using namespace platform;
using testing_support::ScopedTimeZone;
using testing_support::TempDir;

namespace {

uint32_t DosDateTime(int year, int month, int day, int hour, int minute, int second) {
    return static_cast<uint32_t>((year - 1980) << 25 | month << 21 | day << 16 | hour << 11 |
                                 minute << 5 | second / 2);
}

// Names a search returns, in the order-free form the host's readdir allows.
std::set<std::string> Search(const std::string& pattern, uint32_t attrMask) {
    std::set<std::string> names;
    TDirSearch search;
    TSearchRec rec;
    for (bool found = search.FindFirst(pattern, attrMask, rec); found; found = search.FindNext(rec))
        names.insert(rec.Name);
    return names;
}

struct MaskCase {
    const char* label;
    const char* mask;
    std::string name;
    bool matches;
};

void PrintTo(const MaskCase& c, std::ostream* os) {
    *os << c.mask << " vs " << c.name;
}

class FileMaskTest : public testing::TestWithParam<MaskCase> {};

} // namespace

TEST_P(FileMaskTest, MatchesLikeDos) {
    const MaskCase& c = GetParam();
    EXPECT_EQ(MatchesFileMask(c.mask, c.name), c.matches);
}

INSTANTIATE_TEST_SUITE_P(
    Masks, FileMaskTest,
    testing::Values(MaskCase{"StarDotStarTakesADotlessName", "*.*", "readme", true},
                    MaskCase{"StarDotStarTakesSeveralDots", "*.*", "a.tar.gz", true},
                    MaskCase{"StarTakesEverything", "*", "a.b", true},
                    MaskCase{"ExtensionIgnoresCase", "*.zip", "ARCHIVE.ZIP", true},
                    MaskCase{"ExtensionIsTheLastOne", "*.zip", "a.zip.bak", false},
                    MaskCase{"ExtensionAfterSeveralDots", "*.zip", "a.b.zip", true},
                    MaskCase{"NameDotStarTakesTheBareName", "readme.*", "README", true},
                    MaskCase{"TrailingDotTakesOnlyDotless", "*.", "readme", true},
                    MaskCase{"TrailingDotRefusesAnExtension", "*.", "readme.txt", false},
                    MaskCase{"QuestionMarkIsOneCharacter", "a?c", "abc", true},
                    MaskCase{"QuestionMarkNeedsSomething", "a?c", "ac", false},
                    MaskCase{"QuestionMarksShrinkBeforeADot", "file????.txt", "file.txt", true},
                    MaskCase{"QuestionMarksShrinkAtTheEnd", "disk??", "disk1", true},
                    MaskCase{"PlainNameIsExact", "a.txt", "a.txt1", false},
                    MaskCase{"ManyStarsStayCheap", "*a*a*a*a*a*a*a*b", std::string(200, 'a'),
                             false}),
    [](const testing::TestParamInfo<MaskCase>& info) { return std::string(info.param.label); });

class DirSearchTest : public testing::Test {
protected:
    void SetUp() override {
        dir.Write("a.zip", "12345");
        dir.Write("B.ZIP", "");
        dir.Write("readme", "text");
        dir.Write(".hidden.zip", "");
        std::filesystem::create_directory(dir / "folder.zip");
    }
    TempDir dir;
};

TEST_F(DirSearchTest, PlainFilesAlwaysQualifyOthersOnlyWithTheirBit) {
    const std::string zips = dir / "*.zip";
    EXPECT_EQ(Search(zips, 0), (std::set<std::string>{"a.zip", "B.ZIP"}));
    EXPECT_EQ(Search(zips, faHidden), (std::set<std::string>{"a.zip", "B.ZIP", ".hidden.zip"}));
    EXPECT_EQ(Search(zips, faDirectory), (std::set<std::string>{"a.zip", "B.ZIP", "folder.zip"}));
    EXPECT_EQ(Search(dir / "*.*", faAnyFile),
              (std::set<std::string>{"a.zip", "B.ZIP", "readme", ".hidden.zip", "folder.zip"}));
    EXPECT_EQ(Search(dir / "*.*", 0), (std::set<std::string>{"a.zip", "B.ZIP", "readme"}));
}

TEST_F(DirSearchTest, RecordCarriesSizeTimeAndAttributes) {
    ::chmod((dir / "a.zip").c_str(), 0444);
    ASSERT_TRUE(SetFileDosDateTime(dir / "a.zip", DosDateTime(2001, 2, 3, 4, 5, 6)));
    TDirSearch search;
    TSearchRec rec;
    ASSERT_TRUE(search.FindFirst(dir / "a.*", faAnyFile, rec));
    EXPECT_EQ(rec.Name, "a.zip");
    EXPECT_EQ(rec.Size, 5);
    EXPECT_EQ(rec.Attr, faArchive | faReadOnly);
    EXPECT_EQ(rec.Time, DosDateTime(2001, 2, 3, 4, 5, 6));
    EXPECT_FALSE(search.FindNext(rec));

    ASSERT_TRUE(search.FindFirst(dir / "folder.zip", faDirectory, rec));
    EXPECT_EQ(rec.Attr, faDirectory);
    EXPECT_EQ(rec.Size, 0);
}

TEST_F(DirSearchTest, DanglingLinkIsStillListedAndMissingFolderFails) {
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling.zip").c_str()), 0);
    EXPECT_EQ(Search(dir / "*.zip", 0), (std::set<std::string>{"a.zip", "B.ZIP", "dangling.zip"}));
    TDirSearch search;
    TSearchRec rec;
    EXPECT_FALSE(search.FindFirst(dir / "missing/*.*", faAnyFile, rec));
    EXPECT_FALSE(search.FindNext(rec));
}

TEST(FileAttributes, ReadOnlyFollowsTheWriteBitsEvenForRoot) {
    TempDir dir;
    const std::string file = dir.Write("f.txt", "x");
    EXPECT_EQ(FileAttributes(file), faArchive);
    ASSERT_TRUE(SetFileAttributes(file, faReadOnly | faArchive));
    EXPECT_EQ(FileAttributes(file), faArchive | faReadOnly);
    EXPECT_EQ(std::filesystem::status(file).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                  std::filesystem::perms::others_read);
    ASSERT_TRUE(SetFileAttributes(file, faArchive));
    EXPECT_EQ(FileAttributes(file), faArchive);

    EXPECT_EQ(FileAttributes(dir.Write(".profile", "")), faArchive | faHidden);
    EXPECT_EQ(FileAttributes(dir.path().string() + "/"), faDirectory);
    EXPECT_EQ(FileAttributes(dir / "missing"), kNoAttributes);
    EXPECT_FALSE(SetFileAttributes(dir / "missing", faReadOnly));
}

TEST(FileAttributes, ExistenceAndSizeTellFilesFromFolders) {
    TempDir dir;
    const std::string file = dir.Write("f.txt", "abc");
    EXPECT_TRUE(FileExists(file));
    EXPECT_FALSE(DirectoryExists(file));
    EXPECT_EQ(FileSize(file), 3);
    EXPECT_FALSE(FileExists(dir.path().string()));
    EXPECT_TRUE(DirectoryExists(dir.path().string()));
    EXPECT_EQ(FileSize(dir.path().string()), -1);
    EXPECT_EQ(FileSize(dir / "missing"), -1);
}

TEST(DosDateTime, RoundTripsInLocalTimeAcrossSummerTime) {
    ScopedTimeZone zone(testing_support::kCentralEurope);
    for (const uint32_t value :
         {DosDateTime(2024, 1, 15, 0, 0, 0), DosDateTime(2024, 7, 15, 13, 45, 30),
          DosDateTime(1980, 1, 1, 0, 0, 0), DosDateTime(2107, 12, 31, 23, 59, 58)})
        EXPECT_EQ(UnixToDosDateTime(DosDateTimeToUnix(value)), value) << std::hex << value;

    // 2024-07-15 11:45:31 UTC is 13:45:31 summer time; the odd second rounds down.
    EXPECT_EQ(UnixToDosDateTime(1721043931), DosDateTime(2024, 7, 15, 13, 45, 30));
    EXPECT_EQ(DosDateTimeToUnix(DosDateTime(2024, 1, 15, 12, 0, 0)), 1705316400); // 11:00 UTC
}

TEST(DosDateTime, OutOfRangeValuesClamp) {
    ScopedTimeZone zone("UTC");
    const uint32_t epoch = DosDateTime(1980, 1, 1, 0, 0, 0);
    EXPECT_EQ(UnixToDosDateTime(0), epoch);         // 1970
    EXPECT_EQ(UnixToDosDateTime(315532799), epoch); // 1979-12-31 23:59:59
    EXPECT_EQ(UnixToDosDateTime(4354819200), DosDateTime(2107, 12, 31, 23, 59, 58)); // 2108
    EXPECT_EQ(DosDateTimeToUnix(0), 315532800); // no month, no day
    EXPECT_EQ(DosDateTimeToUnix(DosDateTime(2000, 13, 1, 0, 0, 0)), 315532800);
}

TEST(DosDateTime, FileDateIsSetAndReadInLocalTime) {
    ScopedTimeZone zone(testing_support::kCentralEurope);
    TempDir dir;
    const std::string file = dir.Write("f", "");
    const uint32_t value = DosDateTime(1999, 12, 31, 23, 59, 58);
    ASSERT_TRUE(SetFileDosDateTime(file, value));
    uint32_t read = 0;
    ASSERT_TRUE(FileDosDateTime(file, read));
    EXPECT_EQ(read, value);
    EXPECT_FALSE(FileDosDateTime(dir / "missing", read));
}

TEST(TempFiles, CreatedEmptyAndUniqueInTmpdir) {
    TempDir dir;
    const char* saved = std::getenv("TMPDIR");
    const std::string savedValue = saved ? saved : "";
    ::setenv("TMPDIR", (dir.path().string() + "//").c_str(), 1);
    EXPECT_EQ(TempDirectory(), dir.path().string());
    const std::string first = CreateTempFile("brn");
    const std::string second = CreateTempFile("brn");
    saved ? ::setenv("TMPDIR", savedValue.c_str(), 1) : ::unsetenv("TMPDIR");

    ASSERT_FALSE(first.empty());
    EXPECT_NE(first, second);
    EXPECT_EQ(std::filesystem::path(first).parent_path(), dir.path());
    EXPECT_TRUE(std::filesystem::path(first).filename().string().starts_with("brn"));
    EXPECT_EQ(FileSize(first), 0);
    EXPECT_EQ(FileSize(second), 0);
}

TEST(Folders, ForceDirectoriesCreatesParentsAndReportsFailure) {
    TempDir dir;
    EXPECT_TRUE(ForceDirectories(dir / "a/b/c/"));
    EXPECT_TRUE(DirectoryExists(dir / "a/b/c"));
    EXPECT_TRUE(ForceDirectories(dir / "a/b")); // already there
    const std::string file = dir.Write("file", "");
    EXPECT_FALSE(ForceDirectories(file + "/sub"));
    EXPECT_FALSE(ForceDirectories(""));
}

TEST(Folders, SpaceIsKnownForAFolderAndUnknownForNothing) {
    TempDir dir;
    const int64_t total = TotalSpace(dir.path().string());
    const int64_t free = FreeSpace(dir.path().string());
    EXPECT_GT(total, 0);
    EXPECT_GE(free, 0);
    EXPECT_LE(free, total);
    EXPECT_EQ(FreeSpace(dir / "missing"), -1);
    EXPECT_EQ(TotalSpace(dir / "missing"), -1);
    EXPECT_EQ(CurrentDirectory(), std::filesystem::current_path().string());
}
