// Guards type detection: every real archive of the corpus keeps its type and start
// offset, and the probe order and its quirks (stubs, string resources, DOS image,
// spanned disks, UU/TAR probes, the JAR rename) give the documented results.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/vroBytes.h"
#include "engine/vroDetect.h"
#include "engine/vroMain.h"
#include "platform/Drives.h"
#include "support/Bytes.h"
#include "support/PeBuilder.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::Le32;
using testing_support::TempDir;

namespace {

struct Detected {
    TArcType type;
    int64_t start;
    uint8_t flags;
};

Detected Detect(const std::string& path, int32_t cmntBufSize = 0) {
    TvroMain m;
    m.SetZipCmntBufSize(cmntBufSize);
    m.SetArchiveFile(path);
    return {m.ArcType(), m.StartOffset, m.ZipFlags};
}

std::string Bytes(std::initializer_list<uint8_t> b) {
    return std::string(b.begin(), b.end());
}

// A one-entry stored ZIP ("a.txt" holding "hi"), with an optional comment.
std::string SmallZip(const std::string& comment = {}) {
    std::string local = "PK\3\4" + std::string(22, '\0') + Bytes({5, 0, 0, 0}) + "a.txt" + "hi";
    std::string central = "PK\1\2" + std::string(24, '\0') + Bytes({5, 0, 0, 0}) +
                          std::string(10, '\0') + Le32(0) + "a.txt";
    std::string end = "PK\5\6" + std::string(4, '\0') + Bytes({1, 0, 1, 0}) +
                      Le32(static_cast<uint32_t>(central.size())) +
                      Le32(static_cast<uint32_t>(local.size())) +
                      Bytes({static_cast<uint8_t>(comment.size()), 0}) + comment;
    return local + central + end;
}

std::string TarHeader(char typeFlag, const std::string& name) {
    std::string h(512, '\0');
    h.replace(0, name.size(), name);
    h[156] = typeFlag;
    h.replace(257, 6, std::string("ustar\0", 6));
    h.replace(148, 8, std::string(8, ' '));
    unsigned sum = 0;
    for (unsigned char c : h)
        sum += c;
    char field[8];
    std::snprintf(field, sizeof field, "%06o", sum);
    h.replace(148, 7, std::string(field, 7));
    return h;
}

} // namespace

