// Guards the TAR walk against wrong or lost entries: long names (ustar prefix, GNU
// long-name records, pax paths), helper records listed as files, large sizes, and
// damaged archives that crash or hang the walk.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "engine/vroTypes.h"
#include "vroWalkTestsB.h"

namespace {

using walk_tests::ListBytes;
using walk_tests::Names;
using Strings = std::vector<std::string>;

enum class Magic { Posix, Gnu, None };

struct HeaderFields {
    std::string name;
    int64_t size = 0;
    char type = '0';
    Magic magic = Magic::Posix;
    std::string prefix;

    HeaderFields& Size(int64_t v) { return size = v, *this; }
    HeaderFields& Type(char v) { return type = v, *this; }
    HeaderFields& Gnu() { return magic = Magic::Gnu, *this; }
    HeaderFields& V7() { return magic = Magic::None, *this; }
    HeaderFields& Prefix(std::string v) { return prefix = std::move(v), *this; }
};

HeaderFields Named(std::string name) {
    HeaderFields s;
    s.name = std::move(name);
    return s;
}

void PutOctal(std::string& h, size_t at, size_t width, int64_t value) {
    std::snprintf(&h[at], width, "%0*llo", static_cast<int>(width - 1),
                  static_cast<unsigned long long>(value));
}

// Sets the header checksum field for the header's bytes as they are.
std::string Checksummed(std::string h) {
    std::memset(&h[148], ' ', 8);
    unsigned sum = 0;
    for (unsigned char c : h.substr(0, 512))
        sum += c;
    std::snprintf(&h[148], 8, "%06o", sum);
    return h;
}

// One 512-byte header with a valid checksum; mtime 2021-06-15 12:34:56 UTC.
std::string Header(const HeaderFields& s) {
    std::string h(512, '\0');
    s.name.copy(&h[0], 100);
    PutOctal(h, 100, 8, 0644);
    PutOctal(h, 124, 12, s.size);
    PutOctal(h, 136, 12, 1623760496);
    h[156] = s.type;
    if (s.magic == Magic::Posix)
        std::memcpy(&h[257],
                    "ustar\0"
                    "00",
                    8);
    if (s.magic == Magic::Gnu) std::memcpy(&h[257], "ustar  \0", 8);
    s.prefix.copy(&h[345], 155);
    return Checksummed(h);
}

// Data padded to whole blocks.
std::string Blocks(const std::string& data) {
    return data + std::string((512 - data.size() % 512) % 512, '\0');
}

std::string Entry(const HeaderFields& s, const std::string& data = {}) {
    HeaderFields sized = s;
    sized.size = static_cast<int64_t>(data.size());
    return Header(sized) + Blocks(data);
}

const std::string kEnd(1024, '\0');

std::string PaxRecord(const std::string& key, const std::string& value) {
    // The length counts itself: find the fixed point.
    const std::string body = " " + key + "=" + value + "\n";
    size_t length = body.size() + 1;
    while (std::to_string(length).size() + body.size() != length)
        ++length;
    return std::to_string(length) + body;
}

struct NameCase {
    const char* label;
    std::string archive;
    Strings names;
};

class TarNames : public testing::TestWithParam<NameCase> {};

TEST_P(TarNames, ListsTheNameTheRecordsGive) {
    const auto l = ListBytes(GetParam().archive, "a.tar");
    EXPECT_EQ(Names(l), GetParam().names);
}

const std::string k150(150, 'n');

INSTANTIATE_TEST_SUITE_P(
    Walk, TarNames,
    testing::Values(NameCase{"UstarPrefixJoinedWithSlash",
                             Entry(Named("leaf.txt").Prefix("long_dir/second"), "abc") + kEnd,
                             {"long_dir\\second\\leaf.txt"}},
                    NameCase{"GnuMagicHasNoPrefixField",
                             Entry(Named("leaf.txt").Gnu().Prefix("12345670123"), "a") + kEnd,
                             {"leaf.txt"}},
                    NameCase{"GnuLongNameNamesTheNextEntry",
                             Entry(Named("././@LongLink").Type('L').Gnu(),
                                   "dir/" + k150 + std::string(1, '\0')) +
                                 Entry(Named("dir/nnnn").Gnu(), "x") +
                                 Entry(Named("after.txt").Gnu()) + kEnd,
                             {"dir\\" + k150, "after.txt"}},
                    NameCase{"PaxPathNamesTheNextEntry",
                             Entry(Named("PaxHeaders/x").Type('x'),
                                   PaxRecord("mtime", "1.5") + PaxRecord("path", "p/" + k150)) +
                                 Entry(Named("short"), "x") + kEnd,
                             {"p\\" + k150}},
                    NameCase{"HelperRecordsAreNoEntries",
                             Entry(Named("VOLUME 1").Type('V').Gnu()) +
                                 Entry(Named("global").Type('g'), PaxRecord("comment", "hi")) +
                                 Entry(Named("././@LongLink").Type('K').Gnu(), "target") +
                                 Entry(Named("file")) + kEnd,
                             {"file"}},
                    NameCase{"OnlyFilesAndHardLinksAreListed",
                             Entry(Named("dir/").Type('5')) + Entry(Named("link").Type('2')) +
                                 Entry(Named("fifo").Type('6')) + Entry(Named("hard").Type('1')) +
                                 Entry(Named("v7").Type('\0').V7()) + kEnd,
                             {"hard", "v7"}},
                    NameCase{"BlanksAroundTheNameAreTrimmed",
                             Entry(Named("  spaced.txt ")) + kEnd,
                             {"spaced.txt"}}),
    [](const testing::TestParamInfo<NameCase>& i) { return i.param.label; });

TEST(TarWalk, MapsTheHeaderFields) {
    std::string archive = Entry(Named("a.txt"), std::string(700, 'a')) + kEnd;
    std::memset(&archive[136], 0, 12); // no time at all
    archive = Checksummed(archive);
    testing_support::Listing l;
    double date = 0;
    {
        testing_support::TempDir dir;
        l = testing_support::ListArchive(dir.Write("a.tar", archive), [&](vro::TVireo& v) {
            v.OnReadEnd = [&](vro::TZipCommon&) { date = v.EntryInfo.DateTime; };
        });
    }
    ASSERT_EQ(l.entries.size(), 1u);
    EXPECT_EQ(l.entries[0].size, 700);
    EXPECT_EQ(l.entries[0].packed, 700);
    EXPECT_EQ(l.entries[0].method, "Tarred");
    unsigned checksum = 0;
    std::sscanf(&archive[148], "%o", &checksum);
    EXPECT_EQ(l.entries[0].crc, checksum);
    EXPECT_EQ(date, vro::kDosEpochDate);
}

// Sizes of 8 GiB and more: GNU tar's base-256 field and a pax "size" record. The
// data is not there, so the walk reports the entry and stops.
TEST(TarWalk, ReadsSizesBeyondTheOctalField) {
    constexpr int64_t kNineGiB = int64_t{9} << 30;
    std::string binary = Header(Named("big.bin").Gnu());
    std::memset(&binary[124], 0, 12);
    binary[124] = '\x80';
    for (int i = 0; i < 8; ++i)
        binary[135 - i] = static_cast<char>(kNineGiB >> (8 * i));
    binary = Checksummed(binary);
    const std::string pax =
        Entry(Named("PaxHeaders/big").Type('x'), PaxRecord("size", std::to_string(kNineGiB))) +
        Header(Named("big.bin"));
    for (const std::string& archive : {binary, pax}) {
        const auto l = ListBytes(archive + std::string(4096, '\0'), "big.tar");
        ASSERT_EQ(l.entries.size(), 1u);
        EXPECT_EQ(l.entries[0].size, kNineGiB);
    }
}

TEST(TarWalk, AnEntryOutsideTheMaskDoesNotStopTheWalk) {
    const std::string archive =
        Entry(Named("a.txt"), "1") + Entry(Named("b.bin"), "22") + Entry(Named("c.txt")) + kEnd;
    const auto l = ListBytes(archive, "m.tar", [](vro::TVireo& v) { v.SetFileSpec({"*.txt"}); });
    EXPECT_EQ(Names(l), (Strings{"a.txt", "c.txt"}));
    EXPECT_EQ(l.totals, 2);
}

struct CorpusCase {
    const char* file;
    Strings names;
};

TEST(TarWalk, ListsRealArchives) {
    const CorpusCase cases[] = {
        {"tar/gnutar_volume_label.tar",
         {"readme_crlf.txt", "random.bin", "dir one\\sub dir\\nested file.txt"}},
        {"tar/pascalvault_posix.tar", {"test.txt"}},
        {"tar/patool_t.tar", {"t\\t.txt"}},
    };
    for (const CorpusCase& c : cases)
        EXPECT_EQ(Names(testing_support::ListArchive(walk_tests::kCorpus + c.file)), c.names)
            << c.file;
}

TEST(TarWalk, SurvivesTruncationAtEveryOffset) {
    const std::string archive =
        Entry(Named("././@LongLink").Type('L').Gnu(), k150) + Entry(Named("x").Gnu(), "data") +
        Entry(Named("p").Type('x'), PaxRecord("path", "pax/name")) +
        Entry(Named("q"), std::string(600, 'q')) + Entry(Named("last")) + kEnd;
    walk_tests::ExpectEveryTruncationListsAPrefix(archive, "cut.tar");
}

// Sizes that point past the end or hold no digits, and pax records whose lengths lie.
TEST(TarWalk, SurvivesLyingSizes) {
    std::string huge = Header(Named("huge").Size(077777777777));
    std::string paxLies =
        Entry(Named("p").Type('x'), "99999 path=x\n3 \n0 =\n") + Entry(Named("after")) + kEnd;
    const auto a = ListBytes(huge + kEnd, "huge.tar");
    EXPECT_EQ(Names(a), Strings{"huge"});
    const auto b = ListBytes(paxLies, "pax.tar");
    EXPECT_EQ(Names(b), Strings{"after"});
}

} // namespace
