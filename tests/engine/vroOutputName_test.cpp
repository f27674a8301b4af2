// Guards the output-name builder: no stored name, however crafted, may produce a
// path outside the extraction folder or through a symbolic link.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/vroOutputName.h"
#include "support/TempDir.h"

using vro::SafeOutputPath;

TEST(OutputName, StoredNamesStayInsideTheFolder) {
    struct Row {
        const char* stored;
        const char* withDirs;
        const char* flat;
        bool climbed;
    } rows[] = {
        {"C:\\a\\b.txt", "/out/a/b.txt", "/out/b.txt", false},
        {"C:b.txt", "/out/b.txt", "/out/b.txt", false},
        {"\\a\\b.txt", "/out/a/b.txt", "/out/b.txt", false},
        {"a/b.txt", "/out/a/b.txt", "/out/b.txt", false},
        {"/etc/passwd", "/out/etc/passwd", "/out/passwd", false},
        {"\\\\server\\share\\x\\y.txt", "/out/x/y.txt", "/out/y.txt", false},
        {"../../x.txt", "/out/x.txt", "/out/x.txt", true},
        {"a/../../x.txt", "/out/x.txt", "/out/x.txt", true},
        {"a/./b/../c.txt", "/out/a/c.txt", "/out/c.txt", false},
        {"a\\..\\..\\..\\etc\\x", "/out/etc/x", "/out/x", true},
        {"dir/", "/out/dir/", "", false},
        {"..", "", "", true},
        {"", "", "", false},
    };
    for (const Row& r : rows) {
        const auto withDirs = SafeOutputPath("/out", r.stored, true);
        EXPECT_EQ(withDirs.Path, r.withDirs) << r.stored;
        EXPECT_EQ(withDirs.ClimbedOut, r.climbed) << r.stored;
        EXPECT_EQ(SafeOutputPath("/out/", r.stored, false).Path, r.flat) << r.stored;
    }
    // A NUL byte ends the name, as it would on any file system.
    EXPECT_EQ(SafeOutputPath("/out", std::string("ok.txt\0/../../x", 15), true).Path,
              "/out/ok.txt");
}

TEST(OutputName, LinksBelowTheFolderAreRefused) {
    testing_support::TempDir dir;
    const std::string root = dir.path().string() + "/";
    std::filesystem::create_directories(root + "real");
    std::filesystem::create_directory_symlink("/tmp", root + "link");
    std::filesystem::create_symlink("/etc/passwd", root + "file-link");
    EXPECT_TRUE(vro::NoLinksBelow(root, root + "real/new.txt"));
    EXPECT_FALSE(vro::NoLinksBelow(root, root + "link/new.txt"));
    EXPECT_FALSE(vro::NoLinksBelow(root, root + "file-link"));
    EXPECT_FALSE(vro::NoLinksBelow(root, "/elsewhere/x"));
}
