// Guards the ACE catalogue walk: every corpus set (ACE 1.0 and 2.0 headers,
// comments, adverts, passwords, solid and blocked archives, 223 files in nested
// folders, a two-volume set) lists exactly its files; directories show only on
// request; a file split over two or three volumes is reported once with the
// packed sizes summed, after one request per volume, and a missing volume ends
// the walk with the part read; recovery records and 64-bit file headers are
// understood; lying header sizes and cut files end the walk quietly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/vroDates.h"
#include "engine/vroVireo.h"
#include "support/Bytes.h"
#include "support/Listing.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::Le16;
using testing_support::Le32;
using testing_support::Le64;
using testing_support::ListArchive;
using testing_support::Listing;
using testing_support::Names;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

namespace {

const std::string kAce = BRINDLE_TEST_DATA "/corpus/ace/";

constexpr uint16_t kAddSize = 0x0001;
constexpr uint16_t kContinuedFromPrevious = 0x1000;
constexpr uint16_t kContinuedInNext = 0x2000;

// A header: CRC-16 (not checked by the walk), the size of what follows, the rest.
std::string Header(const std::string& body) {
    return Le16(0) + Le16(uint16_t(body.size())) + body;
}

// ACE 2.0 main header with the advert length byte (0) the real ones end with.
std::string Main(uint8_t volume = 0) {
    return Header(char(0) + Le16(0x0100) + "**ACE**" + char(20) + char(20) + char(2) +
                  char(volume) + Le32(0x52CF6479) + std::string(8, '\0') + char(0));
}

struct FileSpec {
    std::string name{};
    std::string data{};
    uint16_t flags = 0;
    uint32_t original = 0xFFFFFFFF; // the data size unless given
    uint32_t attributes = 0x20;
    uint8_t method = 1;  // LZ77
    uint8_t quality = 3; // normal
    bool wide = false;   // a FILE64 header
};

std::string File(const FileSpec& f) {
    const uint64_t original = f.original == 0xFFFFFFFF ? f.data.size() : f.original;
    std::string body = char(f.wide ? 3 : 1) + Le16(uint16_t(f.flags | kAddSize | (f.wide ? 4 : 0)));
    body += f.wide ? Le64(f.data.size()) + Le64(original)
                   : Le32(uint32_t(f.data.size())) + Le32(uint32_t(original));
    body += Le32(0x52CF6479) + Le32(f.attributes) + Le32(0xC0FFEE00) + char(f.method) +
            char(f.quality) + Le16(0x000A) + Le16(0) + Le16(uint16_t(f.name.size())) + f.name;
    return Header(body) + f.data;
}

struct CorpusRow {
    const char* file;
    size_t count;
    const char* someName;
    int64_t itsSize;
    const char* itsMethod;
};

} // namespace

TEST(AceWalk, CorpusSetsListEveryFile) {
    const CorpusRow rows[] = {
        {"sflock_ace_nested.ace", 1, "b00\\ace.txt", 8, "Stored"},
        {"sflock_ace_plain.ace", 1, "ace.txt", 8, "Stored"},
        {"unace_ALCHT.ACE", 1, "slots.crd", 103688, "Best"},
        {"unace_ZGFX2.ace", 223, "ZGFX2\\InGame\\FontIR.DSL", 2360, "Normal"},
        {"unace_onefile.ace", 1, "CHANGES.LOG", 38729, "Normal"},
        {"unace_trps.ace", 1, "CRT30KG.exe", 13312, "Good"},
        {"unace_zdir.ace", 20, "zman\\man1\\xx\\mmmmmm\\fsckme.flg", 24, "Stored"},
        {"unace_multivol2.ace", 37, "multivol2\\ftpdmin.exe", 65536, "Normal"},
        {"unace_passwd2.ace", 1, "passwd2.m4", 15859, "Best"},
    };
    for (const CorpusRow& row : rows) {
        const Listing l = ListArchive(kAce + row.file);
        EXPECT_TRUE(l.activated) << row.file;
        EXPECT_TRUE(l.errors.empty()) << row.file;
        EXPECT_EQ(l.entries.size(), row.count) << row.file;
        EXPECT_EQ(l.totals, int32_t(row.count)) << row.file;
        const auto it = std::find_if(l.entries.begin(), l.entries.end(),
                                     [&](const auto& e) { return e.name == row.someName; });
        ASSERT_NE(it, l.entries.end()) << row.file << ": " << row.someName;
        EXPECT_EQ(it->size, row.itsSize) << row.file;
        EXPECT_EQ(it->method, row.itsMethod) << row.file;
    }
}

