// Guards the UU/XX decoder: both encodings (short files too), the begin-line
// name, texts split over numbered volumes, and damaged lines or a missing "end"
// failing the entry instead of passing as a good file.
#include <gtest/gtest.h>

#include "engine/vroErrors.h"
#include "engine/vroUnUue.h"
#include "engine/vroUuCodec.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::ReadFileBytes;
using testing_support::TempDir;

namespace {

const std::string kHelloUu = "begin 644 hi.txt\n.2&5L;&\\L('=O<FQD(0H`\n`\nend\n";
const std::string kHelloXx = "begin 644 hi.txt\r\nCG4JgP4wg65RjQalY6Ec+\r\n+\r\nend\r\n";
// Bytes 0 to 99: two full lines and a short one.
const std::string kRangeLines[] = {
    "M``$\"`P0%!@<(\"0H+#`T.#Q`1$A,4%187&!D:&QP='A\\@(2(C)\"4F)R@I*BLL\n",
    "M+2XO,#$R,S0U-C<X.3H[/#T^/T!!0D-$149'2$E*2TQ-3D]045)35%565UA9\n",
    "*6EM<75Y?8&%B8P``\n",
};

struct RunLog {
    std::vector<std::pair<std::string, bool>> ends;
    std::vector<int32_t> errors;
};

RunLog Decode(const TempDir& dir, const std::string& file) {
    RunLog log;
    TUUDecode x;
    x.SetFileSpec({"*.*"});
    x.OnEnd = [&](TZipCommon&, const std::string& fn, bool pass) {
        log.ends.emplace_back(fn, pass);
    };
    x.OnError = [&](TZipCommon&, const std::string&, const std::string&, const std::string&,
                    int32_t code) { log.errors.push_back(code); };
    x.OnNextVolume = [](TZipCommon&, std::string&, const std::string&, bool exists, bool& cancel) {
        cancel = !exists;
    };
    x.SetArchiveFile(file);
    x.SetExtractDir(dir / "out");
    x.Extract();
    return log;
}

std::string Range100() {
    std::string bytes;
    for (int i = 0; i < 100; ++i)
        bytes.push_back(static_cast<char>(i));
    return bytes;
}

TEST(UuDecode, BothEncodingsAndShortFiles) {
    for (const std::string& text : {kHelloUu, kHelloXx}) {
        TempDir dir;
        const RunLog log = Decode(dir, dir.Write("hi.uue", "some mail header\n\n" + text));
        ASSERT_EQ(log.ends.size(), 1u);
        EXPECT_TRUE(log.ends[0].second);
        EXPECT_EQ(ReadFileBytes(dir / "out/hi.txt"), "Hello, world!\n");
    }
}

TEST(UuDecode, NumberedVolumesAreJoined) {
    TempDir dir;
    dir.Write("r.uu.002", "\n_=_ second volume\n\n" + kRangeLines[1] + kRangeLines[2] + "`\nend\n");
    const std::string first = dir.Write("r.uu.001", "begin 644 r.bin\n" + kRangeLines[0]);
    const RunLog log = Decode(dir, first);
    ASSERT_EQ(log.ends.size(), 1u);
    EXPECT_TRUE(log.ends[0].second);
    EXPECT_EQ(ReadFileBytes(dir / "out/r.bin"), Range100());
}

TEST(UuDecode, DamagedTextsFail) {
    struct Case {
        const char* what;
        std::string text;
        int32_t error;
    } cases[] = {
        {"line shorter than its count",
         "begin 644 r.bin\n" + kRangeLines[0].substr(0, 40) + "\nend\n", E_UNEXPECTEDEOL},
        {"character outside the encoding",
         "begin 644 r.bin\n" + kRangeLines[0].substr(0, 30) + "~" + kRangeLines[0].substr(31) +
             "end\n",
         E_UNEXPECTEDEOL},
        {"no end line", "begin 644 r.bin\n" + kRangeLines[0], E_EOLNOTFOUND},
        {"unknown encoding", "begin 644 r.bin\n!!!!!!!!!!\nend\n", E_UNSUPPORTEDMETHOD},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        const RunLog log = Decode(dir, dir.Write("r.uue", c.text));
        EXPECT_EQ(log.errors, std::vector<int32_t>{c.error});
        ASSERT_EQ(log.ends.size(), 1u);
        EXPECT_FALSE(log.ends[0].second);
    }
}

TEST(UuCodec, VolumeNames) {
    EXPECT_EQ(UuVolumeName("/d/r.bin.uu.001", 1), "/d/r.bin.uu.002");
    EXPECT_EQ(UuVolumeName("/d/r.uu.009", 1), "/d/r.uu.010");
    EXPECT_EQ(UuVolumeName("/d/r.uue", 1), "/d/r.uu1");
    EXPECT_EQ(UuVolumeName("/d/r.uue", 12), "/d/r.u12");
    EXPECT_EQ(UuVolumeName("/d/r.x", 12), "/d/r.12");
    EXPECT_EQ(UuVolumeName("/d/r", 2), "/d/r2");
    EXPECT_EQ(UuBeginName("begin 0644 name with spaces.txt"), "name with spaces.txt");
    EXPECT_EQ(UuBeginName("beginning"), std::nullopt);
}

} // namespace
