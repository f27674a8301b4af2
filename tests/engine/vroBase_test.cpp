// Guards the component base: block I/O (ciphers, CRC registers, line-end
// translation, short writes), numbered errors and their silence under Cancel,
// volume naming and the next-volume and spanned-disk protocols.
#include <gtest/gtest.h>

#include <filesystem>

#include "engine/vroBase.h"
#include "engine/vroCrc.h"
#include "platform/Drives.h"
#include "platform/HostHooks.h"
#include "support/TempDir.h"

using namespace vro;
using testing_support::TempDir;

namespace {

struct ErrorLog {
    std::vector<std::pair<std::string, int32_t>> seen; // (FN, ECode)
    void Attach(TZipCommon& c) {
        c.OnError = [this](TZipCommon&, const std::string& fn, const std::string&,
                           const std::string&, int32_t code) { seen.emplace_back(fn, code); };
    }
};

// Lets tests start a run the way a component's public operation does.
class TestComponent : public TZipCommon {
public:
    using TZipCommon::BeginRun;
};

// Accepts only the first `capacity` bytes, like a full disk.
class FullDiskStream : public platform::TMemoryStream {
public:
    explicit FullDiskStream(int64_t capacity) : capacity_(capacity) {}
    int64_t Write(const void* buffer, int64_t n) override {
        const int64_t room = std::max<int64_t>(0, capacity_ - Size());
        return TMemoryStream::Write(buffer, std::min(n, room));
    }

private:
    int64_t capacity_;
};

std::string Text(const platform::TMemoryStream& s) {
    return std::string(s.Bytes().begin(), s.Bytes().end());
}

int64_t Write(TZipCommon& c, platform::TStream& out, std::string data, bool addCrc = false) {
    return c.WriteBlock(&out, nullptr, addCrc, static_cast<int64_t>(data.size()), crc32, false,
                        reinterpret_cast<uint8_t*>(data.data()));
}

} // namespace

TEST(BlockWrite, AsciiTranslationTurnsLoneLineFeedsIntoCrLf) {
    struct Row {
        const char* label;
        std::vector<std::string> blocks;
        std::string stored;
    } rows[] = {
        {"lone LF", {"a\nb"}, "a\r\nb"},
        {"CR LF unchanged", {"a\r\n"}, "a\r\n"},
        {"CR ending one block pairs with LF opening the next", {"a\r", "\nb"}, "a\r\nb"},
        {"LF opening a block after text", {"a", "\n"}, "a\r\n"},
        {"several", {"\n\n\r\n"}, "\r\n\r\n\r\n"},
    };
    for (const Row& r : rows) {
        TestComponent c;
        c.AsciiTranslation = true;
        platform::TMemoryStream out;
        for (const std::string& b : r.blocks)
            Write(c, out, b);
        EXPECT_EQ(Text(out), r.stored) << r.label;
    }
}

TEST(BlockWrite, CrcCoversTheBytesBeforeTranslation) {
    TestComponent c;
    c.AsciiTranslation = true;
    platform::TMemoryStream out;
    Write(c, out, "a\nb", true);
    EXPECT_EQ(c.CrcRegister, Crc32Update(0xFFFFFFFF, "a\nb", 3));
}

TEST(BlockWrite, ShortWriteIsFatal) {
    TestComponent c;
    ErrorLog log;
    log.Attach(c);
    FullDiskStream out(4);
    try {
        Write(c, out, "0123456789");
        FAIL() << "a short write must raise";
    } catch (const EVroError& e) {
        EXPECT_EQ(e.Code, E_WRITE);
        EXPECT_STREQ(e.what(), "Error writing to file");
    }
    ASSERT_EQ(log.seen.size(), 1u);
    EXPECT_EQ(log.seen[0].second, E_WRITE);
}

TEST(BlockRead, FeedsTheRegisterOfTheKindAsked) {
    TestComponent c;
    std::string data = "123456789";
    platform::TMemoryStream in(data.data(), data.size());
    std::vector<uint8_t> buf(16);
    EXPECT_EQ(c.ReadBlock(&in, nullptr, 9, crc32, false, buf.data()), 9);
    EXPECT_EQ(~c.CrcRegister, 0xCBF43926u);
    in.Seek(0, platform::SeekOrigin::Begin);
    EXPECT_EQ(c.ReadBlock(&in, nullptr, 9, crc16, false, buf.data()), 9);
    EXPECT_EQ(c.Crc16Register, 0xBB3D);
    // Past the end: what is there, and a later read gives 0.
    EXPECT_EQ(c.ReadBlock(&in, nullptr, 9, crcNone, false, buf.data()), 0);
}

