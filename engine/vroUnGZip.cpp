#include "engine/vroUnGZip.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "engine/vroBytes.h"
#include "engine/vroCrc.h"
#include "engine/vroEntrySink.h"
#include "engine/vroExtractors.h"
#include "engine/vroHelpers.h"
#include "engine/vroTarHeader.h"
#include "engine/vroUnTar.h"
#include "platform/FileSystem.h"

namespace vro {

namespace {

constexpr uint8_t kMagic0 = 0x1F;
constexpr uint8_t kGzipMagic1 = 0x8B, kGzipOldMagic1 = 0x9E, kCompressMagic1 = 0x9D,
                  kPackMagic1 = 0x1E, kLzhMagic1 = 0xA0;
constexpr uint8_t kDeflate = 8;
constexpr uint8_t kFlagHeaderCrc = 0x02, kFlagExtra = 0x04, kFlagName = 0x08, kFlagComment = 0x10,
                  kFlagEncrypted = 0x20;
constexpr size_t kFixedHeaderSize = 10;
constexpr size_t kTrailerSize = 8;
constexpr size_t kMaxNameLength = 255;
constexpr int32_t kNoStoredAttributes = 0x20;

// The inflater is fed in small pieces so that, when a member's DEFLATE data ends,
// the bytes it took beyond that end (its look-ahead plus one piece) are still in
// the source's history and the trailer can be found among them.
constexpr size_t kFeedPiece = 256;
constexpr size_t kInflaterLookAhead = 64;
constexpr size_t kTrailerSearch = kFeedPiece + kInflaterLookAhead + kTrailerSize;
constexpr size_t kHistory = 1024;
constexpr size_t kSourceBuffer = 64 * 1024 + kHistory;

// Input pulled in blocks, read byte by byte or handed on in pieces, keeping the
// last kHistory bytes passed so that the position can move back among them.
class TByteSource {
public:
    explicit TByteSource(const TCodecInput& input) : input_(input), buffer_(kSourceBuffer) {}

    // True when at least n bytes are unread (false only at the end of the input).
    bool Ensure(size_t n) {
        while (end_ - next_ < n && !ended_) {
            if (end_ == buffer_.size()) Compact();
            const size_t got = input_(buffer_.data() + end_, buffer_.size() - end_);
            if (got == 0) ended_ = true;
            end_ += std::min(got, buffer_.size() - end_);
        }
        return end_ - next_ >= n;
    }
    const uint8_t* Data() const { return buffer_.data() + next_; }
    size_t Available() const { return end_ - next_; }
    void Skip(size_t n) { next_ += std::min(n, Available()); }
    int32_t Byte() { return Ensure(1) ? buffer_[next_++] : -1; }
    bool SkipBytes(size_t n) {
        while (n > 0) {
            if (!Ensure(1)) return false;
            const size_t step = std::min(n, Available());
            next_ += step;
            n -= step;
        }
        return true;
    }
    // The offset of the next unread byte from the start of the input.
    uint64_t Position() const { return base_ + next_; }
    // Moves to just past a copy of pattern that starts at most `back` bytes before
    // the current position (and not after it), nor before notBefore: the earliest
    // one followed by what `fits` accepts (given the bytes after it, at most two),
    // else the earliest one. False when there is none.
    bool MovePast(const uint8_t* pattern, size_t length, size_t back, uint64_t notBefore,
                  const std::function<bool(const uint8_t*, size_t)>& fits) {
        Ensure(back + length + 2); // the candidates and the bytes after them
        size_t from = next_ > back ? next_ - back : 0;
        if (notBefore > base_)
            from = std::max<size_t>(from, static_cast<size_t>(notBefore - base_));
        std::optional<size_t> first;
        for (size_t at = from; at <= next_ && at + length <= end_; ++at) {
            if (std::memcmp(buffer_.data() + at, pattern, length) != 0) continue;
            const size_t after = at + length;
            if (fits(buffer_.data() + after, std::min<size_t>(2, end_ - after))) {
                first = at;
                break;
            }
            if (!first) first = at;
        }
        if (!first) return false;
        next_ = *first + length;
        return true;
    }

private:
    void Compact() {
        const size_t keepFrom = next_ > kHistory ? next_ - kHistory : 0;
        std::memmove(buffer_.data(), buffer_.data() + keepFrom, end_ - keepFrom);
        base_ += keepFrom;
        next_ -= keepFrom;
        end_ -= keepFrom;
    }

