// Guards brindle-cli test and extract: the per-entry lines, the exit codes
// scripts rely on (0 all good, 1 an entry failed, 2 nothing could be done), and
// that existing files are kept unless the user says otherwise.
#include <gtest/gtest.h>

#include "support/RunCli.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

using testing_support::ReadFileBytes;
using testing_support::RunCli;
using testing_support::TempDir;
using testing_support::ZipBuilder;

namespace {

std::string GoodAndBad(const TempDir& dir) {
    return dir.Write("t.zip", ZipBuilder()
                                  .Add({.name = "dir/good.txt", .data = "fine"})
                                  .Add({.name = "bad.txt", .data = "x", .crc = 1})
                                  .Build());
}

} // namespace

TEST(CliTest, OneLinePerEntryAndExitCodes) {
    TempDir dir;
    const auto mixed = RunCli("test " + GoodAndBad(dir));
    EXPECT_EQ(mixed.out, "OK dir/good.txt\nFAIL bad.txt: File fails CRC check\n");
    EXPECT_EQ(mixed.status, 1);

    const std::string encrypted = BRINDLE_TEST_DATA "/corpus/zip/patool_p.zip";
    EXPECT_EQ(RunCli("test --password thereisnotry " + encrypted).status, 0);
    const auto wrong = RunCli("test --password nope " + encrypted);
    EXPECT_EQ(wrong.out, "FAIL t/t.txt: Password failed\n");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(RunCli("test " + dir.Write("x.txt", std::string(40, 'x'))).status, 2);
}

TEST(CliExtract, FoldersMasksAndExistingFiles) {
    TempDir dir;
    const std::string zip = GoodAndBad(dir);
    EXPECT_EQ(RunCli("extract -o " + dir / "out" + " " + zip + " good.txt").status, 0);
    EXPECT_EQ(ReadFileBytes(dir / "out/dir/good.txt"), "fine");

    dir.Write("out/dir/good.txt", "mine");
    EXPECT_EQ(RunCli("extract -o " + dir / "out" + " " + zip + " good.txt").status, 1);
    EXPECT_EQ(ReadFileBytes(dir / "out/dir/good.txt"), "mine");
    EXPECT_EQ(RunCli("extract --skip-existing -o " + dir / "out" + " " + zip + " good.txt").status, 0);
    EXPECT_EQ(RunCli("extract --overwrite -o " + dir / "out" + " " + zip + " good.txt").status, 0);
    EXPECT_EQ(ReadFileBytes(dir / "out/dir/good.txt"), "fine");

    EXPECT_EQ(RunCli("extract --flat -o " + dir / "flat" + " " + zip).status, 1); // bad.txt fails
    EXPECT_EQ(ReadFileBytes(dir / "flat/good.txt"), "fine");
    EXPECT_EQ(RunCli("extract").status, 2);
}