TEST(BlockRead, MemoryInputNeverReadsPastItsEnd) {
    TestComponent c;
    const uint8_t bytes[] = {1, 2, 3};
    c.InputSource = bsMemory;
    c.InputMemory = bytes;
    c.InputMemoryRemaining = 3;
    uint8_t buf[8] = {};
    EXPECT_EQ(c.ReadBlock(nullptr, nullptr, 8, crcNone, false, buf), 3);
    EXPECT_EQ(buf[2], 3);
    EXPECT_EQ(c.ReadBlock(nullptr, nullptr, 8, crcNone, false, buf), 0);
}

TEST(BlockRead, ArjGarbleCyclesThroughThePasswordAcrossCalls) {
    TestComponent c;
    c.SetArchiveFile(BRINDLE_TEST_DATA "/corpus/arj/arj_m1.arj");
    ASSERT_EQ(c.ArcType(), atArj);
    c.Password = "abc";
    const std::string plain = "hello world";
    std::string garbled = plain;
    for (size_t i = 0; i < garbled.size(); ++i)
        garbled[i] ^= c.Password[i % 3];
    platform::TMemoryStream in(garbled.data(), garbled.size());
    std::string out(plain.size(), '\0');
    auto* buf = reinterpret_cast<uint8_t*>(out.data());
    c.ReadBlock(&in, nullptr, 4, crcNone, true, buf);
    c.ReadBlock(&in, nullptr, 7, crcNone, true, buf + 4);
    EXPECT_EQ(out, plain);
}

TEST(BlockRead, ZipCipherRoundTrip) {
    TestComponent c;
    c.SetArchiveFile(BRINDLE_TEST_DATA "/corpus/zip/patool_t.zip");
    ASSERT_EQ(c.ArcType(), atZip);
    std::string data = "secret payload";
    const std::string plain = data;
    platform::TMemoryStream enciphered;
    c.ZipCipher.Init("pw");
    c.EncryptBlock(&enciphered, nullptr, true, data.size(), crc32, true,
                   reinterpret_cast<uint8_t*>(data.data()));
    EXPECT_NE(Text(enciphered), plain);
    EXPECT_EQ(c.CrcRegister, Crc32Update(0xFFFFFFFF, plain.data(), plain.size()));

    c.ZipCipher.Init("pw");
    enciphered.Seek(0, platform::SeekOrigin::Begin);
    std::string back(plain.size(), '\0');
    c.ReadBlock(&enciphered, nullptr, back.size(), crcNone, true,
                reinterpret_cast<uint8_t*>(back.data()));
    EXPECT_EQ(back, plain);
}

TEST(Errors, RaiseReportsThenThrowsReportOnlyReports) {
    TestComponent c;
    ErrorLog log;
    log.Attach(c);
    EXPECT_THROW(c.RaiseError(E_CRCERROR, "dir\\file.txt"), EVroError);
    c.ReportError(E_BADHEADER, "dir\\sub\\other.txt");
    ASSERT_EQ(log.seen.size(), 2u);
    EXPECT_EQ(log.seen[0], std::make_pair(std::string("dir\\file.txt"), int32_t(E_CRCERROR)));
    EXPECT_EQ(log.seen[1], std::make_pair(std::string("other.txt"), int32_t(E_BADHEADER)));
    EXPECT_STREQ(ErrorMessage(E_INCONSISTENTLOCAL), "Inconsistant local header");
    EXPECT_STREQ(ErrorMessage(12345), "");
}

TEST(Errors, SilentWhileTheActiveComponentIsCancelled) {
    TestComponent c;
    ErrorLog log;
    log.Attach(c);
    c.BeginRun();
    c.SetCancel(true);
    EXPECT_THROW(c.RaiseError(E_FREAD), EVroError); // still ends the run
    c.ReportError(E_FREAD);
    EXPECT_TRUE(log.seen.empty());
}

