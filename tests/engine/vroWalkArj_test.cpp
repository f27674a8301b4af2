// Guards the ARJ catalogue walk: the corpus archives (DOS- and Unix-made, garbled,
// every method) list completely with their dates and names; a file split over two
// or three volumes is reported once with summed sizes, after one request per
// volume, and a missing volume ends the walk with the part that was read; a
// damaged main header is "Bad file header"; directories show only on request;
// extended headers are passed over; cut files end quietly.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/vroDates.h"
#include "engine/vroVireo.h"
#include "support/Bytes.h"
#include "support/Listing.h"
#include "support/ScopedTimeZone.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::Le16;
using testing_support::Le32;
using testing_support::ListArchive;
using testing_support::Listing;
using testing_support::Names;
using testing_support::ReadFileBytes;
using testing_support::ScopedTimeZone;
using testing_support::TempDir;

namespace {

const std::string kArj = BRINDLE_TEST_DATA "/corpus/arj/";

constexpr uint32_t kDosDateTime = 0x52CF6479; // 2021-06-15 12:35:50

// A header: id, basic header size, basic header, its CRC (not checked by the
// walk), the extended headers given, and the 0 that ends them.
std::string Header(const std::string& basic, const std::string& extended = "") {
    return "\x60\xEA" + Le16(uint16_t(basic.size())) + basic + Le32(0) + extended + Le16(0);
}

struct LocalSpec {
    std::string name{};
    std::string data{};
    uint8_t flags = 0;
    uint8_t method = 0;
    uint8_t fileType = 0;
    uint8_t hostOs = 0;
    uint32_t original = 0xFFFFFFFF; // the data size unless given
    uint16_t accessMode = 0x20;
    std::string extended{};
};

// The 30-byte first header of ARJ's technical note, then the name and an empty comment.
std::string Basic(const LocalSpec& s) {
    std::string b;
    b += char(30); // first header size
    b += char(11); // archiver version
    b += char(1);  // minimum version
    b += char(s.hostOs);
    b += char(s.flags);
    b += char(s.method);
    b += char(s.fileType);
    b += '\0'; // reserved
    b += Le32(kDosDateTime);
    b += Le32(uint32_t(s.data.size()));
    b += Le32(s.original == 0xFFFFFFFF ? uint32_t(s.data.size()) : s.original);
    b += Le32(0x12345678); // CRC-32
    b += Le16(0);          // entry name position
    b += Le16(s.accessMode);
    b += Le16(0); // host data
    return b + s.name + '\0' + '\0';
}

std::string Local(const LocalSpec& s) {
    return Header(Basic(s), s.extended) + s.data;
}

std::string Main(const std::string& name) {
    return Header(Basic({.name = name, .fileType = 2}));
}

const std::string kEnd("\x60\xEA\0\0", 4);

struct CorpusRow {
    const char* file;
    size_t count;
    const char* someName;
    int64_t itsSize;
    const char* itsMethod;
    bool encrypted;
};

} // namespace

TEST(ArjWalk, CorpusArchivesListEveryFile) {
    const CorpusRow rows[] = {
        {"arj_m0.arj", 8, "subdir\\nested\\inner.txt", 900, "Stored", false},
        {"arj_m1.arj", 8, "big_text.txt", 200000, "Most", false},
        {"arj_m3.arj", 8, "readme_crlf.txt", 4000, "2nd Fast", false},
        {"arj_full_m2.arj", 11, "dir one\\sub dir\\nested file.txt", 900, "2nd Most", false},
        {"arj_full_m4.arj", 11, "big_text.txt", 200000, "Fastest", false},
        {"arj_garbled_pw-secret.arj", 3, "random.bin", 24576, "Most", true},
        {"pascalvault_store.ARJ", 1, "TEST.TXT", 4121, "Stored", false},
        {"patool_t.arj", 1, "t\\t.txt", 2, "Stored", false},
    };
    for (const CorpusRow& row : rows) {
        const Listing l = ListArchive(kArj + row.file);
        EXPECT_TRUE(l.activated) << row.file;
        EXPECT_TRUE(l.errors.empty()) << row.file;
        EXPECT_EQ(l.entries.size(), row.count) << row.file;
        EXPECT_EQ(l.totals, int32_t(row.count)) << row.file;
        const auto it = std::find_if(l.entries.begin(), l.entries.end(),
                                     [&](const auto& e) { return e.name == row.someName; });
        ASSERT_NE(it, l.entries.end()) << row.file << ": " << row.someName;
        EXPECT_EQ(it->size, row.itsSize) << row.file;
        EXPECT_EQ(it->method, row.itsMethod) << row.file;
        EXPECT_EQ(it->encrypted, row.encrypted) << row.file;
    }
}

TEST(ArjWalk, NamesInOemAndInUtf8) {
    // arj_m0 was made from CP437 name bytes, arj_full_m2 from UTF-8 ones.
    const std::vector<std::string> oem = Names(ListArchive(kArj + "arj_m0.arj"));
    EXPECT_NE(std::find(oem.begin(), oem.end(),
                        "caf\xC3\xA9_\xC3\x91"
                        "and\xC3\xBA.txt"),
              oem.end());
    const std::vector<std::string> utf8 = Names(ListArchive(kArj + "arj_full_m2.arj"));
    EXPECT_NE(std::find(utf8.begin(), utf8.end(), "m\xC3\xBCnze_\xE2\x82\xAC.txt"), utf8.end());
}

