// Guards the RAR walk (RAR 1.5-4 and RAR 5) against lost or doubled entries: files
// split over volumes of either naming scheme, directories and links listed as
// files, names in RAR 3's Unicode form, encrypted headers, and damaged headers
// that crash or hang the walk.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/vroBytes.h"
#include "vroWalkTestsB.h"

namespace {

using walk_tests::kCorpus;
using walk_tests::ListBytes;
using walk_tests::Names;
using Strings = std::vector<std::string>;

struct Expected {
    std::string name;
    int64_t size;
    int64_t packed;
};

struct CorpusCase {
    const char* file;
    std::vector<Expected> entries;
};

void ExpectEntries(const testing_support::Listing& l, const CorpusCase& c) {
    ASSERT_EQ(l.entries.size(), c.entries.size()) << c.file;
    for (size_t i = 0; i < c.entries.size(); ++i) {
        EXPECT_EQ(l.entries[i].name, c.entries[i].name) << c.file;
        EXPECT_EQ(l.entries[i].size, c.entries[i].size) << c.file;
        EXPECT_EQ(l.entries[i].packed, c.entries[i].packed) << c.file;
    }
}

const std::string kAccented = "sub\\\xC3\xBC\xC8\xB5\xC4\xA9\xC3\xB6\xE1\xB8\x8B\xC3\xA8\\file.txt";

TEST(RarWalk, ListsRealArchives) {
    const CorpusCase cases[] = {
        // A Unix link and two directories are no file entries.
        {"rar/libarchive_test_read_format_rar.rar",
         {{"test.txt", 20, 20}, {"testdir\\test.txt", 20, 20}}},
        {"rar/rarfile_rar15-comment.rar", {{"FILE1.TXT", 7, 7}, {"FILE2.TXT", 8, 8}}},
        // RAR 3 Unicode names: Cyrillic, and letters outside the 16-bit plane.
        {"rar/rarfile_unicode.rar",
         {{"\xD1\x83\xD0\xB8\xD0\xB8\xD0\xBE\xD0\xBE\xD1\x82\xD0\xB8\xD0\xB2\xD0\xBB.txt", 2, 17},
          {"\xF0\x9D\x90\x80\xF0\x9D\x90\x81\xF0\x9D\x90\x81\xF0\x9D\x90\x82.txt", 2, 13}}},
        {"rar/rarfile_rar3-subdirs.rar",
         {{"sub\\dir2\\file2.txt", 6, 6},
          {"sub\\with space\\long fn.txt", 8, 8},
          {kAccented, 5, 5},
          {"sub\\dir1\\file1.txt", 6, 6}}},
        {"rar/rarfile_rar5-subdirs.rar",
         {{"sub\\dir2\\file2.txt", 6, 6},
          {"sub\\with space\\long fn.txt", 8, 8},
          {kAccented, 5, 5},
          {"sub\\dir1\\file1.txt", 6, 6}}},
        // Self-extractors: detection points at the archive behind the stub.
        {"rar/libarchive_test_read_format_rar_sfx.exe",
         {{"test.txt", 16, 16}, {"testshortcut.lnk", 441, 327}, {"testdir\\test.txt", 16, 16}}},
        {"rar/rarfile_rar5-crc.sfx", {{"stest1.txt", 2048, 55}, {"stest2.txt", 2048, 2048}}},
    };
    for (const CorpusCase& c : cases)
        ExpectEntries(testing_support::ListArchive(kCorpus + c.file), c);
}

// Each set is opened at its first volume; every file is reported once, with the
// packed sizes of its parts summed (stored files: packed equals unpacked).
TEST(RarWalk, FollowsFilesThroughVolumes) {
    struct VolumeCase {
        CorpusCase expected;
        int volumes;
    };
    const VolumeCase cases[] = {
        {{"rar/rarfile_rar3-vols.part1.rar",
          {{"vols\\bigfile.txt", 205000, 205000}, {"vols\\smallfile.txt", 2050, 2050}}},
         3},
        {{"rar/rarfile_rar5-vols.part1.rar",
          {{"vols\\bigfile.txt", 205000, 205000}, {"vols\\smallfile.txt", 2050, 2050}}},
         3},
        {{"rar/libarchive_test_read_format_rar5_multiarchive.part01.rar",
          {{"home\\antek\\temp\\build\\unrar5\\libarchive\\bin\\bsdcat_test", 144608, 38912},
           {"home\\antek\\temp\\build\\unrar5\\libarchive\\bin\\bsdtar_test", 365672, 75586}}},
         8},
        {{"rar/libarchive_test_read_format_rar_multivolume.part0001.rar",
          {{"ppmd_lzss_conversion_test.txt", 241647978, 176602},
           {"LibarchiveAddingTest.html", 20111, 5874},
           {"testdir\\test.txt", 20, 33},
           {"testdir\\LibarchiveAddingTest.html", 20111, 5874}}},
         4},
    };
    for (const VolumeCase& c : cases) {
        Strings requested;
        const auto l = testing_support::ListArchive(kCorpus + c.expected.file, [&](vro::TVireo& v) {
            v.OnNextVolume = [&](vro::TZipCommon&, std::string& name, const std::string&,
                                 bool exists, bool& cancel) {
                requested.push_back(std::filesystem::path(name).filename().string());
                cancel = !exists;
            };
        });
        ExpectEntries(l, c.expected);
        EXPECT_EQ(requested.size(), static_cast<size_t>(c.volumes - 1)) << c.expected.file;
        EXPECT_EQ(l.totals, static_cast<int32_t>(c.expected.entries.size()));
    }
}

// The same volumes named x.rar, x.r00, x.r01 are found by the old scheme.
TEST(RarWalk, FindsOldStyleVolumeNames) {
    testing_support::TempDir dir;
    const char* parts[] = {"part1", "part2", "part3"};
    const char* names[] = {"x.rar", "x.r00", "x.r01"};
    for (int i = 0; i < 3; ++i)
        dir.Write(names[i], walk_tests::CorpusBytes(std::string("rar/rarfile_rar3-vols.") +
                                                    parts[i] + ".rar"));
    Strings requested;
    const auto l = testing_support::ListArchive(dir / "x.rar", [&](vro::TVireo& v) {
        v.OnNextVolume = [&](vro::TZipCommon&, std::string& name, const std::string&, bool exists,
                             bool& cancel) {
            requested.push_back(std::filesystem::path(name).filename().string());
            cancel = !exists;
        };
    });
    EXPECT_EQ(requested, (Strings{"x.r00", "x.r01"}));
    EXPECT_EQ(Names(l), (Strings{"vols\\bigfile.txt", "vols\\smallfile.txt"}));
}

// A refused volume: the split file is not reported and the walk ends there.
TEST(RarWalk, RefusedVolumeEndsTheWalk) {
    for (const char* file :
         {"rar/rarfile_rar3-vols.part1.rar", "rar/rarfile_rar5-vols.part1.rar"}) {
        const auto l = testing_support::ListArchive(kCorpus + file, [](vro::TVireo& v) {
            v.OnNextVolume = [](vro::TZipCommon&, std::string&, const std::string&, bool,
                                bool& cancel) { cancel = true; };
        });
        EXPECT_TRUE(l.entries.empty()) << file;
        EXPECT_EQ(l.totals, 0) << file;
    }
}

TEST(RarWalk, DirectoriesOnlyWithShowBlankDirs) {
    const auto l = testing_support::ListArchive(kCorpus + "rar/libarchive_test_read_format_rar.rar",
                                                [](vro::TVireo& v) { v.ShowBlankDirs = true; });
    EXPECT_EQ(Names(l), (Strings{"test.txt", "testdir\\test.txt", "testdir\\", "testemptydir\\"}));
    EXPECT_EQ(l.totals, 2);
    const auto l5 = testing_support::ListArchive(kCorpus + "rar/rarfile_rar5-subdirs.rar",
                                                 [](vro::TVireo& v) { v.ShowBlankDirs = true; });
    EXPECT_EQ(l5.entries.size(), 10u);
    EXPECT_EQ(l5.totals, 4);
}

TEST(RarWalk, MarksEncryptedFiles) {
    const auto l = testing_support::ListArchive(kCorpus + "rar/rarfile_rar3-comment-psw.rar");
    ASSERT_EQ(l.entries.size(), 2u);
    EXPECT_TRUE(l.entries[0].encrypted && l.entries[1].encrypted);
    EXPECT_FALSE(
        testing_support::ListArchive(kCorpus + "rar/patool_t.rar").entries.at(0).encrypted);
}

// ---------------------------------------------------------------------------
// Hand-built RAR 5 archives (header CRCs are not checked by a listing, so 0).

std::string Vint(uint64_t v) {
    std::string out;
    do {
        out += static_cast<char>((v & 0x7F) | (v > 0x7F ? 0x80 : 0));
        v >>= 7;
    } while (v);
    return out;
}

std::string Header5(uint64_t type, uint64_t flags, const std::string& fields,
                    const std::string& extra = {}, const std::string& data = {}) {
    if (!extra.empty()) flags |= 0x0001;
    if (!data.empty()) flags |= 0x0002;
    std::string body = Vint(type) + Vint(flags);
    if (!extra.empty()) body += Vint(extra.size());
    if (!data.empty()) body += Vint(data.size());
    body += fields + extra;
    return std::string(4, '\0') + Vint(body.size()) + body + data;
}

std::string File5(const std::string& name, const std::string& data, const std::string& extra = {}) {
    const std::string fields =
        Vint(0) + Vint(data.size()) + Vint(0x20) + Vint(0) + Vint(0) + Vint(name.size()) + name;
    return Header5(2, 0, fields, extra, data);
}

const std::string kMarker5("Rar!\x1A\x07\x01\x00", 8);
const std::string kMain5 = Header5(1, 0, Vint(0));
const std::string kEnd5 = Header5(5, 0, Vint(0));

std::string Record(uint64_t type, const std::string& data) {
    const std::string body = Vint(type) + data;
    return Vint(body.size()) + body;
}

TEST(RarWalk, ReadsRar5ExtraRecords) {
    const std::string archive = kMarker5 + kMain5 +
                                File5("secret.txt", "xxxx", Record(0x01, Vint(0) + Vint(0))) +
                                File5("link", "", Record(0x05, Vint(1) + Vint(0) + Vint(1) + "t")) +
                                File5("plain.txt", "yy") + kEnd5;
    const auto l = ListBytes(archive, "x.rar");
    ASSERT_EQ(Names(l), (Strings{"secret.txt", "plain.txt"}));
    EXPECT_TRUE(l.entries[0].encrypted);
    EXPECT_FALSE(l.entries[1].encrypted);
}

// Headers this listing cannot or must not read: nothing is listed, nothing breaks.
TEST(RarWalk, EncryptedHeadersListNothing) {
    const std::string rar5 = kMarker5 +
                             Header5(4, 0, Vint(0) + Vint(0) + Vint(15) + std::string(16, 's')) +
                             std::string(200, '\x5A');
    std::string rar4("Rar!\x1A\x07\x00", 7);
    rar4 += std::string("\0\0\x73\x80\x00\x0D\x00", 7) + std::string(6, '\0'); // main, 0x0080
    rar4 += std::string(200, '\x5A');
    for (const std::string& archive : {rar5, rar4}) {
        const auto l = ListBytes(archive, "e.rar");
        EXPECT_TRUE(l.entries.empty());
        EXPECT_TRUE(l.errors.empty());
    }
}

struct DamageCase {
    const char* label;
    std::string damaged;
};

class Rar5DamagedHeader : public testing::TestWithParam<DamageCase> {};

// A good file, then a damaged header: the walk lists the first and ends.
TEST_P(Rar5DamagedHeader, EndsTheWalkAfterTheGoodEntry) {
    const std::string archive =
        kMarker5 + kMain5 + File5("good", "1") + GetParam().damaged + std::string(64, '\0');
    EXPECT_EQ(Names(ListBytes(archive, "bad.rar")), Strings{"good"});
}

INSTANTIATE_TEST_SUITE_P(
    Walk, Rar5DamagedHeader,
    testing::Values(
        DamageCase{"SizeFieldOverThreeBytes", std::string(4, '\0') + std::string(8, '\xFF')},
        DamageCase{"HeaderPastTheFile", std::string(4, '\0') + Vint(100000) + "\x02"},
        DamageCase{"ExtraAreaLargerThanHeader",
                   std::string(4, '\0') + Vint(4) + Vint(2) + Vint(1) + Vint(90) + Vint(0)},
        DamageCase{
            "NameLongerThanHeader",
            Header5(2, 0, Vint(0) + Vint(0) + Vint(0) + Vint(0) + Vint(0) + Vint(200) + "n")},
        DamageCase{"ZeroHeaderSize", std::string(4, '\0') + Vint(0)}),
    [](const testing::TestParamInfo<DamageCase>& i) { return i.param.label; });

// ---------------------------------------------------------------------------
// Hand-built RAR 1.5-4 blocks: head (CRC, type, flags, size), then the type's fields.

std::string Block4(uint8_t type, uint16_t flags, const std::string& fields) {
    std::string b(7, '\0');
    b[2] = static_cast<char>(type);
    vro::PutLE16(reinterpret_cast<uint8_t*>(&b[3]), flags);
    vro::PutLE16(reinterpret_cast<uint8_t*>(&b[5]), static_cast<uint16_t>(7 + fields.size()));
    return b + fields;
}

std::string File4(const std::string& name, const std::string& data) {
    std::string f(25, '\0'); // offsets 7 to 31 of the header
    auto* p = reinterpret_cast<uint8_t*>(f.data()) - 7;
    vro::PutLE32(p + 7, static_cast<uint32_t>(data.size()));
    vro::PutLE32(p + 11, static_cast<uint32_t>(data.size()));
    p[15] = 2;   // Windows
    p[24] = 29;  // version
    p[25] = '0'; // stored
    vro::PutLE16(p + 26, static_cast<uint16_t>(name.size()));
    vro::PutLE32(p + 28, 0x20);
    return Block4(0x74, 0x8000, f + name) + data;
}

const std::string kMarker4("Rar!\x1A\x07\x00", 7);
const std::string kMain4 = Block4(0x73, 0x0001, std::string(6, '\0')); // a volume
// End of archive, with the data CRC and volume number fields RAR 3 adds.
std::string End4(uint16_t flags) {
    return Block4(0x7B, 0x4000 | flags, std::string(13, '\0'));
}

// A volume that ends on a file boundary says so in its end block; the next file
// starts in the next volume.
TEST(RarWalk, GoesOnAfterAVolumeEndingBetweenFiles) {
    struct Set {
        std::string first, second;
    };
    const Set sets[] = {
        {kMarker4 + kMain4 + File4("a.txt", "aaaa") + End4(0x0001),
         kMarker4 + kMain4 + File4("b.txt", "bb") + End4(0)},
        {kMarker5 + kMain5 + File5("a.txt", "aaaa") + Header5(5, 0, Vint(1)),
         kMarker5 + kMain5 + File5("b.txt", "bb") + kEnd5},
    };
    for (const Set& set : sets) {
        testing_support::TempDir dir;
        dir.Write("v.part1.rar", set.first);
        dir.Write("v.part2.rar", set.second);
        const auto l = testing_support::ListArchive(dir / "v.part1.rar");
        EXPECT_EQ(Names(l), (Strings{"a.txt", "b.txt"}));
    }
}

TEST(RarWalk, SurvivesTruncationAtEveryOffset) {
    walk_tests::ExpectEveryTruncationListsAPrefix(walk_tests::CorpusBytes("rar/patool_t.rar"),
                                                  "cut.rar");
    walk_tests::ExpectEveryTruncationListsAPrefix(
        walk_tests::CorpusBytes("rar/libarchive_test_read_format_rar.rar"), "cut.rar");
    walk_tests::ExpectEveryTruncationListsAPrefix(
        walk_tests::CorpusBytes("rar/rarfile_rar5-subdirs.rar"), "cut.rar");
}

} // namespace
