// The single entry of a GZIP-family file (RFC 1952 for gzip; the compress and pack
// formats share the leading 1F byte): name and date from the header. The decoded
// size is what decoding gives: the trailer holds only the last member's size
// (a file of several members holds their sum), and compress stores none.
//   0 magic (2)   2 method (1)   3 flags (1)   4 modification time, Unix (4)
//   8 extra flags (1)   9 OS (1)   10 [extra length (2) + extra] [name, NUL] ...
#include <algorithm>
#include <filesystem>
#include <optional>

#include "engine/vroDates.h"
#include "engine/vroHelpers.h"
#include "engine/vroMethodNames.h"
#include "engine/vroUnGZip.h"
#include "engine/vroWalks.h"
#include "platform/FileSystem.h"

namespace vro {

namespace {

constexpr int kHeaderSize = 10;
constexpr int kMaxNameLength = 255;
constexpr uint8_t kFlagExtra = 0x04;
constexpr uint8_t kFlagName = 0x08;
constexpr uint8_t kFlagEncrypted = 0x20;
constexpr uint16_t kGzip = 0x8B1F, kGzipOld = 0x9E1F, kCompress = 0x9D1F, kPack = 0x1E1F,
                   kLzh = 0xA01F;

class GZipWalk : public TCatalogueWalk {
public:
    // A file shorter than a gzip header (a tiny compress file) still makes one
    // step: the loop wants the block to end before the file does, and fills the
    // rest of the block with zeros.
    void Prepare(TVireo& v) override {
        v.BlockSize = static_cast<int>(std::clamp<int64_t>(v.ArchiveSize - 1, 1, kHeaderSize));
    }
    void Step(TVireo& v) override;

private:
    std::string StoredName(TVireo& v, int64_t at);
    void ReadTrailer(TVireo& v, uint16_t extraLength);
    static std::optional<uint64_t> DecodedSize(TVireo& v, bool gzip);
};

// The archive's own name up to its first ".", for streams that store none.
std::string NameFromArchive(const std::string& archive) {
    const std::string base = std::filesystem::path(archive).filename().string();
    return base.substr(0, base.find('.'));
}

std::string GZipWalk::StoredName(TVireo& v, int64_t at) {
    std::string name(kMaxNameLength, '\0');
    name.resize(v.ReadSomeAt(at, name.data(), kMaxNameLength));
    return name.substr(0, name.find('\0'));
}

// The last eight bytes: CRC-32 and the size modulo 2^32. Some writers put a
// stored-name block before them, introduced by the bytes 1F 8B 00 00.
void GZipWalk::ReadTrailer(TVireo& v, uint16_t extraLength) {
    TEntryInfo& e = v.EntryInfo;
    uint8_t trailer[8] = {};
    v.ReadAt(v.ArchiveSize - 8, trailer, 8);
    e.CRC = GetLE32(trailer);
    if (trailer[0] == 0x1F && trailer[1] == 0x8B && trailer[2] == 0 && trailer[3] == 0) {
        uint8_t length[4] = {}, crc[4] = {};
        v.ReadAt(v.ArchiveSize - 4, length, 4);
        const int64_t nameLength = GetLE32(length);
        if (nameLength > 0 && nameLength < v.ArchiveSize) {
            std::string name(static_cast<size_t>(std::min<int64_t>(nameLength, kMaxNameLength)),
                             '\0');
            if (v.ReadAt(v.ArchiveSize - nameLength - 8, name.data(), name.size()))
                e.FileName = FromArchiveName(name.substr(0, name.find('\0')));
            v.ReadAt(v.ArchiveSize - 16 - nameLength, crc, 4);
            e.CRC = GetLE32(crc);
        }
    }
    v.SetSizes(v.ArchiveSize - extraLength - 8, GetLE32(trailer + 4));
}

// Decodes the whole file into a counter; nothing when it does not decode.
std::optional<uint64_t> GZipWalk::DecodedSize(TVireo& v, bool gzip) {
    int64_t pos = 0;
    const TCodecInput input = [&](uint8_t* buffer, size_t capacity) -> size_t {
        const int64_t got = v.ReadSomeAt(pos, buffer, static_cast<int64_t>(capacity));
        if (got <= 0) return 0;
        pos += got;
        return static_cast<size_t>(got);
    };
    uint64_t size = 0;
    const TCodecOutput count = [&](const uint8_t*, size_t n) {
        size += n;
        return true;
    };
    if (gzip) {
        const TGZipOutcome o = DecodeGZip(input, count);
        return o.Result == TGZipResult::Done ? std::optional<uint64_t>(o.Size) : std::nullopt;
    }
    const TLzwResult r = DecompressLzw(input, count);
    return r == TLzwResult::Done ? std::optional<uint64_t>(size) : std::nullopt;
}

void GZipWalk::Step(TVireo& v) {
    const uint8_t* b = v.Block.data();
    const uint16_t magic = GetLE16(b);
    if (magic != kGzip && magic != kGzipOld && magic != kCompress && magic != kPack &&
        magic != kLzh) {
        v.EndWalk();
        return;
    }
    TEntryInfo& e = v.EntryInfo;
    const uint8_t method = b[2], flags = b[3];
    const bool gzip = magic == kGzip || magic == kGzipOld;

    int64_t at = kHeaderSize;
    uint16_t extraLength = 0;
    if (gzip && (flags & kFlagExtra)) {
        uint8_t length[2] = {};
        v.ReadAt(at, length, 2);
        extraLength = GetLE16(length);
        at += 2 + extraLength;
    }
    e.FileName = gzip && (flags & kFlagName) ? FromArchiveName(StoredName(v, at))
                                             : NameFromArchive(v.ArchiveFile());
    v.NameRead(e.FileName);
    e.DateTime = magic == kCompress ? DosDateTimeToDate(v.ArchiveDate) : UnixToDate(GetLE32(b + 4));
    e.CRC = 0;
    e.Encrypted = false;
    v.SetSizes(v.ArchiveSize - kHeaderSize, v.ArchiveSize - kHeaderSize);
    if (gzip) {
        ReadTrailer(v, extraLength);
        e.Encrypted = flags & kFlagEncrypted;
        if (const auto size = DecodedSize(v, true))
            v.SetSizes(e.PackedSize, static_cast<int64_t>(*size));
    } else if (magic == kCompress) {
        if (const auto size = DecodedSize(v, false))
            v.SetSizes(e.PackedSize, static_cast<int64_t>(*size));
    } else if (magic == kPack && v.ArchiveSize >= 6) {
        // pack keeps the original length, big-endian, right after its magic.
        v.SetSizes(v.ArchiveSize - kHeaderSize,
                   static_cast<int64_t>(b[2]) << 24 | b[3] << 16 | b[4] << 8 | b[5]);
    }
    e.MethodCode = method;
    e.MethodName = MethodName(atGZip, method, false, 0, magic);
    e.ExternalAttr = platform::FileAttributes(v.ArchiveFile());
    e.InternalAttr = static_cast<int16_t>(e.ExternalAttr);
    v.ReportEntry(0);
    v.EndWalk();
}

} // namespace

std::unique_ptr<TCatalogueWalk> MakeGZipWalk() {
    return std::make_unique<GZipWalk>();
}

} // namespace vro
