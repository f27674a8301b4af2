// Guards the shared helpers against off-by-one faults: ratio rounding and
// scaling, octal field placement, name reads past the end of a file, and
// separators lost or doubled in names and paths.
#include "engine/vroHelpers.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/vroErrors.h"
#include "platform/Stream.h"
#include "support/TempDir.h"

namespace vro {
namespace {

TEST(Ratio, RoundsDownButShowsAnySaving) {
    struct Row {
        const char* name;
        int64_t packed, unpacked;
        uint8_t expected;
    };
    const Row rows[] = {
        {"nothing packed", 0, 1000, 0},
        {"nothing unpacked", 10, 0, 0},
        {"no saving", 1000, 1000, 0},
        {"grew", 1200, 1000, 0},
        {"a tenth of a percent shows as 1", 999, 1000, 1},
        {"half", 500, 1000, 50},
        {"large saving scaled by 100 first", 100, 1000000, 99},
        {"saving at the limit is not scaled", 1, 100001, 99},
        {"scaled sizes can show 100", 99, 100199, 100},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Ratio(row.packed, row.unpacked), row.expected) << row.name;
}

TEST(ArchiveExtensionIndex, FindsAnyCaseAndRefusesOthers) {
    EXPECT_EQ(ArchiveExtensionIndex(".jar"), 17);
    EXPECT_EQ(ArchiveExtensionIndex(".JaR"), 17);
    EXPECT_EQ(ArchiveExtensionIndex(".UUE"), 0);
    EXPECT_EQ(ArchiveExtensionIndex(".ace"), 18);
    EXPECT_EQ(ArchiveExtensionIndex(".7z"), -1);
    EXPECT_EQ(ArchiveExtensionIndex("ZIP"), -1); // the dot is part of the extension
}

TEST(StoredNames, SeparatorsAndPieces) {
    EXPECT_EQ(AddTrailingBackslash(""), "");
    EXPECT_EQ(AddTrailingBackslash("dir"), "dir\\");
    EXPECT_EQ(AddTrailingBackslash("dir\\"), "dir\\");
    EXPECT_EQ(RemoveTrailingBackslash("dir\\\\"), "dir\\");
    EXPECT_EQ(RemoveTrailingBackslash("dir"), "dir");
    EXPECT_EQ(ToBackslashes("a/b\\c/"), "a\\b\\c\\");
    EXPECT_EQ(ToSlashes("a\\b/c\\"), "a/b/c/");

    struct Row {
        std::string path, name, folder, ext;
    };
    const Row rows[] = {
        {"C:\\dir\\file.tar.gz", "file.tar.gz", "C:\\dir\\", ".gz"},
        {"dir.x\\file", "file", "dir.x\\", ""},
        {"C:file.txt", "file.txt", "C:", ".txt"},
        {"plain", "plain", "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ExtractFileName(row.path), row.name) << row.path;
        EXPECT_EQ(ExtractFilePath(row.path), row.folder) << row.path;
        EXPECT_EQ(ExtractFileExt(row.path), row.ext) << row.path;
    }
    EXPECT_EQ(UpperCase("abz\xE4"), "ABZ\xE4");
    EXPECT_EQ(LowerCase("ABZ\xC4"), "abz\xC4");
}

TEST(StoredNames, ArchiveNamesConvertCodePageAndSeparators) {
    // CP437 0x81 is u-umlaut (UTF-8 C3 BC).
    EXPECT_EQ(FromArchiveName("dir/\x81"
                              "ber.txt"),
              "dir\\\xC3\xBC"
              "ber.txt");
    EXPECT_EQ(ToArchiveName("dir/\xC3\xBC"
                            "ber.txt"),
              "dir\\\x81"
              "ber.txt");
}

TEST(TextHelpers, BaseNameDigitsAndSplit) {
    EXPECT_EQ(BaseNameLength("readme.txt"), 6);
    EXPECT_EQ(BaseNameLength("readme"), 6);
    EXPECT_EQ(BaseNameLength(".profile"), 0);
    EXPECT_TRUE(AllDigits(""));
    EXPECT_TRUE(AllDigits("0123456789"));
    EXPECT_FALSE(AllDigits("12a"));

    std::string text = "one,two,three", head;
    SplitAt(text, ',', head);
    EXPECT_EQ(head, "one");
    EXPECT_EQ(text, "two,three");
    text = "last";
    SplitAt(text, ',', head);
    EXPECT_EQ(head, "last");
    EXPECT_EQ(text, "");
}

TEST(Octal, ParsesSkippingNoiseAndFillsFieldsRightAligned) {
    EXPECT_EQ(OctalToNumber("0000755 "), 493);
    EXPECT_EQ(OctalToNumber(std::string_view(" 12 3\0", 6)), 83);
    EXPECT_EQ(OctalToNumber("89"), 0);

    struct Row {
        const char* name;
        int64_t value;
        int width;
        bool zeroTerminate;
        std::string expected;
    };
    const Row rows[] = {
        {"mode field", 493, 8, false, "    755 "},
        {"zero-terminated", 493, 8, true, std::string("   755 \0", 8)},
        {"zero still writes a digit", 0, 4, false, "  0 "},
        {"filling every place", 4095, 5, false, "7777 "},
        {"size field", 1234567, 12, false, "    4553207 "},
    };
    for (const Row& row : rows) {
        std::string field(row.width, 'x');
        NumberToOctalField(row.value, row.width, row.zeroTerminate, field.data());
        EXPECT_EQ(field, row.expected) << row.name;
    }
}

TEST(NameReads, StopAtTheZeroOrTheEndOfTheFile) {
    const std::string bytes = std::string("first\0second\0tail", 17);
    platform::TMemoryStream file(bytes.data(), bytes.size());

    int64_t pos = 0;
    EXPECT_EQ(ReadZeroTerminatedName(file, pos), "first");
    EXPECT_EQ(pos, 6);
    EXPECT_EQ(ReadZeroTerminatedName(file, pos), "second");
    EXPECT_EQ(pos, 13);
    EXPECT_EQ(ReadZeroTerminatedName(file, pos), "tail"); // no zero before the end
    EXPECT_EQ(pos, 18);

    pos = 6;
    EXPECT_EQ(ReadCountedName(file, pos, 6), "second");
    EXPECT_EQ(pos, 12);
    pos = 13;
    EXPECT_EQ(ReadCountedName(file, pos, 10), "tail"); // short read keeps what was there
    EXPECT_EQ(pos, 23);
    EXPECT_EQ(ReadCountedName(file, pos, 5), "");
}

TEST(NameReads, ZeroTerminatedNameIsCutAt256Bytes) {
    const std::string bytes(300, 'n');
    platform::TMemoryStream file(bytes.data(), bytes.size());
    int64_t pos = 0;
    EXPECT_EQ(ReadZeroTerminatedName(file, pos).size(), 256u);
    EXPECT_EQ(pos, 257);
}

// Sets an environment variable for one test and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) previous_ = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (previous_)
            ::setenv(name_, previous_->c_str(), 1);
        else
            ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> previous_;
};

TEST(HostFiles, TemporaryFilesAndTheirFailure) {
    testing_support::TempDir dir;
    ScopedEnv tmp("TMPDIR", dir.path().string());
    EXPECT_EQ(TemporaryDirectory(), dir.path().string());
    const std::string name = TemporaryFileName();
    EXPECT_TRUE(std::filesystem::is_regular_file(name));
    EXPECT_EQ(std::filesystem::path(name).parent_path(), dir.path());
    EXPECT_NE(TemporaryFileName(), name);

    ScopedEnv missing("TMPDIR", dir / "no-such-folder");
    try {
        TemporaryFileName();
        FAIL() << "expected an error";
    } catch (const EVroError& e) {
        EXPECT_EQ(e.Code, E_FOPEN);
        EXPECT_STREQ(e.what(), "Error opening file");
    }
}

TEST(HostFiles, ForceDirectoriesCreatesParentsAndRefusesEmpty) {
    testing_support::TempDir dir;
    ForceDirectories(dir / "a/b/c/");
    EXPECT_TRUE(std::filesystem::is_directory(dir / "a/b/c"));

    for (const std::string& bad : {std::string(), dir.Write("file", "x") + "/sub"}) {
        try {
            ForceDirectories(bad);
            ADD_FAILURE() << "expected an error for '" << bad << "'";
        } catch (const EVroError& e) {
            EXPECT_EQ(e.Code, E_UNABLETOCREATEDIR);
            EXPECT_STREQ(e.what(), "Unable to create directory");
        }
    }
}

TEST(HostFiles, ExistenceAndPlainFileTests) {
    testing_support::TempDir dir;
    const std::string plain = dir.Write("plain.txt", "x");
    const std::string hidden = dir.Write(".hidden", "x");
    const std::string readOnly = dir.Write("locked.txt", "x");
    ::chmod(readOnly.c_str(), 0444);
    std::filesystem::create_directory(dir / "sub");

    EXPECT_TRUE(FileOrWildcardExists(plain));
    EXPECT_TRUE(FileOrWildcardExists(dir / "*.TXT"));
    EXPECT_FALSE(FileOrWildcardExists(dir / "*.zip"));

    EXPECT_TRUE(IsDirectory(""));
    EXPECT_TRUE(IsDirectory(dir / "sub"));
    EXPECT_FALSE(IsDirectory(plain));

    EXPECT_TRUE(IsPlainFile(plain));
    EXPECT_FALSE(IsPlainFile(hidden));
    EXPECT_FALSE(IsPlainFile(dir / "sub"));
    EXPECT_FALSE(IsPlainFile(dir / "missing"));
    if (::geteuid() != 0) { // root may write anything, so nothing reads as read-only
        EXPECT_FALSE(IsPlainFile(readOnly));
    }
}

} // namespace
} // namespace vro