TEST(DetectCorpus, EveryRealArchiveKeepsItsTypeAndStart) {
    const std::string dir = BRINDLE_TEST_DATA "/corpus/";
    std::ifstream table(dir + "types.tsv");
    ASSERT_TRUE(table) << "missing types.tsv";
    std::string line;
    int checked = 0;
    while (std::getline(table, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream row(line);
        std::string file, type;
        int64_t start;
        row >> file >> type >> start;
        const Detected d = Detect(dir + file, 32000);
        EXPECT_STREQ(ArcTypeIdent(d.type), type.c_str()) << file;
        EXPECT_EQ(d.start, start) << file;
        ++checked;
    }
    EXPECT_GT(checked, 150);
}

struct FileCase {
    const char* label;
    std::string name;
    std::string bytes;
    TArcType type;
    int64_t start;
};

// Each row is a file on the fixed drive and what detection must make of it.
TEST(DetectRules, FilesOnAFixedDrive) {
    const std::string zip = SmallZip();
    std::string zipBrokenEnd = std::string(3, '\0') + zip;
    zipBrokenEnd[3 + 37 + 3] = '\x03'; // the central header loses its signature
    const std::string stubZip = std::string("XY") + std::string(7610, 'x') + zip;
    const std::string uue = "line one\nline two\nline three\nline four\nbegin 644 x.bin\n`\nend\n";
    std::string upperUue = uue;
    upperUue.replace(upperUue.find("begin"), 5, "BEGIN");
    const std::string tar = TarHeader('0', "file.txt") + std::string(1024, '\0');
    const std::string volumeOnly = TarHeader('V', "LABEL") + std::string(100, '\0');
    const std::string volumeTar =
        TarHeader('V', "LABEL") + TarHeader('0', "f") + std::string(512, '\0');

    const FileCase cases[] = {
        {"19 bytes are too short", "a.bin", std::string(19, 'A'), atFileOpenErr, 1},
        {"a tiny compress stream is still one", "a.Z", Bytes({0x1F, 0x9D, 0x90, 'a', 0}), atGZip,
         1},
        {"plain zip: central directory offset", "a.zip", zip, atZip, 37},
        {"same bytes named .JAR", "a.JaR", zip, atJar, 37},
        {"zip behind zero padding read through local headers", "z.zip", zipBrokenEnd, atZip, 3},
        {"end record alone: nothing before it is examined", "e.zip",
         "PK\5\6" + std::string(18, '\0'), atZip, 0},
        {"local header at the first known stub offset", "s.exe", stubZip, atZipExe, 7612},
        {"HA at the start", "a.ha", "HA" + std::string(30, '\1'), atHa, 1},
        {"ACE mark at offset 7", "a.ace", std::string(7, '\1') + "**ACE**" + std::string(20, '\1'),
         atACE, 1},
        {"begin on the fifth line", "a.txt", uue, atUue, 1},
        {"BEGIN in capitals is not uuencoded", "b.txt", upperUue, atUnknown, 0},
        {"tar header checksum", "a.tar", tar, atTar, 1},
        {"tar volume header then a real header", "v.tar", volumeTar, atTar, 513},
        {"tar volume header without a second block", "w.tar", volumeOnly, atUnknown, 0},
        {"arj after zero padding starts after it", "p.arj",
         std::string(5, '\0') + Bytes({0x60, 0xEA}) + std::string(40, '\1'), atArj, 6},
    };
    TempDir dir;
    for (const FileCase& c : cases) {
        const Detected d = Detect(dir.Write(c.name, c.bytes));
        EXPECT_EQ(d.type, c.type) << c.label;
        EXPECT_EQ(d.start, c.start) << c.label;
    }
}

TEST(DetectRules, EmptyNameAndMissingFile) {
    TvroMain m;
    m.SetArchiveFile("");
    EXPECT_EQ(m.ArcType(), atNA);
    m.SetArchiveFile("/nonexistent/brindle/x.zip");
    EXPECT_EQ(m.ArcType(), atFileOpenErr);
    EXPECT_EQ(m.ArchiveDate, kNoArchiveDate);
}

TEST(DetectRules, ZipCommentNeedsTheCatalogueWindow) {
    TempDir dir;
    const std::string path = dir.Write("c.zip", SmallZip(std::string(200, 'c')));
    // Without a comment window the end record is missed and the local headers are used.
    EXPECT_EQ(Detect(path, 0).start, 0);
    const Detected d = Detect(path, 32000);
    EXPECT_EQ(d.start, 37);
    EXPECT_EQ(d.flags, zfEndRecord | zfCentral | zfLocalHeaders);
}

TEST(DetectRules, ZipBehindAStubWithUnadjustedOffsets) {
    TempDir dir;
    const std::string stub = "\x7F"
                             "ELF" +
                             std::string(996, 's');
    const Detected d = Detect(dir.Write("sfx", stub + SmallZip()), 32000);
    EXPECT_EQ(d.type, atZip);
    EXPECT_EQ(d.start, 1000 + 37); // where the directory really is
}

// Self-extractors publish their archive's offset as string resource 1.
TEST(DetectRules, StringResourceOffsets) {
    const size_t offset = 4096;
    struct Row {
        const char* label;
        std::string payload;
        TArcType type;
    } rows[] = {
        {"RAR data", "Rar!\x1A\x07", atRarExe},
        {"HA data has no reader inside programs", "HA\0\0", atUnsupported},
    };
    TempDir dir;
    for (const Row& r : rows) {
        std::string image =
            testing_support::BuildPeWithStrings({{1, std::to_string(offset)}}, {.minSize = offset});
        image.resize(offset);
        image += r.payload + std::string(64, '\0');
        const Detected d = Detect(dir.Write("sfx.exe", image));
        EXPECT_EQ(d.type, r.type) << r.label;
        EXPECT_EQ(d.start, static_cast<int64_t>(offset)) << r.label;
    }
}

TEST(DetectRules, ArchiveRightAfterTheDosImage) {
    // Two 512-byte pages, 100 bytes used in the last: the image ends at 612.
    std::string image =
        testing_support::BuildPeWithStrings({}, {.minSize = 612, .eCblp = 100, .eCp = 2});
    image.resize(612);
    TempDir dir;
    const Detected arj = Detect(dir.Write(
        "a.exe", image + std::string(2, '\0') + Bytes({0x60, 0xEA}) + std::string(60, '\1')));
    EXPECT_EQ(arj.type, atArjExe);
    EXPECT_EQ(arj.start, 615); // 1-based, the header two bytes on
    const Detected lha =
        Detect(dir.Write("l.exe", image + std::string("\x20\x00-lh5-", 8) + std::string(60, '\1')));
    EXPECT_EQ(lha.type, atLhaExe);
    EXPECT_EQ(lha.start, 613);
}

TEST(DetectRules, SpannedDisksOnRemovableMedia) {
    TempDir dir;
    const std::string disk = dir / "floppy";
    const std::string middle = std::string("middle of a span ") + std::string(100, 'm');
    dir.Write("floppy/BACKUP.ZIP", middle);
    dir.Write("fixed/BACKUP.ZIP", middle);
    platform::DeclareRemovableDisk(disk, "PKBACK# 002", 0x1234ABCD);

    EXPECT_EQ(Detect(disk + "/BACKUP.ZIP").type, atZipMV);
    EXPECT_EQ(Detect(dir / "fixed/BACKUP.ZIP").type, atUnknown);

    platform::SetRemovableDiskLabel(disk, "HOLIDAYS");
    EXPECT_EQ(Detect(disk + "/BACKUP.ZIP").type, atUnknown);

    // A disk starting with the span marker is one disk of a set only on removable media.
    dir.Write("floppy/SET.ZIP", "PK\7\x08" + SmallZip());
    dir.Write("fixed/SET.ZIP", "PK\7\x08" + SmallZip());
    platform::SetRemovableDiskLabel(disk, "PKBACK# 001");
    EXPECT_EQ(Detect(disk + "/SET.ZIP").type, atZipMV);
    EXPECT_EQ(Detect(dir / "fixed/SET.ZIP").type, atZip);
    platform::ForgetRemovableDisks();
}

struct VolumeCase {
    TArcType type;
    const char* name;
    char letter;
    int32_t number;
};

TEST(VolumeNumbering, FromTheExtension) {
    const VolumeCase cases[] = {
        {atArj, "x.arj", 'a', 1}, {atArj, "x.a01", 'a', 2}, {atRar, "x.rar", 'r', 0},
        {atRar, "x.r00", 'r', 1}, {atRarExe, "x", 'r', 0},  {atACE, "x.ace", 'C', 0},
        {atACE, "x.c00", 'c', 1}, {atZip, "x.z01", 'a', 0},
    };
    for (const VolumeCase& c : cases) {
        const TVolumeNumbering v = VolumeNumbering(c.type, c.name);
        EXPECT_EQ(v.Letter, c.letter) << c.name;
        EXPECT_EQ(v.Number, c.number) << c.name;
    }
}
