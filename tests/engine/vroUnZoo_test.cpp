// Guards the ZOO extractor and its LZW decoder: chains that loop end the walk,
// deleted and unknown-method entries, hostile codes, real LZW and LZH archives.
#include <gtest/gtest.h>

#include "engine/vroArcCodecs.h"
#include "engine/vroCrc.h"
#include "engine/vroErrors.h"
#include "engine/vroUnZoo.h"
#include "support/Bytes.h"
#include "support/ExtractLog.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::Le16;
using testing_support::Le32;
using testing_support::ReadFileBytes;
using testing_support::RunExtractor;
using testing_support::TempDir;

namespace {

const std::string kTag = Le32(0xFDC4A7DC);
constexpr uint32_t kFirst = 64;
constexpr uint32_t kEntrySize = 58;

std::string ArchiveHeader() {
    std::string h = std::string("ZOO 2.10 Archive.\x1A", 18) + std::string(2, '\0') + kTag +
                    Le32(kFirst) + Le32(0u - kFirst) + "\x02\x01";
    return h + std::string(kFirst - h.size(), '\0');
}

struct ZooMember {
    std::string name, data;
    uint8_t method = 0;
    uint32_t next = 0; // filled by Build when 0: the following entry
    bool deleted = false;
};

// Entries one after the other, each followed by its data, then the terminating
// entry (whose "next" is 0). A member.s own next, when set, replaces the link.
std::string Build(const std::vector<ZooMember>& specs) {
    std::string zoo = ArchiveHeader();
    for (const ZooMember& s : specs) {
        const auto pos = static_cast<uint32_t>(zoo.size());
        const uint32_t dataPos = pos + kEntrySize;
        const uint32_t next = s.next ? s.next : dataPos + static_cast<uint32_t>(s.data.size());
        const uint16_t crc = Crc16Update(0, s.data.data(), s.data.size());
        std::string e = kTag + "\x01" + static_cast<char>(s.method) + Le32(next) + Le32(dataPos) +
                        Le16(0x52CF) + Le16(0x6479) + Le16(crc) + Le32(s.data.size()) +
                        Le32(s.data.size()) + "\x02\x01" + static_cast<char>(s.deleted) +
                        std::string(7, '\0') + s.name + std::string(13 - s.name.size(), '\0');
        zoo += e + std::string(kEntrySize - e.size(), '\0') + s.data;
    }
    std::string end = kTag + "\x01" + std::string(kEntrySize - 5, '\0');
    return zoo + end;
}

std::vector<std::string> EndNames(const testing_support::ExtractLog& log) {
    std::vector<std::string> names;
    for (const auto& [fn, pass] : log.ends)
        names.push_back(fn.substr(fn.find_last_of("/\\") + 1) + (pass ? "" : " failed"));
    return names;
}

TEST(ZooExtract, LoopingChainsEndTheWalk) {
    struct Row {
        const char* name;
        uint32_t secondNext; // where the second entry points
        std::vector<std::string> ends;
    };
    const uint32_t second = kFirst + kEntrySize + 3;
    const Row rows[] = {
        {"back to the first", kFirst, {"one.txt", "two.txt"}},
        {"at itself", second, {"one.txt", "two.txt"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        TempDir dir;
        const std::string zoo = Build({{"one.txt", "one"}, {"two.txt", "two", 0, row.secondNext}});
        TUnZOO x;
        const auto log = RunExtractor(x, dir.Write("l.zoo", zoo), dir / "out");
        EXPECT_EQ(EndNames(log), row.ends);
        EXPECT_EQ(ReadFileBytes(dir / "out/two.txt"), "two");
    }
}

TEST(ZooExtract, DeletedPassedOverUnknownMethodFailsAlone) {
    TempDir dir;
    const std::string zoo =
        Build({{"gone.txt", "old", 0, 0, true}, {"odd.txt", "xyz", 9}, {"kept.txt", "kept"}});
    TUnZOO x;
    const auto log = RunExtractor(x, dir.Write("d.zoo", zoo), dir / "out");
    EXPECT_EQ(EndNames(log), (std::vector<std::string>{"odd.txt failed", "kept.txt"}));
    EXPECT_TRUE(log.Has(E_UNSUPPORTEDMETHOD));
    EXPECT_EQ(ReadFileBytes(dir / "out/kept.txt"), "kept");
}

// Codes packed least significant bit first.
std::string Codes9(std::initializer_list<uint32_t> codes) {
    std::string bytes;
    uint32_t acc = 0;
    int count = 0;
    for (uint32_t c : codes)
        for (acc |= c << count, count += 9; count >= 8; count -= 8, acc >>= 8)
            bytes += static_cast<char>(acc & 0xFF);
    return count ? bytes + static_cast<char>(acc) : bytes;
}

TEST(ZooLzw, Codes) {
    struct Row {
        const char* name;
        std::string packed;
        TArcResult result;
        std::string out;
    };
    const Row rows[] = {
        {"newest string repeated, then the end code", Codes9({256, 'a', 258, 257, 'z'}),
         TArcResult::Done, "aaa"},
        {"strings after a second clear", Codes9({256, 'a', 'b', 256, 'c', 258, 257}),
         TArcResult::Done, "abccc"},
        {"input ends without the end code", Codes9({256, 'a', 'b'}), TArcResult::Done, "ab"},
        {"code beyond the table", Codes9({256, 'a', 300}), TArcResult::BadCode, "a"},
        {"string before any character", Codes9({300}), TArcResult::BadCode, ""},
        {"clear followed by a string", Codes9({256, 258}), TArcResult::BadCode, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        size_t next = 0;
        std::string out;
        const TArcResult r = DecodeZooLzw(
            [&](uint8_t* b, size_t cap) {
                const size_t n = std::min(cap, row.packed.size() - next);
                std::copy_n(row.packed.data() + next, n, b);
                next += n;
                return n;
            },
            [&](const uint8_t* d, size_t n) {
                out.append(reinterpret_cast<const char*>(d), n);
                return true;
            },
            1000);
        EXPECT_EQ(r, row.result);
        EXPECT_EQ(out, row.out);
    }
}

// Real archives: LZW (with folders), stored, and the LZH method.
TEST(ZooExtract, RealArchivesExtractClean) {
    struct Row {
        const char* file;
        const char* oneOutput;
    };
    const Row rows[] = {{"zoo210_dirs.zoo", "dir one/sub dir/nested file.txt"},
                        {"zoo210_lzw.zoo", "BIGTEXT.TXT"},
                        {"pascalvault_lh5.ZOO", "test.txt"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        TempDir dir;
        TUnZOO x;
        const auto log =
            RunExtractor(x, std::string(BRINDLE_TEST_DATA "/corpus/zoo/") + row.file, dir / "out");
        EXPECT_TRUE(log.ok);
        EXPECT_FALSE(log.ends.empty());
        for (const auto& [fn, pass] : log.ends)
            EXPECT_TRUE(pass) << fn;
        EXPECT_FALSE(ReadFileBytes(dir / (std::string("out/") + row.oneOutput)).empty());
    }
}

} // namespace
