// Guards the ZOO catalogue walk: the corpus archives list completely, with zoo 2.x
// long names and directories; the chain's closing entry (next = 0) is not listed;
// deleted entries are passed over as zoo's own listing does; entry comments reach
// FileComment; "next" pointers that point back or at themselves end the walk, so
// a looping chain cannot hang it; a bad archive header lists nothing.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/vroDates.h"
#include "engine/vroVireo.h"
#include "support/Bytes.h"
#include "support/Listing.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::Le16;
using testing_support::Le32;
using testing_support::ListArchive;
using testing_support::Listing;
using testing_support::Names;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

namespace {

const std::string kZoo = BRINDLE_TEST_DATA "/corpus/zoo/";

// zoo210_stored.zoo: entries at 42 (RANDOM.BIN), 8305 (README.TXT), 12376
// (SKEW.BIN), and the closing entry at 32440.
constexpr size_t kSecondEntry = 8305;
constexpr size_t kNextField = 6;
constexpr size_t kDeletedField = 30;
constexpr size_t kCommentField = 32;

} // namespace

TEST(ZooWalk, CorpusArchivesListEveryFile) {
    struct Row {
        const char* file;
        std::vector<std::pair<std::string, int64_t>> entries;
    } rows[] = {
        {"pascalvault_lh5.ZOO", {{"test.txt", 4121}}},
        {"patool_t.zoo", {{"t.txt", 2}, {"t2.txt", 2}}},
        {"zoo210_dirs.zoo",
         {{"deep\\a\\b\\c\\leaf.txt", 300},
          {"dir one\\sub dir\\nested file.txt", 900},
          {"file with spaces.txt", 700},
          {"readme_crlf.txt", 4000}}},
        {"zoo210_lzw.zoo",
         {{"BIGTEXT.TXT", 200000},
          {"EMPTY.DAT", 0},
          {"NOTES.TXT", 2500},
          {"RANDOM.BIN", 8192},
          {"README.TXT", 4000}}},
        {"zoo210_stored.zoo", {{"RANDOM.BIN", 8192}, {"README.TXT", 4000}, {"SKEW.BIN", 19993}}},
    };
    for (const Row& row : rows) {
        const Listing l = ListArchive(kZoo + row.file);
        EXPECT_TRUE(l.activated) << row.file;
        EXPECT_TRUE(l.errors.empty()) << row.file;
        ASSERT_EQ(l.entries.size(), row.entries.size()) << row.file;
        EXPECT_EQ(l.totals, int32_t(row.entries.size())) << row.file;
        for (size_t i = 0; i < row.entries.size(); ++i) {
            EXPECT_EQ(l.entries[i].name, row.entries[i].first) << row.file;
            EXPECT_EQ(l.entries[i].size, row.entries[i].second) << row.file;
        }
    }
}

TEST(ZooWalk, EntryFields) {
    TVireo v;
    v.SetFileSpec({"*.*"});
    std::vector<TEntryInfo> seen;
    std::vector<int64_t> offsets;
    v.OnRead = [&](TZipCommon&, int64_t o, int32_t) {
        seen.push_back(v.EntryInfo);
        offsets.push_back(o);
    };
    v.SetArchiveFile(kZoo + "zoo210_lzw.zoo");
    ASSERT_TRUE(v.Activate());
    ASSERT_EQ(seen.size(), 5u);
    EXPECT_EQ(seen[0].MethodName, "Fastest");
    EXPECT_EQ(seen[0].PackedSize, 57068);
    EXPECT_EQ(seen[1].MethodName, "Stored");
    EXPECT_EQ(seen[0].VersionMadeBy, 1); // the version needed to extract it: 1.0
    EXPECT_EQ(seen[0].VersionNeeded, 0);
    EXPECT_LE(seen[0].CRC, 0xFFFFu);
    EXPECT_NEAR(seen[0].DateTime, EncodeDate(2021, 6, 15, 12, 34, 56), 1e-6);
    EXPECT_EQ(offsets, (std::vector<int64_t>{42, 57181, 57252, 58504, 66767}));

    const Listing lh5 = ListArchive(kZoo + "pascalvault_lh5.ZOO");
    EXPECT_EQ(lh5.entries.at(0).method, "Greatest");
}

