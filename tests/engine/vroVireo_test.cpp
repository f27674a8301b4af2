// Guards the catalogue's run and its ZIP walk: refusals, directory-or-local-header
// mode, ZIP64 and name rules, totals, cancel, and damaged headers ending the walk
// with what was read.
#include <gtest/gtest.h>

#include "engine/vroVireo.h"
#include "support/Listing.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

using namespace vro;
using testing_support::ListArchive;
using testing_support::Listing;
using testing_support::Names;
using testing_support::TempDir;
using testing_support::ZipBuilder;
using testing_support::ZipEntrySpec;

namespace {

std::string TwoFilesAndADirectory() {
    return ZipBuilder()
        .Add({.name = "docs/", .externalAttr = 0x10})
        .Add({.name = "docs/readme.txt", .data = "hello", .comment = "first"})
        .Add({.name = "src/main.c", .data = "int main;", .extra = std::string("\x99\x99\2\0xy", 6)})
        .Build();
}

} // namespace

TEST(Catalogue, CentralDirectoryWithDirectoriesOnlyOnRequest) {
    TempDir dir;
    const std::string path = dir.Write("a.zip", TwoFilesAndADirectory());
    const Listing plain = ListArchive(path);
    EXPECT_TRUE(plain.activated);
    EXPECT_EQ(Names(plain), (std::vector<std::string>{"docs\\readme.txt", "src\\main.c"}));
    EXPECT_EQ(plain.totals, 2);
    EXPECT_EQ(plain.entries[1].offset, 35 + 30 + 15 + 5); // its local header

    const Listing withDirs = ListArchive(path, [](TVireo& v) { v.ShowBlankDirs = true; });
    EXPECT_EQ(Names(withDirs).front(), "docs\\");
    EXPECT_EQ(withDirs.entries.front().method, "Stored");
    EXPECT_EQ(withDirs.totals, 2); // the directory is shown, not counted
}

TEST(Catalogue, DamagedDirectoryFallsBackToLocalHeaders) {
    std::string zip = TwoFilesAndADirectory();
    zip[zip.find("PK\1\2") + 3] = 9; // the first central header loses its signature
    TempDir dir;
    const std::string path = dir.Write("d.zip", zip);

    int raised = 0;
    uint8_t flags = 0;
    const Listing local = ListArchive(path, [&](TVireo& v) {
        v.OnCorruptZipHeader = [&](TZipCommon&, uint8_t headFlag, bool& cancel) {
            ++raised, flags = headFlag;
            cancel = false;
        };
    });
    EXPECT_EQ(raised, 1);
    EXPECT_EQ(flags, zfEndRecord | zfLocalHeaders); // no central header
    EXPECT_EQ(Names(local),
              (std::vector<std::string>{"docs\\", "docs\\readme.txt", "src\\main.c"}));

    const Listing refused = ListArchive(path, [](TVireo& v) {
        v.OnCorruptZipHeader = [](TZipCommon&, uint8_t, bool&) {}; // Cancel left set
    });
    EXPECT_TRUE(refused.entries.empty());
}

TEST(Catalogue, WrongFirstSignatureReportsBadHeaderOnce) {
    std::string zip = ZipBuilder().Add({.name = "a.txt", .data = "x"}).Build();
    zip[zip.find("PK\1\2") + 2] = 'X';
    zip[2] = 'X'; // no local header either
    TempDir dir;
    const Listing l = ListArchive(dir.Write("b.zip", std::string(3, '\0') + zip));
    EXPECT_TRUE(l.entries.empty());
    EXPECT_EQ(l.errors, std::vector<int32_t>{E_BADHEADER});
    EXPECT_EQ(l.totals, 0);
}

TEST(Catalogue, LongNamesCommentsAndSpecMasks) {
    const std::string longName = "deep\\" + std::string(300, 'n') + ".txt";
    std::string stored = longName;
    std::replace(stored.begin(), stored.end(), '\\', '/');
    TempDir dir;
    const std::string path =
        dir.Write("l.zip", ZipBuilder()
                               .Add({.name = stored, .data = "1"})
                               .Add({.name = "x/notes.TXT", .data = "22", .comment = "c"})
                               .Add({.name = "y/image.bmp", .data = "333"})
                               .Build());
    EXPECT_EQ(Names(ListArchive(path)).front(), longName);
    const Listing txt = ListArchive(path, [](TVireo& v) { v.SetFileSpec({"*.txt"}); });
    EXPECT_EQ(Names(txt), (std::vector<std::string>{longName, "x\\notes.TXT"}));
}

