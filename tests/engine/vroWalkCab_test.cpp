// Guards the cabinet walk against files of a cabinet set listed twice or lost,
// next-cabinet chains that loop, a cabinet embedded in other data, wrong method
// names for multi-folder cabinets, and damaged cabinets that crash the walk.
#include <gtest/gtest.h>

#include "engine/vroBytes.h"
#include "engine/vroErrors.h"
#include "vroWalkTestsB.h"

namespace {

using walk_tests::kCorpus;
using walk_tests::Names;
using Strings = std::vector<std::string>;

struct Expected {
    std::string name;
    int64_t size;
};

std::vector<Expected> NamesAndSizes(const testing_support::Listing& l) {
    std::vector<Expected> out;
    for (const auto& e : l.entries)
        out.push_back({e.name, e.size});
    return out;
}

bool operator==(const Expected& a, const Expected& b) {
    return a.name == b.name && a.size == b.size;
}

// Lists path, recording the names of the cabinets asked for.
testing_support::Listing ListSet(const std::string& path, Strings& requested, bool grant = true) {
    return testing_support::ListArchive(path, [&](vro::TVireo& v) {
        v.OnNextVolume = [&, grant](vro::TZipCommon&, std::string& name, const std::string&,
                                    bool exists, bool& cancel) {
            requested.push_back(name.substr(name.find_last_of('/') + 1));
            cancel = !(grant && exists);
        };
    });
}

// Files that run on into the next cabinet are listed once, where they start, as
// cabextract lists them; the set's stored names are "Split-N.CAB".
TEST(CabWalk, ListsCabinetSetsOnce) {
    Strings requested;
    const auto split = ListSet(kCorpus + "cab/split-1.cab", requested);
    EXPECT_EQ(NamesAndSizes(split), (std::vector<Expected>{{"small1.bin", 2000},
                                                           {"small2.bin", 8000},
                                                           {"medium1.bin", 40000},
                                                           {"medium2.bin", 50000},
                                                           {"small3.bin", 128},
                                                           {"medium3.bin", 40000}}));
    EXPECT_EQ(requested, (Strings{"split-2.cab", "split-3.cab", "split-4.cab", "split-5.cab"}));
    EXPECT_EQ(split.totals, 6);

    requested.clear();
    const auto pair = ListSet(kCorpus + "cab/test_read_format_cab_multi.p1.cab", requested);
    EXPECT_EQ(NamesAndSizes(pair), (std::vector<Expected>{{"ones", 512}}));
    EXPECT_EQ(requested, Strings{"test_read_format_cab_multi.p2.cab"});
}

TEST(CabWalk, NamesEachFilesOwnFolderMethod) {
    const auto l = testing_support::ListArchive(kCorpus + "cab/libmspack_mszip_lzx_qtm.cab");
    ASSERT_EQ(l.entries.size(), 3u);
    EXPECT_EQ(l.entries[0].method, "MsZIP");
    EXPECT_EQ(l.entries[1].method, "Lzx");
    EXPECT_EQ(l.entries[2].method, "Quantum");
}

// Several cabinets inside other data: the walk lists the first, where detection
// found it (its one file is itself a cabinet).
TEST(CabWalk, ListsTheCabinetAtTheStartOffset) {
    const auto l = testing_support::ListArchive(kCorpus + "cab/libmspack_search.cab");
    EXPECT_EQ(NamesAndSizes(l), (std::vector<Expected>{{"hello.cab", 84}}));
    ASSERT_EQ(l.entries.size(), 1u);
    EXPECT_EQ(l.entries[0].offset, 6 + 0x2C);
}

// ---------------------------------------------------------------------------
// Hand-built cabinets: a header, one stored folder, the file entries.

struct CabFile {
    std::string name;
    uint32_t size;
    uint16_t folder = 0;
};

std::string Cabinet(const std::vector<CabFile>& files, const std::string& next = {}) {
    std::string h(36, '\0');
    std::string("MSCF").copy(&h[0], 4);
    h[24] = 3;
    h[25] = 1;
    auto* p = reinterpret_cast<uint8_t*>(h.data());
    vro::PutLE16(p + 26, 1);
    vro::PutLE16(p + 28, static_cast<uint16_t>(files.size()));
    if (!next.empty()) {
        vro::PutLE16(p + 30, 0x0002);
        h += next + '\0' + "disk" + '\0';
    }
    h += std::string(8, '\0'); // the folder
    vro::PutLE32(reinterpret_cast<uint8_t*>(h.data()) + 16, static_cast<uint32_t>(h.size()));
    for (const CabFile& f : files) {
        std::string entry(16, '\0');
        auto* e = reinterpret_cast<uint8_t*>(entry.data());
        vro::PutLE32(e, f.size);
        vro::PutLE16(e + 8, f.folder);
        vro::PutLE16(e + 10, 0x4C21);
        vro::PutLE16(e + 14, 0x20);
        h += entry + f.name + '\0';
    }
    h += std::string(64, '\0'); // stands in for the data blocks
    vro::PutLE32(reinterpret_cast<uint8_t*>(h.data()) + 8, static_cast<uint32_t>(h.size()));
    return h;
}

constexpr uint16_t kToNext = 0xFFFE, kFromPrevious = 0xFFFD;

struct ChainCase {
    const char* label;
    std::vector<std::pair<std::string, std::string>> cabinets; // file name, bytes
    Strings names;
};

class CabChain : public testing::TestWithParam<ChainCase> {};

TEST_P(CabChain, ListsEachCabinetOnce) {
    testing_support::TempDir dir;
    for (const auto& [name, bytes] : GetParam().cabinets)
        dir.Write(name, bytes);
    Strings requested;
    const auto l = ListSet(dir / GetParam().cabinets.front().first, requested);
    EXPECT_EQ(Names(l), GetParam().names);
}

INSTANTIATE_TEST_SUITE_P(
    Walk, CabChain,
    testing::Values(
        ChainCase{"NextIsItself", {{"a.cab", Cabinet({{"a1", 5}}, "A.CAB")}}, {"a1"}},
        ChainCase{"TwoNameEachOther",
                  {{"a.cab", Cabinet({{"a1", 5}, {"split", 9, kToNext}}, "b.cab")},
                   {"b.cab", Cabinet({{"split", 9, kFromPrevious}, {"b1", 2}}, "a.cab")}},
                  {"a1", "split", "b1"}},
        ChainCase{"NextIsMissing", {{"a.cab", Cabinet({{"a1", 5}}, "gone.cab")}}, {"a1"}},
        ChainCase{"CabinetWithoutFilesIsPassed",
                  {{"a.cab", Cabinet({{"a1", 5}}, "b.cab")},
                   {"b.cab", Cabinet({}, "c.cab")},
                   {"c.cab", Cabinet({{"c1", 1}})}},
                  {"a1", "c1"}}),
    [](const testing::TestParamInfo<ChainCase>& i) { return i.param.label; });

TEST(CabWalk, RefusedOrBrokenNextCabinetEndsTheWalk) {
    testing_support::TempDir dir;
    dir.Write("a.cab", Cabinet({{"a1", 5}, {"split", 9, kToNext}}, "b.cab"));
    Strings requested;
    dir.Write("b.cab", "not a cabinet at all, just some text");
    const auto broken = ListSet(dir / "a.cab", requested);
    EXPECT_EQ(Names(broken), (Strings{"a1", "split"}));
    EXPECT_EQ(broken.errors, std::vector<int32_t>{vro::E_BADHEADER});

    const auto refused = ListSet(dir / "a.cab", requested, false);
    EXPECT_EQ(Names(refused), (Strings{"a1", "split"}));
    EXPECT_TRUE(refused.errors.empty());
    EXPECT_EQ(refused.totals, 2);
}

TEST(CabWalk, SurvivesTruncationAtEveryOffset) {
    for (const char* file :
         {"cab/libmspack_simple.cab", "cab/libarchive_test_read_format_cab_3.cab"})
        walk_tests::ExpectEveryTruncationListsAPrefix(walk_tests::CorpusBytes(file), "cut.cab");
}

// A file count far above the entries there: the walk ends at the end of the file.
TEST(CabWalk, SurvivesALyingFileCount) {
    std::string cab = Cabinet({{"a1", 5}, {"a2", 6}});
    vro::PutLE16(reinterpret_cast<uint8_t*>(cab.data()) + 28, 0xFFFF);
    const auto l = walk_tests::ListBytes(cab, "count.cab");
    ASSERT_GE(l.entries.size(), 2u);
    EXPECT_EQ(l.entries[0].name, "a1");
    EXPECT_EQ(l.entries[1].name, "a2");
}

} // namespace
