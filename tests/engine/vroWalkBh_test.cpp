// Guards the BH catalogue walk: the corpus sample lists with its fields; entries
// written the way the BH writer lays them out (stored, fused, deflated, encrypted)
// list in order; a header size of 0 or a wrong signature ends the walk; cut files
// end quietly.
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
using testing_support::ReadFileBytes;
using testing_support::TempDir;

namespace {

// One entry as the BH writer lays it out: the 37-byte header, the name, the data.
std::string Entry(const std::string& name, const std::string& data, uint8_t method,
                  uint32_t original, uint8_t flags = 0, uint16_t attributes = 0x20) {
    return std::string("BH\x05\x07", 4) + Le16(uint16_t(37 + name.size())) + char(37) + char(0) +
           char(0) + char(flags) + char(method) + Le32(0x52CF6479) + Le32(uint32_t(data.size())) +
           Le32(original) + Le32(0xCAFEF00D) + Le16(attributes) + Le32(0) +
           Le16(uint16_t(name.size())) + Le16(0) + name + data;
}

} // namespace

TEST(BhWalk, CorpusSample) {
    TVireo v;
    v.SetFileSpec({"*.*"});
    std::vector<TEntryInfo> seen;
    std::vector<int64_t> offsets;
    v.OnRead = [&](TZipCommon&, int64_t o, int32_t) {
        seen.push_back(v.EntryInfo);
        offsets.push_back(o);
    };
    v.SetArchiveFile(BRINDLE_TEST_DATA "/corpus/bh/pascalvault_packed.bh");
    ASSERT_TRUE(v.Activate());
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].FileName, "test.txt");
    EXPECT_EQ(seen[0].UnpackedSize, 4121);
    EXPECT_EQ(seen[0].PackedSize, 1562);
    EXPECT_EQ(seen[0].MethodName, "Deflate");
    EXPECT_EQ(seen[0].MethodCode, 8);
    EXPECT_EQ(seen[0].ExternalAttr, 0x20u);
    EXPECT_FALSE(seen[0].Encrypted);
    EXPECT_NEAR(seen[0].DateTime, EncodeDate(2023, 10, 19, 13, 41, 52), 1e-6);
    EXPECT_EQ(offsets[0], 0);
}

TEST(BhWalk, WriterLayoutEntriesInOrder) {
    const std::string bh = Entry("stored.txt", "plain", 0, 5) +
                           Entry("dir/fused.txt", "fffff", 1, 40) +
                           Entry("deflated.txt", "dd", 8, 90) +
                           Entry("secret.txt", std::string(12 + 3, 's'), 0, 3, 0x01);
    TempDir dir;
    const Listing l = ListArchive(dir.Write("w.bh", bh));
    EXPECT_EQ(Names(l), (std::vector<std::string>{"stored.txt", "dir\\fused.txt", "deflated.txt",
                                                  "secret.txt"}));
    EXPECT_EQ(l.entries[1].method, "Fused");
    EXPECT_EQ(l.entries[2].method, "Deflate");
    EXPECT_TRUE(l.entries[3].encrypted);
    EXPECT_EQ(l.entries[3].packed, 15); // the cipher header counts as packed data
    EXPECT_EQ(l.entries[3].offset, int64_t(bh.size() - 37 - 10 - 15));
    EXPECT_EQ(l.totals, 4);
}

TEST(BhWalk, EndMarksAndDamage) {
    TempDir dir;
    std::string ended = Entry("a.txt", "a", 0, 1) + Entry("b.txt", "b", 0, 1);
    ended[37 + 5 + 1 + 4] = 0, ended[37 + 5 + 1 + 5] = 0; // second header size 0
    EXPECT_EQ(Names(ListArchive(dir.Write("e.bh", ended))), std::vector<std::string>{"a.txt"});

    std::string wrong = Entry("a.txt", "a", 0, 1) + Entry("b.txt", "b", 0, 1);
    wrong[37 + 5 + 1 + 2] = 9; // second signature
    EXPECT_EQ(Names(ListArchive(dir.Write("s.bh", wrong))), std::vector<std::string>{"a.txt"});

    std::string longName = Entry("a.txt", "a", 0, 1);
    longName.replace(33, 2, Le16(60000)); // a name far past the end
    const Listing l = ListArchive(dir.Write("n.bh", longName + std::string(40, 'x')));
    EXPECT_TRUE(l.entries.empty());
    EXPECT_TRUE(l.activated);
}

TEST(BhWalk, TruncationSweep) {
    const std::string whole = Entry("one.txt", "1111", 0, 4) + Entry("two.txt", "22", 8, 9) +
                              Entry("three.txt", "3", 1, 3);
    TempDir dir;
    const std::vector<std::string> all = Names(ListArchive(dir.Write("w.bh", whole)));
    ASSERT_EQ(all.size(), 3u);
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        const Listing l = ListArchive(dir.Write("cut.bh", whole.substr(0, cut)));
        for (const std::string& name : Names(l))
            EXPECT_NE(std::find(all.begin(), all.end(), name), all.end()) << "cut at " << cut;
    }
}