TEST(Catalogue, NamesByFlagHostAndUnicodeField) {
    const std::string utf8 = "m\xC3\xBCnze.txt"; // münze.txt
    const std::string oem = "caf\x82.txt";       // café.txt in CP437
    const uint32_t oemCrc = ZipBuilder::Crc32(oem);
    const std::string unicodeField = std::string("\x75\x70", 2) +
                                     testing_support::Le16(5 + utf8.size()) + "\1" +
                                     testing_support::Le32(oemCrc) + utf8;
    TempDir dir;
    const std::string path =
        dir.Write("n.zip", ZipBuilder()
                               .Add({.name = utf8, .flags = 0x0800})         // flagged UTF-8
                               .Add({.name = utf8, .versionMadeBy = 0x031E}) // Unix host
                               .Add({.name = oem})                           // DOS host: OEM
                               .Add({.name = oem, .extra = unicodeField})    // Unicode path
                               .Add({.name = oem, .versionMadeBy = 0x031E})  // not UTF-8: OEM
                               .Build());
    EXPECT_EQ(Names(ListArchive(path)),
              (std::vector<std::string>{utf8, utf8, "caf\xC3\xA9.txt", utf8, "caf\xC3\xA9.txt"}));
}

TEST(Catalogue, CancelFromTheFirstEntry) {
    TempDir dir;
    const std::string path = dir.Write("c.zip", TwoFilesAndADirectory());
    TVireo v;
    v.SetFileSpec({"*.*"});
    int reads = 0, totals = -1;
    v.OnRead = [&](TZipCommon& s, int64_t, int32_t) { ++reads, s.SetCancel(true); };
    v.OnTotals = [&](TZipCommon&, int32_t n) { totals = n; };
    v.SetArchiveFile(path);
    EXPECT_TRUE(v.Activate());
    EXPECT_EQ(reads, 1);
    EXPECT_EQ(totals, 1);
}

TEST(Catalogue, Refusals) {
    TempDir dir;
    struct Row {
        const char* label;
        std::string path;
        bool assignOnRead;
        int32_t code;
        const char* msgEx;
    } rows[] = {
        {"missing file", dir / "none.zip", true, E_FILENOTFOUND, ""},
        {"no OnRead", dir.Write("a.zip", TwoFilesAndADirectory()), false, E_REQUIREDEVENT,
         "OnRead"},
        {"not an archive", dir.Write("t.txt", std::string(100, 't')), true, E_UNKNOWNTYPE, ""},
    };
    for (const Row& r : rows) {
        TVireo v;
        std::vector<std::pair<int32_t, std::string>> errors;
        v.OnError = [&](TZipCommon&, const std::string&, const std::string& msgEx,
                        const std::string&, int32_t code) { errors.emplace_back(code, msgEx); };
        if (r.assignOnRead) v.OnRead = [](TZipCommon&, int64_t, int32_t) {};
        v.SetArchiveFile(r.path);
        EXPECT_FALSE(v.Activate()) << r.label;
        ASSERT_EQ(errors.size(), 1u) << r.label;
        EXPECT_EQ(errors[0], std::make_pair(r.code, std::string(r.msgEx))) << r.label;
    }
}

TEST(Catalogue, CommentWindowIsClamped) {
    TVireo v;
    EXPECT_EQ(v.ZipCmntBufSize(), 32000);
    v.SetZipCmntBufSize(100);
    EXPECT_EQ(v.ZipCmntBufSize(), 2000);
    v.SetZipCmntBufSize(40000);
    EXPECT_EQ(v.ZipCmntBufSize(), 32767);
}

// Truncating a real archive anywhere must end the walk with a subset of its
// entries: never a crash, a hang or an entry that is not in the archive.
TEST(Catalogue, TruncationSweepOverARealZip) {
    testing_support::ExpectCutsListKnownNames(
        testing_support::ReadFileBytes(BRINDLE_TEST_DATA "/corpus/zip/infozip_comments.zip"),
        "w.zip", 0, 7);
}
