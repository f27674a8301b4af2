// Guards the ARC and PAK catalogue walk: every corpus archive lists completely with
// ARC's method names; ARC folders (method 30 ... 1A 1F) prefix their entries and
// return to the parent; the old 25-byte stored header; PAK's own method names;
// and damaged or hostile chains (folders nested without end, cut files) ending
// the walk with entries that are really there.
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

constexpr uint16_t kDate = (41 << 9) | (6 << 5) | 15;   // 2021-06-15
constexpr uint16_t kTime = (12 << 11) | (34 << 5) | 28; // 12:34:56

// One ARC header (29 bytes) and its data: 1A, method, name[13], packed size,
// date, time, CRC-16, original size.
std::string Entry(uint8_t method, const std::string& name, const std::string& data,
                  uint32_t original = 0xFFFFFFFF) {
    std::string n = name.substr(0, 12);
    n.resize(13, '\0');
    return std::string("\x1A") + char(method) + n + Le32(uint32_t(data.size())) + Le16(kDate) +
           Le16(kTime) + Le16(0xBEEF) +
           Le32(original == 0xFFFFFFFF ? uint32_t(data.size()) : original) + data;
}

// A folder header: its packed size covers the nested chain and the closing 1A 1F.
std::string Folder(const std::string& name, const std::string& chain) {
    return Entry(30, name, chain + "\x1A\x1F");
}

const std::string kEnd("\x1A\x00", 2);

struct CorpusRow {
    const char* file;
    std::vector<std::pair<std::string, int64_t>> entries; // name, original size
    std::vector<std::string> methods;
};

} // namespace

TEST(ArcWalk, CorpusArchivesListEveryFile) {
    const CorpusRow rows[] = {
        {"arc521_auto.arc",
         {{"BIGTEXT.TXT", 200000},
          {"EMPTY.DAT", 0},
          {"NOTES.TXT", 2500},
          {"RANDOM.BIN", 8192},
          {"README.TXT", 4000},
          {"RUNS.BIN", 30000},
          {"SKEW.BIN", 19993}},
         {"Crunched", "Stored", "Crunched", "Stored", "Crunched", "Crunched", "Squeezed"}},
        {"arc521_garbled_pw-secret.arc",
         {{"NOTES.TXT", 2500}, {"README.TXT", 4000}},
         {"Crunched", "Crunched"}},
        {"arc521_squash_b.arc",
         {{"NOTES.TXT", 2500}, {"RANDOM.BIN", 8192}, {"RUNS.BIN", 30000}, {"SKEW.BIN", 19993}},
         {"Squashed", "Stored", "Packed", "Squeezed"}},
        {"pascalvault_store.ARC", {{"TEST.TXT", 4121}}, {"Stored"}},
        {"patool_t.arc", {{"t.txt", 2}, {"t2.txt", 2}}, {"Stored", "Stored"}},
    };
    for (const CorpusRow& row : rows) {
        const Listing l = ListArchive(std::string(BRINDLE_TEST_DATA "/corpus/arc/") + row.file);
        EXPECT_TRUE(l.activated) << row.file;
        EXPECT_TRUE(l.errors.empty()) << row.file;
        ASSERT_EQ(l.entries.size(), row.entries.size()) << row.file;
        EXPECT_EQ(l.totals, int32_t(row.entries.size())) << row.file;
        for (size_t i = 0; i < row.entries.size(); ++i) {
            EXPECT_EQ(l.entries[i].name, row.entries[i].first) << row.file;
            EXPECT_EQ(l.entries[i].size, row.entries[i].second) << row.file;
            EXPECT_EQ(l.entries[i].method, row.methods[i]) << row.file;
            EXPECT_EQ(l.entries[i].attributes, 0x20u) << row.file;
        }
    }
}

TEST(ArcWalk, EntryFieldsOfTheStoredSample) {
    TVireo v;
    v.SetFileSpec({"*.*"});
    TEntryInfo seen;
    int64_t offset = -1;
    v.OnRead = [&](TZipCommon&, int64_t o, int32_t) { seen = v.EntryInfo, offset = o; };
    v.SetArchiveFile(BRINDLE_TEST_DATA "/corpus/arc/pascalvault_store.ARC");
    ASSERT_TRUE(v.Activate());
    EXPECT_EQ(offset, 0);
    EXPECT_EQ(seen.PackedSize, 4121);
    EXPECT_EQ(seen.MethodCode, 2);
    EXPECT_EQ(seen.InternalAttr, 0x20);
    EXPECT_NE(seen.CRC, 0u);
    EXPECT_LE(seen.CRC, 0xFFFFu); // CRC-16
    EXPECT_NEAR(seen.DateTime, EncodeDate(2023, 10, 19, 13, 41, 50), 1e-6);
}

