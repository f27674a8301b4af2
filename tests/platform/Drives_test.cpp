// Guards against paths landing on the wrong drive (string-prefix roots) or lost disk labels.
#include "platform/Drives.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "support/TempDir.h"

using namespace platform;
using testing_support::TempDir;

namespace {

class DrivesTest : public testing::Test {
protected:
    void SetUp() override { ForgetRemovableDisks(); }
    void TearDown() override { ForgetRemovableDisks(); }
    TempDir dir;
};

} // namespace

TEST_F(DrivesTest, RootIsTheInnermostDeclaredFolderHoldingThePath) {
    const std::string disk = dir / "disk";
    const std::string inner = dir / "disk/inner";
    DeclareRemovableDisk(disk + "/", "OUTER", 1); // stored without the trailing "/"
    DeclareRemovableDisk(inner, "INNER", 2);

    EXPECT_EQ(DriveRoot(disk), disk);
    EXPECT_EQ(DriveRoot(disk + "/sub/file.zip"), disk);
    EXPECT_EQ(DriveRoot(inner + "/file.zip"), inner);
    EXPECT_EQ(DriveRoot(inner + "/../file.zip"), disk);
    EXPECT_EQ(DriveRoot(dir / "disk2/file.zip"), "/"); // shares a string prefix only
    EXPECT_EQ(DriveRoot(dir / "file.zip"), "/");

    const auto relative =
        std::filesystem::relative(disk + "/sub/file.zip", std::filesystem::current_path());
    EXPECT_EQ(DriveRoot(relative.string()), disk);
}

TEST_F(DrivesTest, DeclaredFolderReportsItsRemovableVolume) {
    const std::string disk = dir / "disk";
    std::filesystem::create_directory(disk);
    DeclareRemovableDisk(disk, "PKBACK# 001", 0x1234ABCD);

    VolumeInfo info;
    ASSERT_TRUE(GetVolumeInfo(disk + "/archive.zip", info));
    EXPECT_EQ(info.Root, disk);
    EXPECT_EQ(info.Type, DriveType::Removable);
    EXPECT_EQ(info.Label, "PKBACK# 001");
    EXPECT_EQ(info.Serial, 0x1234ABCDu);
    EXPECT_EQ(info.FileSystem, "FAT");
    EXPECT_EQ(info.MaxNameLength, 255u);

    SetRemovableDiskLabel(disk + "/", "PKBACK# 002");
    ASSERT_TRUE(GetVolumeInfo(disk, info));
    EXPECT_EQ(info.Label, "PKBACK# 002");
}

TEST_F(DrivesTest, MissingDeclaredFolderIsAnEmptyDrive) {
    DeclareRemovableDisk(dir / "absent", "LABEL", 7);
    VolumeInfo info;
    errno = 0;
    EXPECT_FALSE(GetVolumeInfo(dir / "absent/a.zip", info));
    EXPECT_EQ(errno, ENOENT);
}

TEST_F(DrivesTest, EverythingElseIsTheFixedDrive) {
    VolumeInfo info;
    ASSERT_TRUE(GetVolumeInfo(dir / "file.zip", info));
    EXPECT_EQ(info.Root, "/");
    EXPECT_EQ(info.Type, DriveType::Fixed);
    EXPECT_EQ(info.Label, "");
    EXPECT_FALSE(info.FileSystem.empty());

    SetRemovableDiskLabel(dir.path().string(), "IGNORED"); // never declared: no effect
    EXPECT_EQ(DriveRoot(dir / "file.zip"), "/");
}

TEST_F(DrivesTest, DiskListEntriesParseOrAreSkipped) {
    const std::string a = dir / "a", b = dir / "b";
    EXPECT_EQ(DeclareRemovableDisks(a + "=PKBACK# 001:00C0FFEE;;" + b + "=A:B=C:ff"), 2);
    VolumeInfo info;
    std::filesystem::create_directory(a);
    std::filesystem::create_directory(b);
    ASSERT_TRUE(GetVolumeInfo(a, info));
    EXPECT_EQ(info.Label, "PKBACK# 001"); // blanks kept
    EXPECT_EQ(info.Serial, 0xC0FFEEu);
    ASSERT_TRUE(GetVolumeInfo(b, info));
    EXPECT_EQ(info.Label, "A:B=C"); // the serial follows the last ":"
    EXPECT_EQ(info.Serial, 0xFFu);

    EXPECT_EQ(DeclareRemovableDisks("=LABEL:1"), 0);             // no folder
    EXPECT_EQ(DeclareRemovableDisks(a + "LABEL:1"), 0);          // no "="
    EXPECT_EQ(DeclareRemovableDisks(a + "=LABEL"), 0);           // no serial
    EXPECT_EQ(DeclareRemovableDisks(a + "=LABEL:12345678F"), 0); // nine digits
    EXPECT_EQ(DeclareRemovableDisks(a + "=LABEL:12G4"), 0);      // not hex
    EXPECT_EQ(DeclareRemovableDisks(a + "=LABEL:"), 0);          // empty serial
    EXPECT_EQ(DeclareRemovableDisks(""), 0);
}

// The environment is read on the registry's first use, so the check runs in a
// fresh copy of this program ("threadsafe" death tests re-execute it) that sets the
// variable before anything else touches the registry.
TEST(RemovableDisksVariable, IsReadOnFirstUse) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    const std::string disk = dir / "disk";
    std::filesystem::create_directory(disk);
    ::setenv("BRINDLE_REMOVABLE_DISKS", ("/elsewhere=X:1;" + disk + "=PKBACK# 003:BEEF").c_str(),
             1);
    EXPECT_EXIT(
        {
            VolumeInfo info;
            const bool ok = DriveRoot(disk + "/a.zip") == disk && GetVolumeInfo(disk, info) &&
                            info.Label == "PKBACK# 003" && info.Serial == 0xBEEF &&
                            DriveRoot("/elsewhere/x") == "/elsewhere";
            std::filesystem::remove_all(dir.path()); // exit() skips the destructor
            std::exit(ok ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
    ::unsetenv("BRINDLE_REMOVABLE_DISKS");
}