TEST(ZooWalk, DeletedEntriesArePassedOver) {
    std::string zoo = ReadFileBytes(kZoo + "zoo210_stored.zoo");
    zoo[kSecondEntry + kDeletedField] = 1;
    TempDir dir;
    const Listing l = ListArchive(dir.Write("d.zoo", zoo));
    EXPECT_EQ(Names(l), (std::vector<std::string>{"RANDOM.BIN", "SKEW.BIN"}));
    EXPECT_EQ(l.totals, 2);
}

TEST(ZooWalk, EntryCommentsReachFileComment) {
    std::string zoo = ReadFileBytes(kZoo + "zoo210_stored.zoo");
    const std::string comment = "the second file";
    zoo.replace(kSecondEntry + kCommentField, 6,
                Le32(uint32_t(zoo.size())) + Le16(uint16_t(comment.size())));
    zoo += comment;
    TempDir dir;
    TVireo v;
    v.SetFileSpec({"*.*"});
    std::vector<std::string> comments;
    v.OnRead = [&](TZipCommon&, int64_t, int32_t) { comments.push_back(v.FileComment); };
    v.SetArchiveFile(dir.Write("c.zoo", zoo));
    ASSERT_TRUE(v.Activate());
    EXPECT_EQ(comments, (std::vector<std::string>{"", comment, ""}));
}

TEST(ZooWalk, LoopingChainsEnd) {
    TempDir dir;
    const std::string original = ReadFileBytes(kZoo + "zoo210_stored.zoo");
    for (uint32_t target : {42u, uint32_t(kSecondEntry), 0x7FFFFFFFu}) {
        std::string zoo = original;
        zoo.replace(kSecondEntry + kNextField, 4, Le32(target));
        const Listing l = ListArchive(dir.Write("loop.zoo", zoo));
        EXPECT_EQ(Names(l), (std::vector<std::string>{"RANDOM.BIN", "README.TXT"})) << target;
        EXPECT_TRUE(l.activated);
    }
}

TEST(ZooWalk, BadArchiveHeaderListsNothing) {
    std::string zoo = ReadFileBytes(kZoo + "patool_t.zoo");
    zoo[28] ^= 1; // the first-entry position and its negation no longer agree
    TempDir dir;
    const Listing l = ListArchive(dir.Write("h.zoo", zoo));
    EXPECT_TRUE(l.entries.empty());
    EXPECT_EQ(l.totals, 0);
}

TEST(ZooWalk, OldEntriesUseTheShortName) {
    // A zoo 1.x entry (type 1) has no variable part: the 8.3 name is all there is.
    std::string zoo = ReadFileBytes(kZoo + "zoo210_dirs.zoo");
    zoo[348 + 4] = 1;
    TempDir dir;
    const Listing l = ListArchive(dir.Write("old.zoo", zoo));
    ASSERT_EQ(l.entries.size(), 4u);
    EXPECT_EQ(l.entries[1].name, "nestedff.txt");
}

TEST(ZooWalk, MutationSweepNeverLeavesTheArchive) {
    // Flip each byte of the headers in turn: every name listed is one of the
    // archive's or the walk stopped; nothing may crash or hang.
    const std::string whole = ReadFileBytes(kZoo + "zoo210_dirs.zoo");
    TempDir dir;
    for (size_t at = 0; at < 420; ++at) {
        std::string zoo = whole;
        zoo[at] = char(zoo[at] ^ 0xA5);
        const Listing l = ListArchive(dir.Write("m.zoo", zoo));
        EXPECT_LE(l.entries.size(), 4u) << "flip at " << at;
    }
}

TEST(ZooWalk, TruncationSweep) {
    EXPECT_EQ(testing_support::ExpectCutsListKnownNames(ReadFileBytes(kZoo + "zoo210_dirs.zoo"),
                                                        "w.zoo", 500, 53)
                  .size(),
              4u);
}