TEST(ArcWalk, FoldersPrefixTheirEntriesAndCloseBackToTheParent) {
    const std::string arc = Entry(2, "TOP.TXT", "top") +
                            Folder("SUB", Entry(2, "IN.TXT", "inner") +
                                              Folder("DEEP", Entry(8, "LEAF.TXT", "leaf", 9))) +
                            Entry(2, "LAST.TXT", "last") + kEnd;
    TempDir dir;
    const std::string path = dir.Write("f.arc", arc);
    const Listing l = ListArchive(path);
    EXPECT_EQ(Names(l), (std::vector<std::string>{"TOP.TXT", "SUB\\IN.TXT", "SUB\\DEEP\\LEAF.TXT",
                                                  "LAST.TXT"}));
    EXPECT_EQ(l.totals, 4);
    EXPECT_EQ(l.entries[2].size, 9);
    EXPECT_EQ(l.entries[2].method, "Crunched");

    // Folders show only on request, then before their entries and uncounted.
    const Listing dirs = ListArchive(path, [](TVireo& v) { v.ShowBlankDirs = true; });
    EXPECT_EQ(Names(dirs),
              (std::vector<std::string>{"TOP.TXT", "SUB\\", "SUB\\IN.TXT", "SUB\\DEEP\\",
                                        "SUB\\DEEP\\LEAF.TXT", "LAST.TXT"}));
    EXPECT_EQ(dirs.entries[1].method, "Dir");
    EXPECT_EQ(dirs.entries[1].attributes, 0x10u);
    EXPECT_EQ(dirs.entries[1].size, 0);
    EXPECT_EQ(dirs.totals, 4);

    // A mask tests the file-name part only, so folder entries never match it.
    const Listing leaf = ListArchive(path, [](TVireo& v) { v.SetFileSpec({"LEAF.*"}); });
    EXPECT_EQ(Names(leaf), std::vector<std::string>{"SUB\\DEEP\\LEAF.TXT"});
}

TEST(ArcWalk, OldStoredHeaderHasNoOriginalSize) {
    // Method 1 headers end after the CRC (25 bytes); the data follows at once.
    std::string old = Entry(2, "OLD.TXT", "");
    old = old.substr(0, 25);
    old[1] = 1;
    old.replace(15, 4, Le32(6));
    const std::string arc = old + "sixsix" + Entry(2, "NEXT.TXT", "n") + kEnd;
    TempDir dir;
    // Detection knows ARC by its usual first methods; a leading stored entry keeps it.
    const Listing l = ListArchive(dir.Write("o.arc", Entry(2, "FIRST.TXT", "f") + arc));
    EXPECT_EQ(Names(l), (std::vector<std::string>{"FIRST.TXT", "OLD.TXT", "NEXT.TXT"}));
    EXPECT_EQ(l.entries[1].size, 6);
    EXPECT_EQ(l.entries[1].method, "Stored");
}

TEST(ArcWalk, PakHasItsOwnMethodsAndNoFolders) {
    // PAK is told apart by its methods 10 and 11; method 30 is no folder there.
    const std::string pak = Entry(10, "CRUSH.TXT", "crushed!", 20) + Entry(11, "DIST.TXT", "d", 5) +
                            Entry(30, "ODD.TXT", "x") + kEnd;
    TempDir dir;
    const std::string path = dir.Write("p.pak", pak);
    TVireo probe;
    probe.SetArchiveFile(path);
    ASSERT_EQ(probe.ArcType(), atPak);
    const Listing l = ListArchive(path, [](TVireo& v) { v.ShowBlankDirs = true; });
    EXPECT_EQ(Names(l), (std::vector<std::string>{"CRUSH.TXT", "DIST.TXT", "ODD.TXT"}));
    EXPECT_EQ(l.entries[0].method, "Crushed");
    EXPECT_EQ(l.entries[1].method, "Distill");
    EXPECT_EQ(l.entries[2].attributes, 0x20u);
}

TEST(ArcWalk, WrongMarkerEndsTheWalkWithWhatWasRead) {
    std::string arc = Entry(2, "A.TXT", "a") + Entry(2, "B.TXT", "b") + kEnd;
    arc[30] = 0x1B; // the second header's marker
    TempDir dir;
    const Listing l = ListArchive(dir.Write("w.arc", arc));
    EXPECT_EQ(Names(l), std::vector<std::string>{"A.TXT"});
    EXPECT_TRUE(l.activated);
    EXPECT_TRUE(l.errors.empty());
}

TEST(ArcWalk, HostileFolderChainsEnd) {
    TempDir dir;
    // A close without an open is passed over.
    const Listing closes = ListArchive(dir.Write(
        "c.arc", Entry(2, "A.TXT", "a") + "\x1A\x1F\x1A\x1F" + Entry(2, "B.TXT", "b") + kEnd));
    EXPECT_EQ(Names(closes), (std::vector<std::string>{"A.TXT", "B.TXT"}));

    // Thousands of folders opened and never closed: the walk stops at its depth cap.
    std::string deep = Entry(2, "A.TXT", "a");
    for (int i = 0; i < 3000; ++i)
        deep += Entry(30, "D", "");
    deep += Entry(2, "LOST.TXT", "x") + kEnd;
    const Listing nested = ListArchive(dir.Write("n.arc", deep));
    EXPECT_EQ(Names(nested), std::vector<std::string>{"A.TXT"});

    // A packed size far past the end only ends the walk.
    std::string lying = Entry(2, "BIG.TXT", "b");
    lying.replace(15, 4, Le32(0xFFFFFFF0));
    const Listing big = ListArchive(dir.Write("b.arc", lying + Entry(2, "C.TXT", "c") + kEnd));
    EXPECT_EQ(Names(big), std::vector<std::string>{"BIG.TXT"});
}

// Cutting a real archive anywhere ends the walk with entries that are in it.
TEST(ArcWalk, TruncationSweep) {
    EXPECT_EQ(
        testing_support::ExpectCutsListKnownNames(
            ReadFileBytes(BRINDLE_TEST_DATA "/corpus/arc/arc521_squash_b.arc"), "w.arc", 128, 97)
            .size(),
        4u);
}