TEST(AceWalk, EntryFields) {
    TVireo v;
    v.SetFileSpec({"*.*"});
    std::vector<TEntryInfo> seen;
    std::vector<int64_t> offsets;
    v.OnRead = [&](TZipCommon&, int64_t o, int32_t) {
        seen.push_back(v.EntryInfo);
        offsets.push_back(o);
    };
    v.SetArchiveFile(kAce + "unace_passwd2.ace");
    ASSERT_TRUE(v.Activate());
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].Encrypted);
    EXPECT_EQ(seen[0].PackedSize, 48);
    EXPECT_EQ(seen[0].MethodCode, 5); // the quality byte
    EXPECT_EQ(seen[0].VersionMadeBy, 20);
    EXPECT_EQ(seen[0].VersionNeeded, 20);
    EXPECT_EQ(seen[0].ExternalAttr, 0x20u);
    EXPECT_EQ(offsets[0], 83); // after a main header with a comment

    seen.clear();
    v.SetArchiveFile(kAce + "unace_ALCHT.ACE"); // ACE 1.0, made by ACE 1.2
    ASSERT_TRUE(v.Activate());
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_FALSE(seen[0].Encrypted);
    EXPECT_EQ(seen[0].VersionMadeBy, 12);
    EXPECT_EQ(seen[0].VersionNeeded, 10);
    EXPECT_NEAR(seen[0].DateTime, EncodeDate(2000, 12, 10, 13, 3, 30), 1e-6);
}

TEST(AceWalk, DirectoriesOnlyOnRequestAndUncounted) {
    const Listing plain = ListArchive(kAce + "unace_ZGFX2.ace");
    EXPECT_EQ(plain.entries.size(), 223u);
    for (const auto& e : plain.entries)
        EXPECT_EQ(e.name.rfind("ZGFX2\\", 0), 0u) << e.name;

    const Listing dirs = ListArchive(kAce + "unace_ZGFX2.ace", [](TVireo& v) {
        v.ShowBlankDirs = true;
        v.SetFileSpec({"*.pal"}); // directories are shown without the mask
    });
    std::vector<std::string> shown;
    for (const auto& e : dirs.entries)
        if (e.name.ends_with("\\")) shown.push_back(e.name);
    EXPECT_EQ(shown,
              (std::vector<std::string>{"ZGFX2\\", "ZGFX2\\emptydir\\", "ZGFX2\\extra\\",
                                        "ZGFX2\\extra\\sub\\", "ZGFX2\\InGame\\", "ZGFX2\\Map\\"}));
    EXPECT_EQ(dirs.totals, int32_t(dirs.entries.size() - 6));

    const Listing zdir =
        ListArchive(kAce + "unace_zdir.ace", [](TVireo& v) { v.ShowBlankDirs = true; });
    EXPECT_EQ(zdir.entries.size(), 30u);
    EXPECT_EQ(zdir.totals, 20);
}

TEST(AceWalk, TwoVolumeSetReportsTheSplitFileOnce) {
    std::vector<std::string> asked, ids;
    std::string volumeOfSplit;
    const Listing l = ListArchive(kAce + "unace_multivol2.ace", [&](TVireo& v) {
        v.OnNextVolume = [&](TZipCommon&, std::string& name, const std::string& id, bool exists,
                             bool& cancel) {
            asked.push_back(std::filesystem::path(name).filename().string());
            ids.push_back(id);
            cancel = !exists;
        };
        auto listed = v.OnRead;
        v.OnRead = [&v, listed, &volumeOfSplit](TZipCommon& s, int64_t o, int32_t n) {
            if (v.EntryInfo.FileName == "multivol2\\sdl2.m4")
                volumeOfSplit = v.EntryInfo.VolumeName;
            listed(s, o, n);
        };
    });
    EXPECT_EQ(asked, std::vector<std::string>{"unace_multivol2.c00"});
    EXPECT_EQ(ids, std::vector<std::string>{"0"});
    ASSERT_EQ(l.entries.size(), 37u);
    const auto split = std::find_if(l.entries.begin(), l.entries.end(),
                                    [](const auto& e) { return e.name == "multivol2\\sdl2.m4"; });
    ASSERT_NE(split, l.entries.end());
    EXPECT_EQ(split->size, 8060);
    EXPECT_EQ(split->packed, 1316 + 40);
    EXPECT_EQ(split->offset, 64232); // its first part, in the first volume
    EXPECT_EQ(std::filesystem::path(volumeOfSplit).filename(), "unace_multivol2.ace");
    EXPECT_EQ(l.totals, 37);
}

