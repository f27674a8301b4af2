// Guards listing against real archives made by other tools: every set of the
// corpus lists exactly the names and sizes its manifest expects.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "engine/vroHelpers.h"
#include "support/Listing.h"

namespace {

const std::string kCorpus = BRINDLE_TEST_DATA "/corpus/";

struct ExpectedSet {
    std::string format;
    std::string password;
    std::multiset<std::pair<std::string, int64_t>> files;
};

std::map<std::string, ExpectedSet> LoadExpectations() {
    std::map<std::string, ExpectedSet> sets;
    std::ifstream in(kCorpus + "expected_files.tsv");
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f;
        std::istringstream row(line);
        for (std::string field; std::getline(row, field, '\t');)
            f.push_back(field);
        if (f.size() != 5) continue;
        ExpectedSet& s = sets[f[1]];
        s.format = f[0];
        s.password = f[2] == "-" ? "" : f[2];
        // Compared with "/" separators: a "\" inside a DOS-era name is a separator too.
        std::replace(f[3].begin(), f[3].end(), '\\', '/');
        s.files.emplace(f[3], std::stoll(f[4]));
    }
    return sets;
}

// pack streams are not decoded, so their size is not known.
bool NeedsDecoderForSize(const std::string& format) {
    return format == "pack";
}

// A TAR inside a GZIP-family file lists as one stream here; its members are listed
// by unpacking it first (the list command does, checked by the corpus ctest).
bool IsCompressedTar(const std::string& format, const std::string& archive) {
    return format == "tar" &&
           (archive.ends_with(".gz") || archive.ends_with(".tgz") || archive.ends_with(".Z"));
}

// Sets where the manifest's oracle lists something else than the archive stores:
// MacBinary data unwrapped on extraction, names with a placeholder, and cabinets
// found by searching the whole file rather than at its start.
bool OracleDisagrees(const std::string& archive) {
    return archive == "lha/lhasa_maclha_224_l2_lh5.lzh" ||
           archive == "rar/libarchive_test_read_format_rar5_multiarchive.part01.rar" ||
           archive == "cab/libmspack_search.cab";
}

void CheckFormats(const std::set<std::string>& formats) {
    int checked = 0;
    for (const auto& [archive, want] : LoadExpectations()) {
        if (!formats.count(want.format) || NeedsDecoderForSize(want.format) ||
            IsCompressedTar(want.format, archive) || OracleDisagrees(archive))
            continue;
        const auto l = testing_support::ListArchive(
            kCorpus + archive, [&](vro::TVireo& v) { v.Password = want.password; });
        std::multiset<std::pair<std::string, int64_t>> got;
        for (const auto& e : l.entries)
            if (!e.name.ends_with("\\")) got.emplace(vro::ToSlashes(e.name), e.size);
        const bool single =
            want.format == "gzip" || want.format == "compress" || want.format == "uue";
        if (single) {
            ASSERT_FALSE(got.empty()) << archive;
            EXPECT_EQ(got.begin()->second, want.files.begin()->second) << archive;
        } else {
            EXPECT_EQ(got, want.files) << archive;
        }
        ++checked;
    }
    EXPECT_GT(checked, 0);
}

} // namespace

TEST(CatalogueCorpus, ZipAndJar) {
    CheckFormats({"zip", "jar"});
}
TEST(CatalogueCorpus, SingleStreams) {
    CheckFormats({"gzip", "compress", "uue"});
}
TEST(CatalogueCorpus, DosEraFormats) {
    CheckFormats({"arc", "arj", "lha", "zoo", "ha", "bh"});
}
TEST(CatalogueCorpus, RarAceCabTar) {
    CheckFormats({"rar", "ace", "cab", "tar"});
}
