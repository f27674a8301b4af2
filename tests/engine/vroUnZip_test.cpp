// Guards the extraction driver and the ZIP extractor: which entries are chosen,
// where they land, the file-exists and begin handshakes, passwords, dates and
// attributes, overlapping-entry bombs, damaged data failing only its entry.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "engine/vroCrc.h"
#include "engine/vroUnZip.h"
#include "engine/vroZipCheck.h"
#include "engine/vroZipPassword.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

using namespace vro;
using testing_support::ReadFileBytes;
using testing_support::TempDir;
using testing_support::ZipBuilder;
using testing_support::ZipEntrySpec;

namespace {

struct ExtractionLog {
    bool ok = false;
    std::vector<std::pair<std::string, bool>> ends; // (FN, CRC_PASS)
    std::vector<int32_t> errors;
    int begins = 0;
};

// Extracts into dir/out with the given masks; configure runs before the archive is set.
ExtractionLog ExtractZip(const TempDir& dir, const std::string& zip, std::vector<std::string> masks,
               const std::function<void(TUnZIP&)>& configure = {}) {
    ExtractionLog r;
    TUnZIP x;
    x.SetFileSpec(std::move(masks));
    x.OnEnd = [&](TZipCommon&, const std::string& fn, bool pass) { r.ends.emplace_back(fn, pass); };
    x.OnBegin = [&](TZipCommon&, const std::string&, int32_t, bool&) { ++r.begins; };
    x.OnError = [&](TZipCommon&, const std::string&, const std::string&, const std::string&,
                    int32_t code) { r.errors.push_back(code); };
    if (configure) configure(x);
    x.SetArchiveFile(dir.Write("a.zip", zip));
    x.SetExtractDir(dir / "out");
    r.ok = x.Extract();
    return r;
}

std::string ThreeFiles() {
    return ZipBuilder()
        .Add({.name = "b1.txt", .data = "one"})
        .Add({.name = "sub/b2.txt", .data = "two"})
        .Add({.name = "c.dat", .data = "three"})
        .Build();
}

// A stored entry enciphered with the traditional cipher under password.
ZipEntrySpec Encrypted(const std::string& name, const std::string& plain, const std::string& pw) {
    TZipCipher cipher;
    const uint32_t crc = ZipBuilder::Crc32(plain);
    const TZipEncryptionHeader header = MakeZipEncryptionHeader(cipher, pw, crc);
    std::string data = plain;
    cipher.Encrypt(reinterpret_cast<uint8_t*>(data.data()), data.size());
    return {.name = name,
            .data = std::string(header.begin(), header.end()) + data,
            .flags = 1,
            .crc = crc,
            .unpackedSize = static_cast<int64_t>(plain.size())};
}

} // namespace

TEST(Extract, MasksChooseTheEntries) {
    struct Row {
        const char* label;
        std::vector<std::string> masks;
        std::vector<std::string> files;
    } rows[] = {
        {"one plain pattern takes the first match only", {"b?.txt"}, {"b1.txt"}},
        {"a pattern with a star takes all", {"b*.txt"}, {"b1.txt", "sub/b2.txt"}},
        {"several patterns", {"b2.txt", "c.dat"}, {"sub/b2.txt", "c.dat"}},
        {"no pattern takes nothing", {}, {}},
    };
    for (const Row& row : rows) {
        TempDir dir;
        const ExtractionLog r = ExtractZip(dir, ThreeFiles(), row.masks);
        EXPECT_TRUE(r.ok) << row.label;
        std::vector<std::string> got;
        for (const auto& [fn, pass] : r.ends) {
            EXPECT_TRUE(pass) << fn;
            got.push_back(std::filesystem::relative(fn, dir / "out").string());
        }
        EXPECT_EQ(got, row.files) << row.label;
    }
}

