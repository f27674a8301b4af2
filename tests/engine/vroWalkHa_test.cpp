// Guards the HA catalogue walk: the corpus archives (CPY, ASC, HSC) list completely
// with their stored Unix time stamps; paths stored with HA's 0xFF separator come
// before the name; machine-data blocks of any length are passed over; deleted
// entries (first byte 0xFF) are not listed; directory entries show only on
// request; cut files end quietly.
#include <gtest/gtest.h>

#include <algorithm>

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

const std::string kHa = BRINDLE_TEST_DATA "/corpus/ha/";

constexpr uint32_t kTime = 1623760496; // 2021-06-15 12:34:56 UTC

// One HA entry: version/method, sizes, CRC, time, path, name, machine data, data.
std::string Entry(uint8_t method, const std::string& path, const std::string& name,
                  const std::string& data, const std::string& machine = "\x20", uint8_t first = 0) {
    const uint8_t versionMethod = first ? first : uint8_t(2 << 4 | method);
    return char(versionMethod) + Le32(uint32_t(data.size())) + Le32(uint32_t(data.size() * 3)) +
           Le32(0xDEADBEEF) + Le32(kTime) + path + '\0' + name + '\0' + char(machine.size()) +
           machine + data;
}

std::string Archive(const std::vector<std::string>& entries) {
    std::string ha = "HA" + Le16(uint16_t(entries.size()));
    for (const std::string& e : entries)
        ha += e;
    return ha;
}

} // namespace

TEST(HaWalk, CorpusArchivesListEveryFile) {
    ScopedTimeZone utc("UTC0");
    struct Row {
        const char* file;
        std::vector<std::pair<std::string, int64_t>> entries;
        std::vector<std::string> methods;
    } rows[] = {
        {"ha_asc.ha",
         {{"README.TXT", 4000}, {"NOTES.TXT", 2500}, {"BIGTEXT.TXT", 200000}},
         {"Asc", "Asc", "Asc"}},
        {"ha_cpy.ha",
         {{"README.TXT", 4000}, {"RANDOM.BIN", 8192}, {"EMPTY.DAT", 0}},
         {"Cpy", "Cpy", "Cpy"}},
        {"ha_mixed.ha",
         {{"README.TXT", 4000},
          {"RANDOM.BIN", 8192},
          {"EMPTY.DAT", 0},
          {"BIGTEXT.TXT", 200000},
          {"RUNS.BIN", 30000},
          {"SKEW.BIN", 19993}},
         {"HSC", "Cpy", "Cpy", "HSC", "HSC", "HSC"}},
    };
    for (const Row& row : rows) {
        TVireo v;
        v.SetFileSpec({"*.*"});
        std::vector<TEntryInfo> seen;
        int32_t totals = -1;
        v.OnRead = [&](TZipCommon&, int64_t, int32_t) { seen.push_back(v.EntryInfo); };
        v.OnTotals = [&](TZipCommon&, int32_t n) { totals = n; };
        v.SetArchiveFile(kHa + row.file);
        ASSERT_TRUE(v.Activate()) << row.file;
        ASSERT_EQ(seen.size(), row.entries.size()) << row.file;
        EXPECT_EQ(totals, int32_t(row.entries.size())) << row.file;
        for (size_t i = 0; i < seen.size(); ++i) {
            EXPECT_EQ(seen[i].FileName, row.entries[i].first) << row.file;
            EXPECT_EQ(seen[i].UnpackedSize, row.entries[i].second) << row.file;
            EXPECT_EQ(seen[i].MethodName, row.methods[i]) << row.file;
            EXPECT_NEAR(seen[i].DateTime, EncodeDate(2021, 6, 15, 12, 34, 56), 1e-6) << row.file;
            EXPECT_EQ(seen[i].VersionMadeBy, 2) << row.file;
            EXPECT_EQ(seen[i].ExternalAttr, 0x20u) << row.file;
        }
    }
}

TEST(HaWalk, OffsetsAreTheEntryHeaders) {
    const Listing l = ListArchive(kHa + "ha_cpy.ha");
    ASSERT_EQ(l.entries.size(), 3u);
    EXPECT_EQ(l.entries[0].offset, 4);
    EXPECT_EQ(l.entries[1].offset, 4041);
    EXPECT_EQ(l.entries[2].offset, 12270);
}

TEST(HaWalk, PathsMachineDataDeletedEntriesAndDirectories) {
    const std::string ha = Archive({
        Entry(0, "docs\xFFsub\xFF", "a.txt", "aaaa"),         // closing separator
        Entry(2, "docs", "b.txt", "bb", std::string(7, 'u')), // Unix machine data
        Entry(0, "", "gone.txt", "x", "\x20", 0xFF),          // deleted
        Entry(14, "docs", "empty", ""),                       // a directory
        Entry(0, "", "c.txt", "c", ""),                       // no machine data
    });
    TempDir dir;
    const std::string path = dir.Write("p.ha", ha);
    const Listing l = ListArchive(path);
    EXPECT_EQ(Names(l), (std::vector<std::string>{"docs\\sub\\a.txt", "docs\\b.txt", "c.txt"}));
    EXPECT_EQ(l.entries[1].method, "HSC");
    EXPECT_EQ(l.entries[1].size, 6);
    EXPECT_EQ(l.totals, 3);

    const Listing dirs = ListArchive(path, [](TVireo& v) { v.ShowBlankDirs = true; });
    EXPECT_EQ(Names(dirs), (std::vector<std::string>{"docs\\sub\\a.txt", "docs\\b.txt",
                                                     "docs\\empty\\", "c.txt"}));
    EXPECT_EQ(dirs.entries[2].method, "Dir");
    EXPECT_EQ(dirs.entries[2].attributes, 0x10u);
    EXPECT_EQ(dirs.totals, 3);
}

TEST(HaWalk, HostileEntriesEnd) {
    TempDir dir;
    // A packed size past the end of the file.
    std::string lying = Archive({Entry(0, "", "a.txt", "a"), Entry(0, "", "b.txt", "b")});
    lying.replace(4 + 1, 4, Le32(0xFFFFFFF0));
    EXPECT_EQ(Names(ListArchive(dir.Write("l.ha", lying))), std::vector<std::string>{"a.txt"});

    // A name without its zero byte before the end of the file.
    const std::string open =
        Archive({Entry(0, "", "a.txt", "a")}) + std::string(1, '\x20') + std::string(40, 'x');
    EXPECT_EQ(Names(ListArchive(dir.Write("o.ha", open))), std::vector<std::string>{"a.txt"});
}

TEST(HaWalk, TruncationSweep) {
    EXPECT_EQ(testing_support::ExpectCutsListKnownNames(ReadFileBytes(kHa + "ha_mixed.ha"), "w.ha",
                                                        100, 89)
                  .size(),
              6u);
}