TEST(AceWalk, MissingVolumeEndsWithThePartRead) {
    const Listing l =
        ListArchive(kAce + "unace_multivol2.ace", [](TVireo& v) { v.OnNextVolume = nullptr; });
    EXPECT_TRUE(l.activated);
    ASSERT_EQ(l.entries.size(), 21u);
    EXPECT_EQ(l.entries.back().name, "multivol2\\sdl2.m4");
    EXPECT_EQ(l.entries.back().packed, 1316);
    EXPECT_EQ(l.totals, 21);

    // The second volume on its own: the continued part is no entry of its own.
    const Listing second = ListArchive(kAce + "unace_multivol2.c00");
    EXPECT_EQ(second.entries.size(), 16u);
}

TEST(AceWalk, ThreeVolumesUpperCaseNames) {
    TempDir dir;
    dir.Write(
        "SET.ACE",
        Main() + File({.name = "a.txt", .data = "aaaa"}) +
            File({.name = "b.bin", .data = "b1", .flags = kContinuedInNext, .original = 100}));
    dir.Write("SET.C00", Main(1) + File({.name = "b.bin",
                                         .data = "b2b2",
                                         .flags = kContinuedFromPrevious | kContinuedInNext,
                                         .original = 100}));
    dir.Write(
        "SET.C01",
        Main(2) +
            File(
                {.name = "b.bin", .data = "b3", .flags = kContinuedFromPrevious, .original = 100}) +
            File({.name = "c.txt", .data = "c"}));
    std::vector<std::string> asked;
    const Listing l = ListArchive(dir / "SET.ACE", [&](TVireo& v) {
        v.OnNextVolume = [&](TZipCommon&, std::string& name, const std::string&, bool exists,
                             bool& cancel) {
            asked.push_back(std::filesystem::path(name).filename().string());
            cancel = !exists;
        };
    });
    EXPECT_EQ(asked, (std::vector<std::string>{"SET.C00", "SET.C01"}));
    EXPECT_EQ(Names(l), (std::vector<std::string>{"a.txt", "b.bin", "c.txt"}));
    EXPECT_EQ(l.entries[1].size, 100);
    EXPECT_EQ(l.entries[1].packed, 8);
    EXPECT_EQ(l.totals, 3);

    // The last volume on its own lists only what starts there.
    EXPECT_EQ(Names(ListArchive(dir / "SET.C01")), std::vector<std::string>{"c.txt"});
}

TEST(AceWalk, RecoveryRecordsAndWideHeaders) {
    const std::string recovery =
        Header(char(2) + Le16(kAddSize) + Le32(10) + std::string(4, 'r')) + std::string(10, 'R');
    const std::string ace =
        Main() + File({.name = "first.txt", .data = "1"}) + recovery +
        File({.name = "wide.bin", .data = "wwww", .original = 70000, .wide = true}) +
        File({.name = "last.txt", .data = "", .method = 0});
    TempDir dir;
    const Listing l = ListArchive(dir.Write("r.ace", ace));
    EXPECT_EQ(Names(l), (std::vector<std::string>{"first.txt", "wide.bin", "last.txt"}));
    EXPECT_EQ(l.entries[1].size, 70000);
    EXPECT_EQ(l.entries[1].packed, 4);
    EXPECT_EQ(l.entries[2].method, "Stored");
}

TEST(AceWalk, LyingHeadersEndTheWalk) {
    TempDir dir;
    // A name longer than its header.
    std::string longName = Main() + File({.name = "a.txt", .data = "a"}) + File({.name = "b.txt"});
    longName.replace(longName.size() - 5 - 2, 2, Le16(200));
    EXPECT_EQ(Names(ListArchive(dir.Write("n.ace", longName))), std::vector<std::string>{"a.txt"});

    // A header too short for the file fields.
    const std::string shortHeader = Main() + File({.name = "a.txt", .data = "a"}) +
                                    Header(char(1) + Le16(kAddSize)) + File({.name = "c.txt"});
    EXPECT_EQ(Names(ListArchive(dir.Write("s.ace", shortHeader))),
              std::vector<std::string>{"a.txt"});

    // A 64-bit packed size far past the end.
    std::string huge = Main() + File({.name = "a.txt", .data = "a"}) +
                       File({.name = "h.bin", .data = "h", .wide = true}) + File({.name = "z.txt"});
    const size_t wideHeader = huge.find("h.bin") - 43; // 4 + 39 bytes of wide fields
    huge.replace(wideHeader + 7, 8, Le64(0x7FFFFFFFFFFFFFF0ull));
    EXPECT_EQ(Names(ListArchive(dir.Write("h.ace", huge))),
              (std::vector<std::string>{"a.txt", "h.bin"}));
}

TEST(AceWalk, TruncationSweep) {
    EXPECT_EQ(testing_support::ExpectCutsListKnownNames(ReadFileBytes(kAce + "unace_zdir.ace"),
                                                        "w.ace", 400, 97)
                  .size(),
              20u);
}