TEST(Extract, ContentsDatesAndAttributes) {
    TempDir dir;
    const ExtractionLog r = ExtractZip(dir,
                             ZipBuilder()
                                 .Add({.name = "ro.txt", .data = "locked", .externalAttr = 0x21})
                                 .Add({.name = "empty.txt"})
                                 .Build(),
                             {"*.*"});
    ASSERT_EQ(r.ends.size(), 2u);
    EXPECT_EQ(ReadFileBytes(dir / "out/ro.txt"), "locked");
    EXPECT_TRUE(r.ends[1].second); // a 0-byte stored entry passes
    EXPECT_EQ(std::filesystem::file_size(dir / "out/empty.txt"), 0u);
    struct stat st;
    ASSERT_EQ(::stat((dir / "out/ro.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u); // read-only clears every write bit
    uint32_t dos = 0;
    ASSERT_TRUE(platform::FileDosDateTime(dir / "out/empty.txt", dos));
    EXPECT_EQ(dos, 0x52CF6479u);
}

TEST(Extract, ExistingTargetsAndTheBeginHandshake) {
    TempDir dir;
    dir.Write("out/b1.txt", "old");
    dir.Write("out/.hidden", "keep");
    std::filesystem::permissions(dir / "out/b1.txt", std::filesystem::perms::owner_read);
    const std::string zip = ZipBuilder()
                                .Add({.name = "b1.txt", .data = "new"})
                                .Add({.name = ".hidden", .data = "x"})
                                .Build();
    // Without OnFileExists an existing read-only file is overwritten; a hidden one is not.
    const ExtractionLog plain = ExtractZip(dir, zip, {"*.*"});
    EXPECT_EQ(ReadFileBytes(dir / "out/b1.txt"), "new");
    EXPECT_EQ(ReadFileBytes(dir / "out/.hidden"), "keep");
    EXPECT_EQ(plain.errors, std::vector<int32_t>{E_FOPEN});

    // Declining the overwrite skips silently: no OnBegin, no OnEnd.
    const ExtractionLog declined = ExtractZip(dir, zip, {"b1.txt"}, [](TUnZIP& x) {
        x.OnFileExists = [](TZipCommon&, const std::string&, TDateTime, bool& accept) {
            accept = false;
        };
    });
    EXPECT_EQ(declined.begins, 0);
    EXPECT_TRUE(declined.ends.empty());

    // OnBegin saying no skips without OnEnd.
    const ExtractionLog refused = ExtractZip(dir, ThreeFiles(), {"c.dat"}, [](TUnZIP& x) {
        x.OnBegin = [](TZipCommon&, const std::string&, int32_t, bool& extract) { extract = false; };
    });
    EXPECT_TRUE(refused.ends.empty());
    EXPECT_FALSE(std::filesystem::exists(dir / "out/c.dat"));
}

TEST(Extract, HostileNamesStayInsideAndAreReported) {
    TempDir dir;
    const ExtractionLog r = ExtractZip(dir,
                             ZipBuilder()
                                 .Add({.name = "../../escape.txt", .data = "x"})
                                 .Add({.name = "/abs/path.txt", .data = "y"})
                                 .Build(),
                             {"*.*"});
    EXPECT_TRUE(std::filesystem::exists(dir / "out/escape.txt"));
    EXPECT_TRUE(std::filesystem::exists(dir / "out/abs/path.txt"));
    EXPECT_FALSE(std::filesystem::exists(dir.path().parent_path() / "escape.txt"));
    EXPECT_EQ(r.errors, std::vector<int32_t>{E_INVALIDFILENAME});
}

TEST(Extract, OverlappingEntriesAreRefused) {
    // Two central entries share one local header: the second copy's data would
    // overlap the first's, the shape of a ratio bomb.
    std::string zip = ZipBuilder().Add({.name = "a.txt", .data = "aaaa"}).Add({.name = "b.txt", .data = "bbbb"}).Build();
    const size_t secondCentral = zip.rfind("PK\1\2");
    zip.replace(secondCentral + 42, 4, std::string(4, '\0')); // b's local offset -> a's
    TempDir dir;
    const ExtractionLog r = ExtractZip(dir, zip, {"*.*"});
    ASSERT_EQ(r.ends.size(), 2u);
    EXPECT_TRUE(r.ends[0].second);
    EXPECT_FALSE(r.ends[1].second);
}

TEST(Extract, DamagedDataFailsOnlyItsEntry) {
    TempDir dir;
    const ExtractionLog r = ExtractZip(dir,
                             ZipBuilder()
                                 .Add({.name = "bad.txt", .data = "damaged", .crc = 0x12345678})
                                 .Add({.name = "good.txt", .data = "fine"})
                                 .Build(),
                             {"*.*"});
    ASSERT_EQ(r.ends.size(), 2u);
    EXPECT_FALSE(r.ends[0].second);
    EXPECT_EQ(ReadFileBytes(dir / "out/bad.txt"), "damaged"); // partial output is kept
    EXPECT_TRUE(r.ends[1].second);
}

TEST(Passwords, CandidatesAndTheHost) {
    const std::string zip = ZipBuilder()
                                .Add(Encrypted("one.txt", "first secret", "pw"))
                                .Add(Encrypted("two.txt", "second secret", "pw"))
                                .Build();
    {
        TempDir dir;
        int asked = 0;
        const ExtractionLog r = ExtractZip(dir, zip, {"*.*"}, [&](TUnZIP& x) {
            x.SetPasswords({"wrong", "pw"});
            x.OnGetPassword = [&](TZipCommon&, const std::string&, std::string&, bool&) { ++asked; };
        });
        EXPECT_EQ(asked, 0);
        EXPECT_EQ(ReadFileBytes(dir / "out/two.txt"), "second secret");
    }
    {
        TempDir dir;
        int asked = 0;
        std::vector<std::string> learned;
        ExtractZip(dir, zip, {"*.*"}, [&](TUnZIP& x) {
            x.SetPasswords({"old"});
            x.OnGetPassword = [&](TZipCommon&, const std::string&, std::string& pw, bool&) {
                ++asked, pw = "pw";
            };
            x.OnDeactivate = [&](TZipCommon& s) { learned = s.Passwords(); };
        });
        EXPECT_EQ(asked, 1); // the second entry uses what the host gave for the first
        EXPECT_EQ(learned, (std::vector<std::string>{"pw", "old"}));
        EXPECT_EQ(ReadFileBytes(dir / "out/one.txt"), "first secret");
    }
}

TEST(Passwords, ThreeWrongAnswersEndTheRun) {
    const std::string zip = ZipBuilder()
                                .Add(Encrypted("one.txt", "first secret", "pw"))
                                .Add(Encrypted("two.txt", "second secret", "pw"))
                                .Build();
    TempDir dir;
    const ExtractionLog r = ExtractZip(dir, zip, {"*.*"}, [](TUnZIP& x) {
        x.OnGetPassword = [](TZipCommon&, const std::string&, std::string& pw, bool&) { pw = "no"; };
    });
    EXPECT_EQ(r.errors, (std::vector<int32_t>{E_INVALIDPASSWORD, E_INVALIDPASSWORD,
                                              E_INVALIDPASSWORD, E_PASSWORDFAILED}));
    ASSERT_EQ(r.ends.size(), 1u);
    EXPECT_FALSE(r.ends[0].second);
}

TEST(Passwords, DataDescriptorEntriesCheckTheTimeByte) {
    // Flag bit 3: the check byte is the top byte of the DOS time, not of the CRC.
    ZipEntrySpec e = Encrypted("d.txt", "payload", "pw");
    TZipCipher cipher;
    std::string header = e.data.substr(0, 12);
    cipher.Init("pw");
    cipher.Decrypt(reinterpret_cast<uint8_t*>(header.data()), 12);
    header[11] = static_cast<char>((e.dosDateTime >> 8) & 0xFF);
    // Re-encipher header and data in one stream with the new check byte.
    std::string plain = header + "payload";
    cipher.Init("pw");
    cipher.Encrypt(reinterpret_cast<uint8_t*>(plain.data()), plain.size());
    e.data = plain;
    e.flags = 1 | 8;
    TempDir dir;
    ExtractZip(dir, ZipBuilder().Add(e).Build(), {"*.*"}, [](TUnZIP& x) { x.SetPasswords({"pw"}); });
    EXPECT_EQ(ReadFileBytes(dir / "out/d.txt"), "payload");
}

TEST(Extract, CancelFromProgressStopsBeforeTheNextEntry) {
    TempDir dir;
    bool deactivated = false;
    const ExtractionLog r = ExtractZip(dir, ThreeFiles(), {"*.*"}, [&](TUnZIP& x) {
        x.ProgressNotify = Five;
        x.OnProgress = [](TZipCommon& s, uint8_t byFile, uint8_t) {
            if (byFile == 100) s.SetCancel(true);
        };
        x.OnDeactivate = [&](TZipCommon&) { deactivated = true; };
    });
    EXPECT_EQ(r.ends.size(), 1u);
    EXPECT_TRUE(deactivated);
}

TEST(IntegrityTest, RefusesWhatItCannotTest) {
    TempDir dir;
    struct Row {
        const char* label;
        std::string path;
        bool assignStatus;
        int32_t code;
    } rows[] = {
        {"not an archive", dir.Write("x.txt", std::string(64, 'x')), true, E_INVALIDARCTYPE},
        {"UU text", dir.Write("x.uue", "begin 644 x\n`\nend\n"), true, E_INVALIDARCTYPE},
        {"no OnStatus", dir.Write("a.zip", ThreeFiles()), false, E_REQUIREDEVENT},
    };
    for (const Row& row : rows) {
        TZipCheck check;
        std::vector<int32_t> errors;
        check.OnError = [&](TZipCommon&, const std::string&, const std::string&,
                            const std::string&, int32_t code) { errors.push_back(code); };
        if (row.assignStatus) check.OnStatus = [](TZipCommon&, const std::string&, bool) {};
        check.SetArchiveFile(row.path);
        EXPECT_FALSE(check.TestArchive()) << row.label;
        EXPECT_EQ(errors, std::vector<int32_t>{row.code}) << row.label;
    }
}

TEST(IntegrityTest, ReportsEachEntry) {
    TempDir dir;
    TZipCheck check;
    check.SetFileSpec({"*.*"});
    std::vector<std::pair<std::string, bool>> status;
    check.OnStatus = [&](TZipCommon&, const std::string& fn, bool pass) { status.emplace_back(fn, pass); };
    check.SetArchiveFile(dir.Write("t.zip", ZipBuilder()
                                               .Add({.name = "ok.txt", .data = "fine"})
                                               .Add({.name = "bad.txt", .data = "x", .crc = 1})
                                               .Build()));
    EXPECT_TRUE(check.TestArchive());
    EXPECT_EQ(status, (std::vector<std::pair<std::string, bool>>{{"ok.txt", true}, {"bad.txt", false}}));
    EXPECT_FALSE(std::filesystem::exists(dir / "ok.txt")); // a test writes nothing
}