    const TCodecInput& input_;
    std::vector<uint8_t> buffer_;
    size_t next_ = 0, end_ = 0;
    uint64_t base_ = 0; // offset of buffer_[0] in the input
    bool ended_ = false;
};

bool IsGZipMagic(const uint8_t* b) {
    return b[0] == kMagic0 && (b[1] == kGzipMagic1 || b[1] == kGzipOldMagic1);
}

// Skips a zero-terminated text, keeping its first kMaxNameLength bytes in text.
bool ReadZeroTerminated(TByteSource& source, std::string* text) {
    for (;;) {
        const int32_t c = source.Byte();
        if (c < 0) return false;
        if (c == 0) return true;
        if (text && text->size() < kMaxNameLength) text->push_back(static_cast<char>(c));
    }
}

// One member header in RFC 1952 order: fixed part, extra field, name, comment,
// header CRC (the flag bit older writers used for multi-part files).
TGZipResult ReadMemberHeader(TByteSource& source, TGZipHeader& h) {
    if (!source.Ensure(kFixedHeaderSize))
        return source.Available() < 2 || !IsGZipMagic(source.Data()) ? TGZipResult::BadMagic
                                                                     : TGZipResult::Truncated;
    const uint8_t* b = source.Data();
    if (!IsGZipMagic(b)) return TGZipResult::BadMagic;
    h.Method = b[2];
    h.Flags = b[3];
    h.ModTime = GetLE32(b + 4);
    h.Name.clear();
    source.Skip(kFixedHeaderSize);
    if (h.Flags & kFlagEncrypted) return TGZipResult::Encrypted;
    if (h.Flags & kFlagExtra) {
        const int32_t low = source.Byte(), high = source.Byte();
        if (high < 0 || !source.SkipBytes(static_cast<size_t>(low | high << 8)))
            return TGZipResult::Truncated;
    }
    if ((h.Flags & kFlagName) && !ReadZeroTerminated(source, &h.Name))
        return TGZipResult::Truncated;
    if ((h.Flags & kFlagComment) && !ReadZeroTerminated(source, nullptr))
        return TGZipResult::Truncated;
    if ((h.Flags & kFlagHeaderCrc) && !source.SkipBytes(2)) return TGZipResult::Truncated;
    return h.Method == kDeflate ? TGZipResult::Done : TGZipResult::BadMethod;
}

// After a member's DEFLATE data, which began at dataStart: finds its trailer
// (CRC-32, size mod 2^32) among the bytes the inflater may have taken beyond the
// data's end. It is never looked for before the data, so every member moves on.
TGZipResult MatchTrailer(TByteSource& source, uint64_t dataStart, uint32_t crc, uint64_t size) {
    uint8_t trailer[kTrailerSize];
    PutLE32(trailer, crc);
    PutLE32(trailer + 4, static_cast<uint32_t>(size));
    // A trailer is followed by the end, another member, or zeros (padding).
    const auto fits = [](const uint8_t* after, size_t n) {
        return n == 0 || (n == 2 && IsGZipMagic(after)) ||
               std::all_of(after, after + n, [](uint8_t b) { return b == 0; });
    };
    if (source.MovePast(trailer, kTrailerSize, kTrailerSearch, dataStart, fits))
        return TGZipResult::Done;
    return source.MovePast(trailer, 4, kTrailerSearch, dataStart, fits) ? TGZipResult::SizeMismatch
                                                                        : TGZipResult::CrcMismatch;
}

// The archive's own name up to its first ".", for files that store none.
std::string NameFromArchive(const std::string& archive) {
    const std::string base = std::filesystem::path(archive).filename().string();
    return base.substr(0, base.find('.'));
}

TCodecInput StreamInput(platform::TStream& stream) {
    return [&stream](uint8_t* buffer, size_t capacity) -> size_t {
        const int64_t got = stream.Read(buffer, static_cast<int64_t>(capacity));
        return got > 0 ? static_cast<size_t>(got) : 0;
    };
}

int32_t GZipErrorCode(TGZipResult r) {
    switch (r) {
    case TGZipResult::BadMagic: return E_HEADERID;
    case TGZipResult::BadMethod: return E_UNSUPPORTEDMETHOD;
    case TGZipResult::Encrypted: return E_PASSWORDPROTECTED;
    case TGZipResult::Truncated: return E_BADHEADER;
    case TGZipResult::OutputFailed: return E_WRITE;
    default: return E_BADBLOCK;
    }
}

int32_t LzwErrorCode(TLzwResult r) {
    switch (r) {
    case TLzwResult::BadMagic: return E_HEADERID;
    case TLzwResult::ReservedFlags: return E_INCOMPLETECODESET;
    case TLzwResult::WidthTooLarge: return E_UNSUPPORTEDMETHOD;
    case TLzwResult::OutputFailed: return E_WRITE;
    default: return E_CORRUPTINPUT;
    }
}

} // namespace

TGZipOutcome DecodeGZip(const TCodecInput& input, const TCodecOutput& output) {
    TByteSource source(input);
    TGZipOutcome outcome;
    uint32_t crc = 0;
    uint64_t memberSize = 0;
    const TCodecOutput counted = [&](const uint8_t* data, size_t size) {
        crc = Crc32Update(crc, data, size);
        memberSize += size;
        outcome.Size += size;
        return output(data, size);
    };
    const TCodecInput feed = [&](uint8_t* buffer, size_t capacity) -> size_t {
        if (!source.Ensure(1)) return 0;
        const size_t n = std::min({capacity, kFeedPiece, source.Available()});
        std::memcpy(buffer, source.Data(), n);
        source.Skip(n);
        return n;
    };
    for (;;) {
        TGZipHeader header;
        outcome.Result = ReadMemberHeader(source, header);
        if (outcome.Result != TGZipResult::Done) return outcome;
        crc = 0xFFFFFFFF;
        memberSize = 0;
        const uint64_t dataStart = source.Position();
        TInflater inflater;
        outcome.Inflate = inflater.Inflate(feed, counted);
        if (outcome.Inflate != TInflateResult::Done) {
            outcome.Result = outcome.Inflate == TInflateResult::OutputFailed
                                 ? TGZipResult::OutputFailed
                                 : TGZipResult::InflateFailed;
            return outcome;
        }
        outcome.Result = MatchTrailer(source, dataStart, ~crc, memberSize);
        if (outcome.Result != TGZipResult::Done) return outcome;
        ++outcome.Members;
        // Another member follows, or the file ends (trailing zeros are ignored).
        if (!source.Ensure(2) || !IsGZipMagic(source.Data())) return outcome;
    }
}

bool ParseGZipHeader(const TCodecInput& input, TGZipHeader& header) {
    TByteSource source(input);
    const TGZipResult r = ReadMemberHeader(source, header);
    return r == TGZipResult::Done || r == TGZipResult::BadMethod || r == TGZipResult::Encrypted;
}

std::unique_ptr<TTempFileStream> UnpackCompressedTar(const std::string& archive) {
    platform::TFileStream in;
    uint8_t magic[2] = {};
    if (!in.Open(archive, platform::FileMode::Read) || in.Read(magic, 2) != 2 ||
        in.Seek(0, platform::SeekOrigin::Begin) != 0)
        return nullptr;
    const bool gzip = IsGZipMagic(magic);
    if (!gzip && !(magic[0] == kMagic0 && magic[1] == kCompressMagic1)) return nullptr;

    auto temp = std::make_unique<TTempFileStream>();
    std::vector<uint8_t> firstBlock;
    // Decoding stops at the first block when it is no TAR header.
    const TCodecOutput output = [&](const uint8_t* data, size_t size) {
        if (firstBlock.size() < tar::kBlockSize) {
            const size_t take = std::min(size, tar::kBlockSize - firstBlock.size());
            firstBlock.insert(firstBlock.end(), data, data + take);
            if (firstBlock.size() == tar::kBlockSize && !TarChecksumMatches(firstBlock.data()))
                return false;
        }
        return temp->Write(data, static_cast<int64_t>(size)) == static_cast<int64_t>(size);
    };
    const TCodecInput input = StreamInput(in);
    const bool decoded = gzip ? DecodeGZip(input, output).Result == TGZipResult::Done
                              : DecompressLzw(input, output) == TLzwResult::Done;
    if (!decoded || firstBlock.size() < tar::kBlockSize) return nullptr;
    temp->Seek(0, platform::SeekOrigin::Begin);
    return temp;
}

// ---------------------------------------------------------------------------
// The extractor

void TUnGZIP::ExtractEntries() {
    uint8_t magic[2] = {};
    if (ArcFile.Read(magic, 2) != 2 || magic[0] != kMagic0) RaiseError(E_HEADERID, ArchiveFile());
    switch (magic[1]) {
    case kGzipMagic1:
    case kGzipOldMagic1:
    case kCompressMagic1:
    case kPackMagic1:
    case kLzhMagic1: break;
    default: RaiseError(E_HEADERID, ArchiveFile());
    }
    if (!Testing() && magic[1] != kPackMagic1 && magic[1] != kLzhMagic1 && ExtractCompressedTar())
        return;
    ExtractSingleFile(magic[1]);
}

// A compressed TAR is unpacked member by member into ExtractDir; the decoded TAR
// itself is a temporary file, removed afterwards.
bool TUnGZIP::ExtractCompressedTar() {
    std::unique_ptr<TTempFileStream> decoded = UnpackCompressedTar(ArchiveFile());
    if (!decoded) return false;
    TUnTAR untar;
    untar.SetArchiveFile(decoded->FileName());
    if (untar.ArcType() != atTar) return false;
    untar.SetExtractDir(ExtractDir);
    untar.SetFileSpec(FileSpec());
    untar.SetExcludeSpec(ExcludeSpec());
    untar.UseStoredDirs = true;
    untar.DateAttribute = DateAttribute;
    untar.RestoreFileAttr = RestoreFileAttr;
    untar.ProgressNotify = ProgressNotify;
    untar.OnBegin = OnBegin;
    untar.OnEnd = OnEnd;
    untar.OnError = OnError;
    untar.OnFileExists = OnFileExists;
    untar.OnProgress = OnProgress;
    untar.OnRenameCompressedFile = OnRenameCompressedFile;
    untar.Extract();
    return true;
}

void TUnGZIP::ExtractSingleFile(uint8_t magic1) {
    const bool gzip = magic1 == kGzipMagic1 || magic1 == kGzipOldMagic1;
    uint32_t dosDate = 0;
    platform::FileDosDateTime(ArchiveFile(), dosDate);
    std::string name = NameFromArchive(ArchiveFile());
    if (gzip) {
        TGZipHeader header;
        ArcFile.Seek(0, platform::SeekOrigin::Begin);
        if (!ParseGZipHeader(StreamInput(ArcFile), header)) RaiseError(E_BADHEADER, ArchiveFile());
        // Only the name part is used: a stored folder must not place the file.
        const std::string stored = FromArchiveName(header.Name);
        if (!stored.empty()) name = stored.substr(stored.find_last_of("\\/:") + 1);
        if (name.empty()) name = NameFromArchive(ArchiveFile());
        if (header.ModTime != 0) dosDate = platform::UnixToDosDateTime(header.ModTime);
    }
    BuildOutputName(name);
    if (!BeginEntry(name, DosToDateTime(dosDate))) return;
    ArchiveTotal = ArchiveRemaining = ArchiveSize;
    if (!gzip && magic1 != kCompressMagic1) {
        ReportError(E_UNSUPPORTEDMETHOD, ArchiveFile());
        return ReportEnd(false, name);
    }
    bool decoded = false;
    try {
        if (!CreateOutputFile(name)) RaiseError(E_FOPEN, ArchiveFile());
        decoded = gzip ? DecodeGZipEntry() : DecodeCompressEntry();
    } catch (const EVroError&) {
        // Reported when raised; the entry fails.
    }
    FinishEntry(kNoStoredAttributes, dosDate);
    ReportEnd(decoded, name);
}

// Every member is decoded and checked against its own trailer; false when one
// fails its CRC or length (the end report then says so).
bool TUnGZIP::DecodeGZipEntry() {
    ArcFile.Seek(0, platform::SeekOrigin::Begin);
    StartEntryProgress(ArchiveSize, ArchiveTotal);
    CrcRegister = 0xFFFFFFFF;
    const TEntrySink sink(*this, Output(), crc32);
    const TGZipOutcome o = DecodeGZip(EntryInput(false, ArchiveSize), sink.Output());
    sink.RaiseIfFailed();
    if (o.Result == TGZipResult::CrcMismatch || o.Result == TGZipResult::SizeMismatch) return false;
    if (o.Result != TGZipResult::Done) RaiseError(GZipErrorCode(o.Result), ArchiveFile());
    return true;
}

bool TUnGZIP::DecodeCompressEntry() {
    ArcFile.Seek(0, platform::SeekOrigin::Begin);
    StartEntryProgress(ArchiveSize, ArchiveTotal);
    CrcRegister = 0;
    const TEntrySink sink(*this, Output(), crc32);
    const TLzwResult r = DecompressLzw(EntryInput(false, ArchiveSize), sink.Output());
    sink.RaiseIfFailed();
    if (r != TLzwResult::Done) RaiseError(LzwErrorCode(r), ArchiveFile());
    return true;
}

std::unique_ptr<TUnBase> MakeGZipExtractor() {
    return std::make_unique<TUnGZIP>();
}

} // namespace vro
