// Guards the MsGZ (InstallShield 3 "Z" archive) catalogue walk. No sample of the
// format is in the corpus, so the fixture is built here byte by byte from the
// layout the public readers agree on: a 255-byte header naming the directory
// table, the members' data, then the directory records and the file records.
// Checked: names under their directories, sizes, the stored data position as the
// Offset, dates and attributes; tables that lie (positions outside the file,
// records too short for their names, directory indexes out of range); cut files.
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/vroDates.h"
#include "engine/vroVireo.h"
#include "support/Bytes.h"
#include "support/Listing.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::Le16;
using testing_support::Le32;
using testing_support::ListArchive;
using testing_support::Listing;
using testing_support::Names;
using testing_support::TempDir;

namespace {

constexpr uint16_t kDate = (41 << 9) | (6 << 5) | 15;   // 2021-06-15
constexpr uint16_t kTime = (12 << 11) | (34 << 5) | 28; // 12:34:56

struct Member {
    uint16_t directory;
    std::string name;
    std::string packed;
    uint32_t original;
    uint32_t attributes;
};

// Directory record: file count, record length, name length, name, zero byte.
std::string DirectoryRecord(uint16_t files, const std::string& name) {
    return Le16(files) + Le16(uint16_t(6 + name.size() + 1)) + Le16(uint16_t(name.size())) + name +
           '\0';
}

// File record: volume, directory index, original size, packed size, data position,
// date, time, attributes, record length, 4 unknown bytes, name length, name, zero
// byte and 12 unknown bytes.
std::string FileRecord(const Member& m, uint32_t dataPosition) {
    const uint16_t length = uint16_t(30 + m.name.size() + 1 + 12);
    return char(0) + Le16(m.directory) + Le32(m.original) + Le32(uint32_t(m.packed.size())) +
           Le32(dataPosition) + Le16(kDate) + Le16(kTime) + Le32(m.attributes) + Le16(length) +
           Le32(0) + char(m.name.size()) + m.name + '\0' + std::string(12, '\0');
}

struct Layout {
    std::string bytes;
    uint32_t directoryTable = 0;
};

Layout Build(const std::vector<std::string>& directories, const std::vector<Member>& members) {
    std::string data;
    std::vector<uint32_t> positions;
    for (const Member& m : members) {
        positions.push_back(uint32_t(255 + data.size()));
        data += m.packed;
    }
    std::string dirTable;
    for (size_t d = 0; d < directories.size(); ++d) {
        const auto files = std::count_if(members.begin(), members.end(),
                                         [&](const Member& m) { return m.directory == d; });
        dirTable += DirectoryRecord(uint16_t(files), directories[d]);
    }
    std::string fileTable;
    for (size_t i = 0; i < members.size(); ++i)
        fileTable += FileRecord(members[i], positions[i]);

    const uint32_t tablePosition = uint32_t(255 + data.size());
    const uint32_t total = uint32_t(tablePosition + dirTable.size() + fileTable.size());
    std::string header(255, '\0');
    header.replace(0, 4, "\x13\x5D\x65\x8C");
    header.replace(4, 4, Le16(314) + Le16(2));
    header.replace(12, 2, Le16(uint16_t(members.size())));
    header.replace(14, 4, Le16(kDate) + Le16(kTime));
    header.replace(18, 4, Le32(total));
    header.replace(26, 2, Le16(255));
    header.replace(41, 4, Le32(tablePosition));
    header.replace(45, 4, Le32(uint32_t(dirTable.size())));
    header.replace(49, 2, Le16(uint16_t(directories.size())));
    header.replace(51, 4, Le32(uint32_t(tablePosition + dirTable.size())));
    return {header + data + dirTable + fileTable, tablePosition};
}

const std::vector<std::string> kDirectories = {"", "SUB", "SUB\\DEEP"};
const std::vector<Member> kMembers = {
    {0, "SETUP.INI", "iiii", 10, 0x20},
    {1, "README.TXT", "rrrrrr", 100, 0x21},
    {2, "DATA.BIN", "dd", 2, 0x20},
    {1, "EMPTY.DAT", "", 0, 0x20},
};

} // namespace