TEST(ArjWalk, DatesAndAttributesByHost) {
    ScopedTimeZone utc("UTC0");
    struct Seen {
        TDateTime date;
        uint32_t external;
        int16_t internal;
    };
    const auto first = [](const std::string& path) {
        TVireo v;
        v.SetFileSpec({"*.*"});
        std::vector<Seen> seen;
        v.OnRead = [&](TZipCommon&, int64_t, int32_t) {
            seen.push_back(
                {v.EntryInfo.DateTime, v.EntryInfo.ExternalAttr, v.EntryInfo.InternalAttr});
        };
        v.SetArchiveFile(path);
        v.Activate();
        return seen.at(0);
    };
    // Made on Unix: a Unix time stamp and a Unix mode (0100644).
    const Seen unixMade = first(kArj + "arj_m1.arj");
    EXPECT_NEAR(unixMade.date, EncodeDate(2021, 6, 15, 12, 34, 56), 1e-6);
    EXPECT_EQ(unixMade.external, 0x20u);
    EXPECT_EQ(unixMade.internal, 0x11A4);
    // Made on DOS: DOS date-time and attributes.
    const Seen dosMade = first(kArj + "pascalvault_store.ARJ");
    EXPECT_NEAR(dosMade.date, EncodeDate(2023, 10, 19, 13, 41, 50), 1e-6);
    EXPECT_EQ(dosMade.external, 0x20u);
}

TEST(ArjWalk, TwoVolumeSetReportsTheSplitFileOnce) {
    int requests = 0;
    std::vector<std::string> volumeIds;
    std::vector<std::string> volumes;
    const Listing l = ListArchive(kArj + "arj_multivolume_m1.arj", [&](TVireo& v) {
        v.OnNextVolume = [&](TZipCommon&, std::string& name, const std::string& id, bool exists,
                             bool& cancel) {
            ++requests;
            volumeIds.push_back(id);
            volumes.push_back(std::filesystem::path(name).filename().string());
            cancel = !exists;
        };
    });
    EXPECT_EQ(requests, 1);
    EXPECT_EQ(volumeIds, std::vector<std::string>{"1"});
    EXPECT_EQ(volumes, std::vector<std::string>{"arj_multivolume_m1.a01"});
    EXPECT_EQ(Names(l),
              (std::vector<std::string>{"random.bin", "big_text.txt", "file with spaces.txt"}));
    EXPECT_EQ(l.entries[1].size, 59385 + 140615);
    EXPECT_EQ(l.entries[1].packed, 14546 + 33010);
    EXPECT_EQ(l.entries[1].offset, 68); // the last part's header, in the second volume
    EXPECT_EQ(l.totals, 3);
}

TEST(ArjWalk, MissingVolumeEndsWithThePartRead) {
    // No handler: the split file shows with its first part and the walk ends.
    const Listing alone =
        ListArchive(kArj + "arj_multivolume_m1.arj", [](TVireo& v) { v.OnNextVolume = nullptr; });
    EXPECT_TRUE(alone.activated);
    EXPECT_EQ(Names(alone), (std::vector<std::string>{"random.bin", "big_text.txt"}));
    EXPECT_EQ(alone.entries[1].size, 59385);
    EXPECT_EQ(alone.totals, 2);

    // A handler that cancels ends the same way.
    const Listing cancelled = ListArchive(kArj + "arj_multivolume_m1.arj", [](TVireo& v) {
        v.OnNextVolume = [](TZipCommon&, std::string&, const std::string&, bool, bool&) {};
    });
    EXPECT_EQ(cancelled.totals, 2);
}

TEST(ArjWalk, ThreeVolumesTwoRequestsSummedSizes) {
    TempDir dir;
    dir.Write("set.arj", Main("set.arj") + Local({.name = "a.txt", .data = "aaaa"}) +
                             Local({.name = "b.bin", .data = "b1", .flags = 0x04, .original = 10}) +
                             kEnd);
    dir.Write("set.a01",
              Main("set.a01") +
                  Local({.name = "b.bin", .data = "b2b2", .flags = 0x0C, .original = 20}) + kEnd);
    dir.Write("set.a02", Main("set.a02") +
                             Local({.name = "b.bin", .data = "b3", .flags = 0x08, .original = 30}) +
                             Local({.name = "c.txt", .data = "c"}) + kEnd);
    std::vector<std::string> asked;
    std::string volumeOfB;
    const Listing l = ListArchive(dir / "set.arj", [&](TVireo& v) {
        v.OnNextVolume = [&](TZipCommon&, std::string& name, const std::string&, bool exists,
                             bool& cancel) {
            asked.push_back(std::filesystem::path(name).filename().string());
            cancel = !exists;
        };
        auto listed = v.OnRead;
        v.OnRead = [&v, listed, &volumeOfB](TZipCommon& s, int64_t o, int32_t n) {
            if (v.EntryInfo.FileName == "b.bin") volumeOfB = v.EntryInfo.VolumeName;
            listed(s, o, n);
        };
    });
    EXPECT_EQ(asked, (std::vector<std::string>{"set.a01", "set.a02"}));
    EXPECT_EQ(Names(l), (std::vector<std::string>{"a.txt", "b.bin", "c.txt"}));
    EXPECT_EQ(l.entries[1].size, 60);
    EXPECT_EQ(l.entries[1].packed, 8);
    EXPECT_EQ(std::filesystem::path(volumeOfB).filename(), "set.a02");
    EXPECT_EQ(l.totals, 3);
}

