// Guards the LHA walk against wrong names and sizes across header levels 0-3 and
// their extended headers, directories or links listed as files, and damaged
// headers whose sizes point past the header or the file.
#include <gtest/gtest.h>

#include "engine/vroBytes.h"
#include "vroWalkTestsB.h"

namespace {

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

// Sizes from the corpus manifest; packed sizes as the headers give them (level 1
// counts its extended headers in the packed size, the listing does not).
TEST(LhaWalk, ListsEveryHeaderLevel) {
    const CorpusCase cases[] = {
        {"lha/libarchive_test_read_format_lha_header0.lzh", {{"file1", 60, 34}, {"file2", 78, 34}}},
        {"lha/libarchive_test_read_format_lha_header1.lzh", {{"file1", 60, 34}, {"file2", 78, 34}}},
        {"lha/libarchive_test_read_format_lha_header2.lzh", {{"file1", 60, 34}, {"file2", 78, 34}}},
        {"lha/libarchive_test_read_format_lha_header3.lzh", {{"file1", 60, 36}, {"file2", 78, 36}}},
        {"lha/lhasa_explzh_723_h1_subdir.lzh", {{"subdir\\subdir2\\hello.txt", 12, 12}}},
        {"lha/lhasa_lha_x68k_213_h2_subdir.lzh", {{"subdir\\subdir2\\HELLO.TXT", 12, 12}}},
        // LHa for OS-9 leaves the size field out of the level-2 header size.
        {"lha/lhasa_lha_osk_201_h2_lh1.lzh", {{"gpl-2", 18092, 7208}}},
        // A self-extractor: detection points at the first header behind the stub.
        // Its DOS writer stored the name in capitals only; it lists in lower case.
        {"lha/lhasa_lharc113_sfx.com", {{"gpl-2", 18092, 7518}}},
        // Shift-JIS names keep their bytes, shown in the OEM code page.
        {"lha/libarchive_test_read_format_lha_filename_cp932.lzh",
         {{"\xC3\xA8\xE2\x94\x90\xC3\x84\xC3\x9C.txt", 8, 8}, {"\xC3\xB2\\.txt", 4, 4}}},
    };
    for (const CorpusCase& c : cases) {
        const auto l = testing_support::ListArchive(walk_tests::kCorpus + c.file);
        ASSERT_EQ(l.entries.size(), c.entries.size()) << c.file;
        for (size_t i = 0; i < c.entries.size(); ++i) {
            EXPECT_EQ(l.entries[i].name, c.entries[i].name) << c.file;
            EXPECT_EQ(l.entries[i].size, c.entries[i].size) << c.file;
            EXPECT_EQ(l.entries[i].packed, c.entries[i].packed) << c.file;
        }
    }
}

// -lhd- entries are directories (shown only with ShowBlankDirs, not counted);
// LHa for UNIX's "name|target" links under -lhd- are never listed.
TEST(LhaWalk, DirectoriesOnlyWithShowBlankDirsAndNoLinks) {
    for (const char* file : {"lha/libarchive_test_read_format_lha_header0.lzh",
                             "lha/libarchive_test_read_format_lha_header2.lzh"}) {
        const auto l = testing_support::ListArchive(walk_tests::kCorpus + file,
                                                    [](vro::TVireo& v) { v.ShowBlankDirs = true; });
        EXPECT_EQ(Names(l), (Strings{"dir\\", "dir2\\", "file1", "file2"})) << file;
        EXPECT_EQ(l.totals, 2) << file;
    }
}

// ---------------------------------------------------------------------------
// Hand-built level-2 headers: total size, method, sizes, Unix time, level 2,
// CRC-16, OS id, then extended headers (type, data, size of the next).

struct Extended {
    uint8_t type;
    std::string data;
};

std::string Level2(const std::string& method, const std::vector<Extended>& extended,
                   const std::string& data) {
    std::string h(26, '\0');
    method.copy(&h[2], 5);
    auto* p = reinterpret_cast<uint8_t*>(h.data());
    vro::PutLE32(p + 7, static_cast<uint32_t>(data.size()));
    vro::PutLE32(p + 11, static_cast<uint32_t>(data.size()));
    vro::PutLE32(p + 15, 1623760496);
    h[19] = 0x20;
    h[20] = 2;
    h[23] = 'U';
    std::string chain;
    for (size_t i = 0; i < extended.size(); ++i) {
        const Extended& e = extended[i];
        const uint16_t size = static_cast<uint16_t>(e.data.size() + 3);
        if (i == 0)
            vro::PutLE16(p + 24, size);
        else
            vro::PutLE16(reinterpret_cast<uint8_t*>(&chain[chain.size() - 2]), size);
        chain += static_cast<char>(e.type) + e.data + std::string(2, '\0');
    }
    h += chain;
    vro::PutLE16(reinterpret_cast<uint8_t*>(h.data()), static_cast<uint16_t>(h.size()));
    return h + data;
}

std::string Named(const std::string& name, const std::string& data = "abc",
                  const std::string& method = "-lh0-") {
    return Level2(method, {{0x00, "\x12\x34"}, {0x01, name}}, data);
}

struct MethodCase {
    const char* id;
    const char* name;
};

TEST(LhaWalk, NamesMethodsByTheLhFamilyDigit) {
    const MethodCase cases[] = {
        {"-lh0-", "Stored"}, {"-lh5-", "Frozen-5"}, {"-lh7-", "Unknown"},
        {"-lz4-", "Stored"}, {"-lzs-", "Unknown"},  {"-lz5-", "Unknown"},
    };
    for (const MethodCase& c : cases) {
        const auto l = ListBytes(Named("f", "abc", c.id) + '\0', "m.lzh");
        ASSERT_EQ(l.entries.size(), 1u) << c.id;
        EXPECT_EQ(l.entries[0].method, c.name) << c.id;
    }
}

// A level-2 header of exactly 256 bytes has a size byte of 0 that is no end mark.
TEST(LhaWalk, ReadsALevel2HeaderOf256Bytes) {
    const std::string first = Named(std::string(222, 'n'));
    ASSERT_EQ(vro::GetLE16(reinterpret_cast<const uint8_t*>(first.data())), 256);
    EXPECT_EQ(Names(ListBytes(Named("a") + first + Named("z") + '\0', "pad.lzh")),
              (Strings{"a", std::string(222, 'n'), "z"}));
}

TEST(LhaWalk, DirectoryHeaderPrefixesTheName) {
    const std::string archive = Level2("-lh0-",
                                       {{0x02, "a\xFF"
                                               "b/c\\ "},
                                        {0x01, "x.txt"},
                                        {0x40, "\x20\x00"}},
                                       "data") +
                                '\0';
    EXPECT_EQ(Names(ListBytes(archive, "d.lzh")), Strings{"a\\b\\c\\x.txt"});
}

struct DamageCase {
    const char* label;
    std::string damaged;
};

class LhaDamagedHeader : public testing::TestWithParam<DamageCase> {};

// A good entry, then a damaged one: the walk lists the first and ends.
TEST_P(LhaDamagedHeader, EndsTheWalkAfterTheGoodEntry) {
    const std::string archive = Named("good") + GetParam().damaged + std::string(64, '\0');
    EXPECT_EQ(Names(ListBytes(archive, "bad.lzh")), Strings{"good"});
}

std::string WithByte(std::string s, size_t at, char value) {
    s[at] = value;
    return s;
}

std::string Level3WithTotal(uint32_t total) {
    std::string h(32, '\0');
    auto* p = reinterpret_cast<uint8_t*>(h.data());
    h[0] = 4;
    std::string("-lh0-").copy(&h[2], 5);
    h[19] = 0x20;
    h[20] = 3;
    vro::PutLE32(p + 24, total);
    return h;
}

INSTANTIATE_TEST_SUITE_P(
    Walk, LhaDamagedHeader,
    testing::Values(
        // The first extended header claims more than the header holds.
        DamageCase{"ExtendedSizePastHeader", WithByte(Named("bad"), 24, '\x7F')},
        // An extended header smaller than its own type and size fields.
        DamageCase{"ExtendedSizeTooSmall", WithByte(Named("bad"), 24, '\x02')},
        DamageCase{"Level2TotalBelowBase", WithByte(WithByte(Named("bad"), 0, 20), 1, 0)},
        DamageCase{"Level3TotalPastFile", Level3WithTotal(0xFFFFFFF0)},
        DamageCase{"Level3TotalBelowBase", Level3WithTotal(8)},
        // Level 0: a name longer than the header.
        DamageCase{"Level0NamePastHeader", std::string("\x16\x00-lh0-", 7) + std::string(13, '\0') +
                                               '\0' + '\xF0' + std::string(40, 'n')},
        DamageCase{"UnknownLevel", WithByte(Named("bad"), 20, 7)},
        DamageCase{"NotAMethodIdentifier", WithByte(Named("bad"), 2, 'x')}),
    [](const testing::TestParamInfo<DamageCase>& i) { return i.param.label; });

TEST(LhaWalk, SurvivesTruncationAtEveryOffset) {
    for (const char* file : {"lha/libarchive_test_read_format_lha_header1.lzh",
                             "lha/libarchive_test_read_format_lha_header3.lzh"})
        walk_tests::ExpectEveryTruncationListsAPrefix(walk_tests::CorpusBytes(file), "cut.lzh");
}

// An archive wrapped in MacBinary (a 128-byte header whose first byte is 0) is
// read from behind the wrapper when the start offset points at the wrapper.
TEST(LhaWalk, SkipsAMacBinaryWrapper) {
    std::string macBinary(128, '\0');
    macBinary[1] = 8;
    std::string("test.txt").copy(&macBinary[2], 8);
    testing_support::TempDir dir;
    const std::string path =
        dir.Write("mac.lzh", macBinary + walk_tests::CorpusBytes("lha/pascalvault_h0_lh1.LZH"));
    vro::TVireo v;
    v.SetFileSpec({"*.*"});
    Strings names;
    v.OnRead = [&](vro::TZipCommon&, int64_t, int32_t) { names.push_back(v.EntryInfo.FileName); };
    v.SetArchiveFile(path);
    v.StartOffset = 1;
    v.Activate();
    EXPECT_EQ(names, Strings{"test.txt"});
}

} // namespace