TEST(MsGZWalk, ListsMembersUnderTheirDirectories) {
    TempDir dir;
    const Layout z = Build(kDirectories, kMembers);
    TVireo v;
    v.SetFileSpec({"*.*"});
    std::vector<TEntryInfo> seen;
    std::vector<int64_t> offsets;
    int32_t totals = -1;
    v.OnRead = [&](TZipCommon&, int64_t o, int32_t) {
        seen.push_back(v.EntryInfo);
        offsets.push_back(o);
    };
    v.OnTotals = [&](TZipCommon&, int32_t n) { totals = n; };
    v.SetArchiveFile(dir.Write("data.z", z.bytes));
    ASSERT_EQ(v.ArcType(), atMsGZ);
    ASSERT_TRUE(v.Activate());
    ASSERT_EQ(seen.size(), 4u);
    EXPECT_EQ(seen[0].FileName, "SETUP.INI");
    EXPECT_EQ(seen[1].FileName, "SUB\\README.TXT");
    EXPECT_EQ(seen[2].FileName, "SUB\\DEEP\\DATA.BIN");
    EXPECT_EQ(seen[3].FileName, "SUB\\EMPTY.DAT");
    EXPECT_EQ(seen[1].UnpackedSize, 100);
    EXPECT_EQ(seen[1].PackedSize, 6);
    EXPECT_EQ(seen[1].Ratio, 94);
    EXPECT_EQ(seen[1].ExternalAttr, 0x21u);
    EXPECT_EQ(seen[1].MethodName, "");
    EXPECT_NEAR(seen[1].DateTime, EncodeDate(2021, 6, 15, 12, 34, 56), 1e-6);
    EXPECT_EQ(offsets, (std::vector<int64_t>{255, 259, 265, 267}));
    EXPECT_EQ(totals, 4);

    const Listing masked = ListArchive(dir / "data.z", [](TVireo& m) { m.SetFileSpec({"*.TXT"}); });
    EXPECT_EQ(Names(masked), std::vector<std::string>{"SUB\\README.TXT"});
}

TEST(MsGZWalk, LyingTables) {
    TempDir dir;
    const Layout good = Build(kDirectories, kMembers);
    const std::vector<std::string> all = Names(ListArchive(dir.Write("g.z", good.bytes)));
    ASSERT_EQ(all.size(), 4u);

    // The directory table outside the file, or inside the header: nothing to list.
    for (uint32_t table : {uint32_t(good.bytes.size()), 0xFFFFFFF0u, 12u}) {
        std::string z = good.bytes;
        z.replace(41, 4, Le32(table));
        const Listing l = ListArchive(dir.Write("t.z", z));
        EXPECT_TRUE(l.entries.empty()) << table;
        EXPECT_EQ(l.totals, 0) << table;
    }

    // A directory index past the table leaves the name without a directory.
    std::vector<Member> members = kMembers;
    members[0].directory = 7;
    EXPECT_EQ(Names(ListArchive(dir.Write("i.z", Build(kDirectories, members).bytes))).front(),
              "SETUP.INI");

    // A file record too short for its own name ends the walk there.
    std::string shortRecord = good.bytes;
    const size_t secondRecord = good.directoryTable + 7 + 10 + 15 + (30 + 9 + 1 + 12);
    shortRecord.replace(secondRecord + 23, 2, Le16(20));
    EXPECT_EQ(Names(ListArchive(dir.Write("s.z", shortRecord))),
              std::vector<std::string>{"SETUP.INI"});

    // More directories claimed than recorded: the table's declared length keeps
    // the file records where they are.
    std::string manyDirs = good.bytes;
    manyDirs.replace(49, 2, Le16(65535));
    EXPECT_EQ(Names(ListArchive(dir.Write("m.z", manyDirs))), all);

    // Without a usable table length, the directory records end where the first
    // record is no directory record, and the files are looked for from there.
    std::string noLength = good.bytes;
    noLength.replace(45, 4, Le32(0));
    EXPECT_EQ(Names(ListArchive(dir.Write("n.z", noLength))), all);
    noLength.replace(49, 2, Le16(65535));
    EXPECT_LE(ListArchive(dir.Write("n2.z", noLength)).entries.size(), 4u);
}

TEST(MsGZWalk, TruncationSweep) {
    const std::string whole = Build(kDirectories, kMembers).bytes;
    TempDir dir;
    const std::vector<std::string> all = Names(ListArchive(dir.Write("w.z", whole)));
    ASSERT_EQ(all.size(), 4u);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        const Listing l = ListArchive(dir.Write("cut.z", whole.substr(0, cut)));
        for (const std::string& name : Names(l))
            EXPECT_NE(std::find(all.begin(), all.end(), name), all.end()) << "cut at " << cut;
    }
}