TEST(Progress, CancelAndProgressLetMessagesRun) {
    int pumped = 0;
    platform::SetProcessMessagesHook([&] { ++pumped; });
    TestComponent c;
    std::pair<int, int> reported{-1, -1};
    c.OnProgress = [&](TZipCommon&, uint8_t f, uint8_t a) { reported = {f, a}; };
    c.ProgressByFile = 30, c.ProgressByArchive = 10;
    c.Progress();
    c.SetCancel(false);
    platform::SetProcessMessagesHook(nullptr);
    EXPECT_EQ(reported, std::make_pair(30, 10));
    EXPECT_EQ(pumped, 2);
}

TEST(Specs, IncludeByFileSpecExcludeByExcludeSpec) {
    TestComponent c;
    EXPECT_FALSE(c.SpecMatch("a.txt", true)); // an empty FileSpec matches nothing
    c.SetFileSpec({"", "C:\\docs\\NOTES.*"});
    ASSERT_EQ(c.FileSpec(), std::vector<std::string>{"NOTES.*"});
    EXPECT_TRUE(c.SpecMatch("dir\\notes.txt", true));
    EXPECT_FALSE(c.SpecMatch("dir\\notes.txt", false)); // the path is part of the name then
    c.SetExcludeSpec({"*.BAK"});
    EXPECT_FALSE(c.SpecMatch("notes.bak", true));
    EXPECT_TRUE(c.SpecMatch("notes.txt", true));
}

TEST(FileAttr, BitsAndFlagsStayInStep) {
    TvroFileAttr a;
    EXPECT_TRUE(a.ftAnyFile());
    a.SetHidden(false);
    a.SetHidden(false);
    EXPECT_FALSE(a.ftHidden());
    EXPECT_FALSE(a.ftAnyFile());
    a.SetAnyFile(false); // leaves the bits alone
    EXPECT_EQ(a.ftFileAttr(), 63 - 2);
    a.SetFileAttr(64); // out of range: ignored
    EXPECT_EQ(a.ftFileAttr(), 63 - 2);
    a.SetAnyFile(true);
    EXPECT_TRUE(a.ftAnyFile());
}

TEST(Volumes, VolumeFileNames) {
    TestComponent c;
    c.VolumeLetter = 'a';
    c.VolumeNumber = 1;
    EXPECT_EQ(c.VolumeFileName("/d/x.arj", 1), "/d/x.a01");
    EXPECT_EQ(c.VolumeFileName("/d/x.tar.arj", 12), "/d/x.a12");
    c.VolumeNumber = 100;
    EXPECT_EQ(c.VolumeFileName("/d/x.arj", 120), "/d/x.120");
    EXPECT_EQ(c.VolumeFileName("", 1), "");
    EXPECT_EQ(c.VolumeFileName("/d/x.arj", -1), "");
}

TEST(Volumes, NextVolumeRequest) {
    TempDir dir;
    const std::string second = dir.Write("x.a01", "data");
    TestComponent c;
    ErrorLog log;
    log.Attach(c);
    c.ArchiveSize = 500;

    std::string name = dir / "x.arj";
    EXPECT_FALSE(c.RequestNextVolume(name, 1000));
    EXPECT_FALSE(c.RequestNextVolume(name = "", 1));
    ASSERT_EQ(log.seen.size(), 2u);
    EXPECT_EQ(log.seen[0].second, E_MAXVOLUMES);
    EXPECT_EQ(log.seen[1].second, E_INVALIDFILENAME);
    EXPECT_EQ(c.ReadPosition, 501); // past the end: the walk stops

    int calls = 0;
    c.OnNextVolume = [&](TZipCommon&, std::string& volume, const std::string& id, bool exists,
                         bool& cancel) {
        ++calls;
        EXPECT_EQ(id, "1");
        EXPECT_FALSE(exists);
        if (calls == 2) volume = second; // the host finds the volume on its second try
        cancel = false;
    };
    c.VolumeNumber = 1;
    name = dir / "missing.a01";
    EXPECT_TRUE(c.RequestNextVolume(name, 1));
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(name, second);
    EXPECT_EQ(c.VolumeNumber, 2);

    c.OnNextVolume = [](TZipCommon&, std::string&, const std::string&, bool, bool&) {};
    EXPECT_FALSE(c.RequestNextVolume(name, 2)); // Cancel left preset
}

