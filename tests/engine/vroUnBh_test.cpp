// Guards the BH extractor: each method (stored, fused, deflated) decodes to its
// CRC-32, encrypted entries open with a given password, empty headers are passed over.
#include <gtest/gtest.h>

#include <zlib.h>

#include "engine/vroCrc.h"
#include "engine/vroErrors.h"
#include "engine/vroUnBh.h"
#include "engine/vroZipPassword.h"
#include "engine/vroZooHeader.h"
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

uint32_t Crc32(const std::string& s) {
    return ~Crc32Update(0xFFFFFFFF, s.data(), s.size());
}

std::string Header(const std::string& name, uint8_t flags, uint8_t method, size_t packed,
                   const std::string& plain, bool hasEntry = true) {
    return std::string("BH\x05\x07", 4) + Le16(hasEntry ? 37 + name.size() : 0) + "\x25\x14\x14" +
           static_cast<char>(flags) + static_cast<char>(method) + Le32(0x52CF6479) + Le32(packed) +
           Le32(plain.size()) + Le32(Crc32(plain)) + Le16(0x20) + Le32(0) + Le16(name.size()) +
           Le16(0) + name;
}

std::string Entry(const std::string& name, uint8_t method, const std::string& packed,
                  const std::string& plain) {
    return Header(name, 0, method, packed.size(), plain) + packed;
}

std::string RawDeflate(const std::string& plain) {
    z_stream z{};
    deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(plain.size() + 64, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

std::string Encrypted(const std::string& name, const std::string& plain, const std::string& pw) {
    TZipCipher cipher;
    const TZipEncryptionHeader header = MakeZipEncryptionHeader(cipher, pw, Crc32(plain));
    std::string data = plain;
    cipher.Encrypt(reinterpret_cast<uint8_t*>(data.data()), data.size());
    return Header(name, 1, 0, header.size() + data.size(), plain) +
           std::string(header.begin(), header.end()) + data;
}

// A "fused" stream: the -lh5- data of the real ZOO sample, whose content the BH
// corpus sample holds as well.
struct FusedSample {
    std::string packed, plain;
};

FusedSample LoadFusedSample() {
    const std::string zoo = ReadFileBytes(BRINDLE_TEST_DATA "/corpus/zoo/pascalvault_lh5.ZOO");
    const auto* bytes = reinterpret_cast<const uint8_t*>(zoo.data());
    const TZooEntry e = TZooEntry::Parse(bytes + ZooFirstEntry(bytes));
    TempDir dir;
    FusedSample s{zoo.substr(e.DataPosition, e.PackedSize), {}};
    // The plain text: the BH sample's deflated member, extracted by the same extractor.
    TUnBH x;
    RunExtractor(x, BRINDLE_TEST_DATA "/corpus/bh/pascalvault_packed.bh", dir / "ref");
    s.plain = ReadFileBytes(dir / "ref/test.txt");
    return s;
}

std::vector<std::string> EndNames(const testing_support::ExtractLog& log) {
    std::vector<std::string> names;
    for (const auto& [fn, pass] : log.ends)
        names.push_back(fn.substr(fn.find_last_of("/\\") + 1) + (pass ? "" : " failed"));
    return names;
}

TEST(BhExtract, EveryMethodAndAnEmptyHeader) {
    const std::string text = "BH text, BH text, BH text, and more BH text.";
    const FusedSample fused = LoadFusedSample();
    ASSERT_EQ(fused.plain.size(), 4121u);
    const std::string bh = Entry("stored.txt", 0, text, text) + Header("", 0, 0, 0, "", false) +
                           Entry("fused.txt", 1, fused.packed, fused.plain) +
                           Entry("deflated.txt", 8, RawDeflate(text), text) +
                           Entry("odd.txt", 5, "xyz", "xyz") +
                           Entry("deflated2.txt", 2, RawDeflate(text), text);
    TempDir dir;
    TUnBH x;
    const auto log = RunExtractor(x, dir.Write("m.bh", bh), dir / "out");
    EXPECT_EQ(EndNames(log), (std::vector<std::string>{"stored.txt", "fused.txt", "deflated.txt",
                                                       "odd.txt failed", "deflated2.txt"}));
    EXPECT_TRUE(log.Has(E_UNSUPPORTEDMETHOD));
    EXPECT_EQ(ReadFileBytes(dir / "out/stored.txt"), text);
    EXPECT_EQ(ReadFileBytes(dir / "out/fused.txt"), fused.plain);
    EXPECT_EQ(ReadFileBytes(dir / "out/deflated.txt"), text);
}

TEST(BhExtract, EncryptedEntryOpensWithAGivenPassword) {
    const std::string bh = Encrypted("secret.txt", "hidden words", "pw");
    TempDir dir;
    const std::string file = dir.Write("e.bh", bh);
    TUnBH right;
    const auto ok = RunExtractor(right, file, dir / "out", false, {"wrong", "pw"});
    EXPECT_EQ(EndNames(ok), std::vector<std::string>{"secret.txt"});
    EXPECT_EQ(ReadFileBytes(dir / "out/secret.txt"), "hidden words");
    TUnBH wrong;
    const auto bad = RunExtractor(wrong, file, dir / "out2", true, {"wrong"});
    // With no host to ask, the entry is skipped and reported failed, as in ZIP.
    EXPECT_EQ(EndNames(bad), std::vector<std::string>{"secret.txt failed"});
}

} // namespace