TEST(ArjWalk, VolumeNamesFollowTheCaseOfTheExtensionAndRestartPerRun) {
    TempDir dir;
    std::filesystem::copy_file(kArj + "arj_multivolume_m1.arj", dir / "SET.ARJ");
    std::filesystem::copy_file(kArj + "arj_multivolume_m1.a01", dir / "SET.A01");
    TVireo v;
    v.SetFileSpec({"*.*"});
    int listed = 0;
    v.OnRead = [&](TZipCommon&, int64_t, int32_t) { ++listed; };
    v.OnNextVolume = [](TZipCommon&, std::string&, const std::string&, bool exists, bool& cancel) {
        cancel = !exists;
    };
    v.SetArchiveFile(dir / "SET.ARJ");
    ASSERT_TRUE(v.Activate());
    EXPECT_EQ(listed, 3);
    listed = 0;
    ASSERT_TRUE(v.Activate()); // the second run asks for SET.A01 again
    EXPECT_EQ(listed, 3);
}

TEST(ArjWalk, DamagedMainHeaderIsBadFileHeader) {
    std::string arj = ReadFileBytes(kArj + "patool_t.arj");
    arj[2] = 0, arj[3] = 0; // main header size 0
    TempDir dir;
    const Listing l = ListArchive(dir.Write("bad.arj", arj));
    EXPECT_FALSE(l.activated);
    EXPECT_EQ(l.errors, std::vector<int32_t>{E_BADHEADER});
    EXPECT_TRUE(l.entries.empty());
}

TEST(ArjWalk, DirectoriesOnlyOnRequestAndExtendedHeadersPassedOver) {
    const std::string ext = Le16(5) + "extra" + Le32(0) + Le16(3) + "two" + Le32(0);
    TempDir dir;
    const std::string path = dir.Write(
        "d.arj", Main("d.arj") + Local({.name = "docs", .fileType = 3, .accessMode = 0x10}) +
                     Local({.name = "docs/a.txt", .data = "abc", .extended = ext}) +
                     Local({.name = "label", .fileType = 4}) +
                     Local({.name = "b.txt", .data = "b"}) + kEnd);
    const Listing files = ListArchive(path);
    EXPECT_EQ(Names(files), (std::vector<std::string>{"docs\\a.txt", "b.txt"}));
    EXPECT_EQ(files.totals, 2);

    const Listing dirs = ListArchive(path, [](TVireo& v) {
        v.ShowBlankDirs = true;
        v.SetFileSpec({"*.txt"}); // directories are shown without the mask
    });
    EXPECT_EQ(Names(dirs), (std::vector<std::string>{"docs\\", "docs\\a.txt", "b.txt"}));
    EXPECT_EQ(dirs.entries[0].method, "Stored");
    EXPECT_EQ(dirs.totals, 2);
}

TEST(ArjWalk, HostileHeadersEndTheWalk) {
    TempDir dir;
    // A basic header size beyond ARJ's 2600-byte limit.
    std::string big = Main("h.arj") + Local({.name = "a.txt", .data = "a"});
    big += "\x60\xEA" + Le16(2601) + std::string(2601, 'x') + kEnd;
    EXPECT_EQ(Names(ListArchive(dir.Write("big.arj", big))), std::vector<std::string>{"a.txt"});

    // Extended headers without end.
    std::string ext;
    for (int i = 0; i < 300; ++i)
        ext += Le16(1) + "e" + Le32(0);
    const std::string endless = Main("e.arj") + Local({.name = "a.txt", .data = "a"}) +
                                Local({.name = "b.txt", .data = "b", .extended = ext}) + kEnd;
    EXPECT_EQ(Names(ListArchive(dir.Write("ext.arj", endless))), std::vector<std::string>{"a.txt"});

    // A name without its zero byte is cut at the header's end.
    std::string basic = Basic({.name = "c.txt", .data = ""});
    basic.resize(basic.size() - 2);
    const Listing unterminated =
        ListArchive(dir.Write("u.arj", Main("u.arj") + Header(basic) + kEnd));
    EXPECT_EQ(Names(unterminated), std::vector<std::string>{"c.txt"});
}

TEST(ArjWalk, TruncationSweep) {
    EXPECT_EQ(testing_support::ExpectCutsListKnownNames(ReadFileBytes(kArj + "arj_m1.arj"), "w.arj",
                                                        700, 211)
                  .size(),
              8u);
}
