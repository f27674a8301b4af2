// Guards the TAR extractor: long names naming the member after them (and never
// becoming files), links that would reach outside the output folder, skipped
// devices, dropped setuid bits, and members cut short by the end of the file.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <filesystem>

#include "engine/vroErrors.h"
#include "engine/vroUnTar.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
namespace fs = std::filesystem;

namespace {

struct Member {
    std::string name;
    char type = '0';
    std::string data;
    std::string link;
    int mode = 0644;
};

std::string Octal(int64_t value, int width) {
    char field[24];
    std::snprintf(field, sizeof field, "%0*llo", width - 1, static_cast<long long>(value));
    return std::string(field, width - 1) + '\0';
}

// One header block (GNU magic, checksum filled in) and the data padded to blocks.
std::string Block(const Member& m) {
    std::string h(512, '\0');
    h.replace(0, std::min<size_t>(m.name.size(), 100), m.name.substr(0, 100));
    h.replace(100, 8, Octal(m.mode, 8));
    h.replace(124, 12, Octal(static_cast<int64_t>(m.data.size()), 12));
    h.replace(136, 12, Octal(1600000000, 12));
    h.replace(148, 8, std::string(8, ' '));
    h[156] = m.type;
    h.replace(157, std::min<size_t>(m.link.size(), 100), m.link.substr(0, 100));
    h.replace(257, 8, std::string("ustar  \0", 8));
    unsigned sum = 0;
    for (unsigned char c : h)
        sum += c;
    h.replace(148, 7, Octal(sum, 7));
    std::string data = m.data;
    data.resize((data.size() + 511) / 512 * 512, '\0');
    return h + data;
}

std::string Tar(const std::vector<Member>& members, bool endBlocks = true) {
    std::string t;
    for (const Member& m : members)
        t += Block(m);
    if (endBlocks) t += std::string(1024, '\0');
    return t;
}

struct RunLog {
    std::vector<std::pair<std::string, bool>> ends;
    std::vector<int32_t> errors;
};

RunLog Extract(const TempDir& dir, const std::string& tar) {
    RunLog log;
    TUnTAR x;
    x.SetFileSpec({"*.*"});
    x.OnEnd = [&](TZipCommon&, const std::string& fn, bool pass) {
        log.ends.emplace_back(fn, pass);
    };
    x.OnError = [&](TZipCommon&, const std::string&, const std::string&, const std::string&,
                    int32_t code) { log.errors.push_back(code); };
    x.SetArchiveFile(dir.Write("a.tar", tar));
    x.SetExtractDir(dir / "out");
    x.Extract();
    return log;
}

TEST(UnTar, LongNamesNameTheNextMember) {
    const std::string longName = std::string(150, 'n') + ".txt";
    TempDir dir;
    const RunLog log = Extract(dir, Tar({{"././@LongLink", 'L', longName + '\0'},
                                         {"short", '0', "gnu"},
                                         {"pax", 'x', "25 path=dir/pax name.txt\n"},
                                         {"ignored", '0', "pax"},
                                         {"empty", '0', ""}}));
    EXPECT_EQ(ReadFileBytes(dir / ("out/" + longName)), "gnu");
    EXPECT_EQ(ReadFileBytes(dir / "out/dir/pax name.txt"), "pax");
    EXPECT_TRUE(fs::exists(dir / "out/empty"));
    EXPECT_EQ(fs::file_size(dir / "out/empty"), 0u);
    for (const char* gone :
         {"out/short", "out/ignored", "out/pax", "out/././@LongLink", "out/@LongLink"})
        EXPECT_FALSE(fs::exists(dir / gone)) << gone;
    EXPECT_EQ(log.ends.size(), 3u);
}

TEST(UnTar, LinksStayInsideTheFolder) {
    TempDir dir;
    const RunLog log = Extract(dir, Tar({{"escape", '2', "", "../outside"},
                                         {"absolute", '2', "", "/etc/passwd"},
                                         {"sub/up", '2', "", "../../x"},
                                         {"hard", '1', "", "../../etc/passwd"},
                                         {"sub/inside", '2', "", "../file"},
                                         {"hardcopy", '1', "", "file"},
                                         {"file", '0', "data"},
                                         // A link first, then a member written through it.
                                         {"dirlink", '2', "", "."},
                                         {"dirlink/through", '0', "x"}}));
    for (const char* refused : {"out/escape", "out/absolute", "out/sub/up", "out/hard"})
        EXPECT_FALSE(fs::exists(fs::symlink_status(dir / refused))) << refused;
    EXPECT_EQ(fs::read_symlink(dir / "out/sub/inside"), "../file");
    EXPECT_EQ(ReadFileBytes(dir / "out/hardcopy"), "data");
    // Links come after the files, so no member is written through one; the link
    // then finds the folder in its place and is refused.
    EXPECT_EQ(ReadFileBytes(dir / "out/dirlink/through"), "x");
    EXPECT_FALSE(fs::is_symlink(dir / "out/dirlink"));
    EXPECT_EQ(std::count(log.errors.begin(), log.errors.end(), E_INVALIDFILENAME), 5);
}

TEST(UnTar, SpecialMembersAndModes) {
    TempDir dir;
    Extract(dir, Tar({{"dev", '3', ""},
                      {"fifo", '6', ""},
                      {"emptydir/", '5', ""},
                      {"tool", '0', "#!", "", 04755}}));
    EXPECT_FALSE(fs::exists(dir / "out/dev"));
    EXPECT_FALSE(fs::exists(dir / "out/fifo"));
    EXPECT_TRUE(fs::is_directory(dir / "out/emptydir"));
    struct stat st {};
    ASSERT_EQ(::stat((dir / "out/tool").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST(UnTar, MemberCutByTheEndOfTheFile) {
    TempDir dir;
    std::string tar = Tar({{"whole", '0', "ok"}, {"cut", '0', std::string(2000, 'c')}}, false);
    tar.resize(tar.size() - 1024);
    const RunLog log = Extract(dir, tar);
    EXPECT_EQ(ReadFileBytes(dir / "out/whole"), "ok");
    EXPECT_FALSE(fs::exists(dir / "out/cut"));
    ASSERT_EQ(log.ends.size(), 1u);
    EXPECT_TRUE(log.ends[0].second);
    EXPECT_EQ(log.errors, std::vector<int32_t>{E_BADHEADER});
}

} // namespace