TEST(SpannedDisks, NextDiskIsAskedForUntilItIsInTheDrive) {
    TempDir dir;
    const std::string disk = dir / "a";
    dir.Write("a/BACKUP.ZIP", "PK\7\x08 disk contents...........");
    platform::DeclareRemovableDisk(disk, "PKBACK# 001", 1);
    TestComponent c;
    c.SetArchiveFile(disk + "/BACKUP.ZIP");
    ASSERT_EQ(c.ArcType(), atZipMV);

    std::vector<std::string> asked;
    c.OnGetZipNextDisk = [&](TZipCommon&, const std::string& wanted, bool& cancel) {
        asked.push_back(wanted);
        platform::SetRemovableDiskLabel(disk, "PKBACK# 00" + wanted);
        cancel = false;
    };
    c.ObtainNextDisk(2);
    EXPECT_EQ(asked, std::vector<std::string>{"2"});
    EXPECT_EQ(c.CurrentDisk, 2);
    EXPECT_EQ(c.EntryInfo.VolumeName, "PKBACK# 002");

    c.OnGetZipNextDisk = [](TZipCommon&, const std::string&, bool&) {};
    EXPECT_THROW(c.ObtainNextDisk(3), EVroError); // Cancel left preset: user abort
    EXPECT_TRUE(c.Cancel());
    platform::ForgetRemovableDisks();
}

TEST(SpannedDisks, UnreadableDriveShowsTheRetryPrompt) {
    TempDir dir;
    const std::string disk = dir / "empty-drive";
    platform::DeclareRemovableDisk(disk, "PKBACK# 001", 1); // folder missing: no disk
    std::vector<std::string> prompts;
    platform::SetAskRetryHook([&](const std::string& text) {
        prompts.push_back(text);
        if (prompts.size() == 2) std::filesystem::create_directory(disk); // disk inserted
        return true;
    });
    TDiskManager m;
    EXPECT_TRUE(m.SelectDriveOf(disk + "/x.zip"));
    EXPECT_EQ(prompts.size(), 2u);
    EXPECT_NE(prompts[0].find("is not accessible."), std::string::npos);
    EXPECT_EQ(m.VolumeNumber(), 1);
    EXPECT_EQ(m.SerialNumber(), "00000001");
    platform::SetAskRetryHook(nullptr);
    platform::ForgetRemovableDisks();
}

TEST(SpannedDisks, LastDiskIsAskedForUntilItsEndRecordIsFound) {
    TempDir dir;
    const std::string disk = dir / "b";
    const std::string path = dir.Write("b/SET.ZIP", "PK\7\x08 first disk, no directory.....");
    platform::DeclareRemovableDisk(disk, "PKBACK# 001", 1);
    TestComponent c;
    c.SetArchiveFile(path);
    ASSERT_EQ(c.ArcType(), atZipMV);

    // The "last disk": an end record saying the directory starts at offset 5.
    const std::string end = std::string("PK\5\6", 4) + std::string(12, '\0') +
                            std::string("\5\0\0\0\0\0", 6);
    int asked = 0;
    c.OnGetZipLastDisk = [&](TZipCommon&, bool& cancel) {
        ++asked;
        dir.Write("b/SET.ZIP", std::string(40, 'd') + end);
        platform::SetRemovableDiskLabel(disk, "PKBACK# 003");
        cancel = false;
    };
    EXPECT_TRUE(c.ObtainLastDisk());
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(c.ArcType(), atZipMV); // the type found before the swap is kept
    EXPECT_EQ(c.StartOffset, 5);
    EXPECT_EQ(c.CurrentDisk, 3);
    platform::ForgetRemovableDisks();
}

TEST(TempFiles, TempFileStreamRemovesItsFile) {
    std::string name;
    {
        TTempFileStream t;
        name = t.FileName();
        EXPECT_EQ(t.Write("x", 1), 1);
        EXPECT_TRUE(std::filesystem::exists(name));
        EXPECT_EQ(std::filesystem::path(name).filename().string().rfind("vro", 0), 0u);
    }
    EXPECT_FALSE(std::filesystem::exists(name));
}
