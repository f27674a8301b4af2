// Guards the LHA extractor: every method and header level decoding to the right
// bytes under the right name and date, and damaged or unsupported entries failing
// alone without writing outside the folder.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

#include "engine/vroCrc.h"
#include "engine/vroUnLha.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

namespace {

const std::string kCorpus = BRINDLE_TEST_DATA "/corpus/lha/";

struct Outcome {
    bool ok = false;
    std::vector<std::pair<std::string, bool>> ends; // (FN, CRC_PASS)
    std::vector<int32_t> errors;
    bool AllPassed() const {
        return !ends.empty() &&
               std::all_of(ends.begin(), ends.end(), [](const auto& e) { return e.second; });
    }
};

Outcome ExtractLha(const TempDir& dir, const std::string& archive) {
    Outcome r;
    TUnLHA x;
    x.SetFileSpec({"*.*"});
    x.OnEnd = [&](TZipCommon&, const std::string& fn, bool pass) { r.ends.emplace_back(fn, pass); };
    x.OnError = [&](TZipCommon&, const std::string&, const std::string&, const std::string&,
                    int32_t code) { r.errors.push_back(code); };
    x.SetArchiveFile(archive);
    x.SetExtractDir(dir / "out");
    r.ok = x.Extract();
    return r;
}

void Put32(std::string& s, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        s += static_cast<char>(v >> (8 * i));
}

// One level-0 entry: header (size, checksum, method, sizes, DOS time, attribute,
// level, name, CRC-16), then its data.
std::string Level0Entry(const std::string& method, const std::string& name, const std::string& data,
                        uint32_t unpacked, uint16_t crc) {
    std::string h = method;
    Put32(h, static_cast<uint32_t>(data.size()));
    Put32(h, unpacked);
    Put32(h, 0x5A2B6000); // 2025-01-11 12:00
    h += '\x20';
    h += '\0';
    h += static_cast<char>(name.size());
    h += name;
    h += static_cast<char>(crc);
    h += static_cast<char>(crc >> 8);
    uint8_t sum = 0;
    for (const char c : h)
        sum = static_cast<uint8_t>(sum + static_cast<uint8_t>(c));
    return std::string(1, static_cast<char>(h.size())) + static_cast<char>(sum) + h + data;
}

std::string StoredEntry(const std::string& name, const std::string& data) {
    return Level0Entry("-lh0-", name, data, static_cast<uint32_t>(data.size()),
                       Crc16Update(0, data.data(), data.size()));
}

} // namespace

TEST(UnLha, EveryMethodAndHeaderLevelDecodes) {
    struct Row {
        const char* label;
        const char* archive;
        const char* file; // relative to the output folder
        int64_t size;
    } rows[] = {
        {"lh0, level 0", "pascalvault_lev0-lh0.lzh", "test.txt", 4121},
        {"lh1, DOS capitals shown in lower case", "lhasa_lharc113_lh1.lzh", "gpl-2", 18092},
        {"lh1, level 2 with OS-9 slack", "lhasa_lha_osk_201_h2_lh1.lzh", "gpl-2", 18092},
        {"lh4", "lhasa_lha_amiga_122_lh4.lzh", "gpl-2", 18092},
        {"lh5, level 1", "pascalvault_h1_lh5.LZH", "test.txt", 4121},
        {"lh6, matches 32 KiB back", "lhasa_lha_unix114i_lh6_long.lzh", "long.txt", 1241658},
        {"lh7, 64 KiB history", "lhasa_lha_unix114i_h1_lh7.lzh", "gpl-2", 18092},
        {"level 3", "libarchive_test_read_format_lha_header3.lzh", "file2", 78},
        {"self-extracting stub", "lhasa_lharc113_sfx.com", "gpl-2", 18092},
        {"MacBinary keeps the data fork", "lhasa_maclha_224_l2_lh5.lzh", "gpl-2", 18092},
        {"folder from the extended header", "lhasa_lha_x68k_213_h2_subdir.lzh",
         "subdir/subdir2/HELLO.TXT", 12},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        TempDir dir;
        const Outcome run = ExtractLha(dir, kCorpus + r.archive);
        EXPECT_TRUE(run.ok);
        EXPECT_TRUE(run.AllPassed());
        EXPECT_TRUE(run.errors.empty());
        EXPECT_EQ(static_cast<int64_t>(ReadFileBytes(dir / ("out/" + std::string(r.file))).size()),
                  r.size);
    }
}

TEST(UnLha, Level2TimeStampIsUnixTime) {
    TempDir dir;
    const std::string archive = kCorpus + "pascalvault_lev2-lh0.lzh";
    const std::string bytes = ReadFileBytes(archive);
    uint32_t stamp = 0;
    for (int i = 3; i >= 0; --i)
        stamp = (stamp << 8) | static_cast<uint8_t>(bytes[15 + i]);
    ASSERT_TRUE(ExtractLha(dir, archive).AllPassed());
    struct stat st {};
    ASSERT_EQ(::stat((dir / "out/test.txt").c_str(), &st), 0);
    // DOS times keep even seconds.
    EXPECT_LE(std::abs(static_cast<int64_t>(st.st_mtime) - static_cast<int64_t>(stamp)), 1);
}

TEST(UnLha, UnsupportedAndDamagedEntriesFailAlone) {
    TempDir dir;
    const std::string lh5 = ReadFileBytes(kCorpus + "pascalvault_h1_lh5.LZH");
    struct Row {
        const char* label;
        std::string firstEntry;
        int32_t error; // 0: only the CRC check fails
    } rows[] = {
        {"unsupported method", Level0Entry("-lh3-", "a.txt", "xxxx", 4, 0), E_UNSUPPORTEDMETHOD},
        {"bad Huffman code",
         Level0Entry("-lh5-", "a.txt", std::string("\x00\x05\xFF\xFF", 4), 9, 0), E_BADHUFFMANCODE},
        {"data cut short", Level0Entry("-lh5-", "a.txt", lh5.substr(40, 200), 4121, 0), 0},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.label);
        TempDir d;
        const std::string archive =
            r.firstEntry + StoredEntry("b.txt", "kept") + std::string(1, '\0');
        const Outcome run = ExtractLha(d, d.Write("a.lzh", archive));
        ASSERT_EQ(run.ends.size(), 2u);
        EXPECT_FALSE(run.ends[0].second);
        EXPECT_TRUE(run.ends[1].second);
        if (r.error != 0) {
            EXPECT_NE(std::find(run.errors.begin(), run.errors.end(), r.error), run.errors.end());
        }
        EXPECT_EQ(ReadFileBytes(d / "out/b.txt"), "kept");
    }
}

TEST(UnLha, NamesClimbingOutStayInside) {
    TempDir dir;
    const std::string archive = StoredEntry("..\\..\\evil.txt", "x") + std::string(1, '\0');
    const Outcome run = ExtractLha(dir, dir.Write("a.lzh", archive));
    EXPECT_TRUE(run.AllPassed());
    EXPECT_TRUE(std::filesystem::exists(dir / "out/evil.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir.path().parent_path() / "evil.txt"));
}
