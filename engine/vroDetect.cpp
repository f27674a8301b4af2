// Type detection walks a fixed sequence of probes, cheapest and most certain first:
//   1. a ZIP local header at offset 0, or at the offsets of three known stubs;
//   2. executables: offsets published as string resources, the end of the DOS
//      image, the ZIP end record, then a bounded scan for embedded signatures;
//   3. other files: the signature of the first non-zero bytes, the ACE mark at
//      offset 7, spanned ZIP disks, UU/XX text, a TAR header checksum, and last
//      a ZIP end record anywhere near the end of the file.
// Every read is bounded: one 32 KiB work buffer, at most 32 KiB for the end-record
// window, and six 32 KiB blocks for the embedded scan.
#include "engine/vroDetect.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/vroDiskMan.h"
#include "engine/vroHelpers.h"
#include "engine/vroZipExtra.h"
#include "platform/PeResources.h"
#include "platform/Stream.h"

namespace vro {

namespace {

enum class Mode { Start, Embedded };

constexpr int64_t kWorkBufferSize = 32768;
constexpr int64_t kMinExaminedSize = 20;
constexpr int64_t kKnownStubOffsets[] = {7612, 15770, 25661};
constexpr int kStubsTrustingLocalHeaders = 2; // the first two stubs set zfLocalHeaders
constexpr int64_t kSfxScanStart = 25000;
constexpr int64_t kEmbeddedScanStart = 17000;
constexpr int kEmbeddedScanBlocks = 6;
constexpr int64_t kArcSfxStartOffset = 7717; // data offset of a known ARC self-extractor
constexpr int kStringResourceIds = 4;
constexpr size_t kStringResourceChars = 5;
constexpr int64_t kUueProbeBytes = 2500;
constexpr int64_t kTarBlock = 512;
constexpr int64_t kAceMarkOffset = 7;
constexpr char kAceMark[] = "**ACE**";

// The extension of a host path, upper-cased (".ZIP"), empty when there is none.
std::string UpperExtension(const std::string& path) {
    return UpperCase(std::filesystem::path(path).extension().string());
}

bool IsLo(const uint8_t* b, uint8_t b0, uint8_t b1) {
    return b[0] == b0 && b[1] == b1;
}
bool IsPk(const uint8_t* b) {
    return IsLo(b, 'P', 'K');
}
// gzip, compress (two variants), pack, and two older magics sharing the family.
bool IsGZipFamily(const uint8_t* b) {
    return IsLo(b, 0x1F, 0x8B) || IsLo(b, 0x1F, 0x9D) || IsLo(b, 0x1F, 0x9E) ||
           IsLo(b, 0x1F, 0x1E) || IsLo(b, 0x25, 0x21) || IsLo(b, 0x1F, 0xA0);
}

class Detector {
public:
    Detector(platform::TStream& file, const std::string& name, int32_t cmntBufSize,
             TDiskManager& disk)
        : file_(file), name_(name), cmntBufSize_(cmntBufSize), disk_(disk) {}

    TDetection Run();

private:
    int64_t ReadSome(int64_t pos, void* buffer, int64_t n);
    bool ReadExactly(int64_t pos, void* buffer, int64_t n) { return ReadSome(pos, buffer, n) == n; }
    uint32_t Sig32At(int64_t pos, bool& ok);

    TArcType Classify(const uint8_t* b, Mode mode);
    bool SpanDiskInDrive();
    bool ZipProbe();
    void DetectExecutable(int64_t bufferLength);
    void DetectOther(int64_t bufferLength);
    void FinishSpannedDisk();

    int64_t EndRecordSearch();
    bool VerifyDirectory(int64_t centralPos, int64_t shift);
    int64_t Zip64CentralOffset(int64_t endRecordPos);
    int64_t CentralHeaderLocalOffset(int64_t centralPos);
    int64_t ZipSfxSearch(bool& fromScan);
    int64_t EmbeddedScan();
    TArcType ValidatedHeaderAt(const uint8_t* b, int64_t avail, int64_t pos);
    int64_t ValidatedScan();
    bool UueProbe();
    bool TarProbe();
    bool AceMarkAt7();

    platform::TStream& file_;
    const std::string& name_;
    int32_t cmntBufSize_;
    TDiskManager& disk_;
    int64_t size_ = 0;
    TDetection r_;
    std::vector<uint8_t> buffer_;
};

// Returns the bytes read at pos, or -1 when the position cannot be reached.
int64_t Detector::ReadSome(int64_t pos, void* buffer, int64_t n) {
    if (pos < 0 || file_.Seek(pos, platform::SeekOrigin::Begin) != pos) return -1;
    int64_t done = 0;
    while (done < n) {
        int64_t got = file_.Read(static_cast<uint8_t*>(buffer) + done, n - done);
        if (got <= 0) break;
        done += got;
    }
    return done;
}

uint32_t Detector::Sig32At(int64_t pos, bool& ok) {
    uint8_t b[4];
    ok = ReadExactly(pos, b, 4);
    return ok ? GetLE32(b) : 0;
}

bool Detector::SpanDiskInDrive() {
    disk_.SelectDriveOf(name_);
    return disk_.LabelHasSpanMark();
}

// The signature classifier: four bytes at a candidate position, either the start
// of the file or a position inside an executable. The first matching row decides.
TArcType Detector::Classify(const uint8_t* b, Mode mode) {
    const bool start = mode == Mode::Start;
    if (IsPk(b) && b[2] == 0x07 && b[3] == 0x08) {
        // A span marker: the local headers follow it.
        disk_.SelectDriveOf(name_);
        r_.ZipFlags = zfLocalHeaders;
        r_.StartOffset = 4;
        if (!disk_.IsRemovable()) return atZip;
        return disk_.LabelHasSpanMark() ? atZipMV : atNA;
    }
    if (IsPk(b) && b[2] == 0x01 && b[3] == 0x02) return SpanDiskInDrive() ? atZipMV : atNA;
    if (IsPk(b) && b[2] == 'G' && b[3] == '4') return atNA;
    if (IsPk(b)) return start ? atZip : atZipExe;
    if (std::memcmp(b, "MSCF", 4) == 0) return start ? atCab : atUnsupported;
    if (b[0] == 0x42 && b[1] == 0x48 && b[2] == 0x05 && b[3] == 0x07) return start ? atBh : atBhExe;
    if (b[0] == 0x13 && b[1] == 0x5D && b[2] == 0x65 && b[3] == 0x8C)
        return start ? atMsGZ : atUnsupported;
    if (IsLo(b, 'H', 'A')) return start ? atHa : atUnsupported;
    if (IsGZipFamily(b)) return start ? atGZip : atUnsupported;
    if (IsLo(b, 0x60, 0xEA)) return start ? atArj : atArjExe;
    if (IsLo(b, 'Z', 'O')) return start ? atZoo : atUnsupported;
    if (b[2] == '-' && b[3] == 'l') return start ? atLha : atLhaExe;
    if (std::memcmp(b, "Rar!", 4) == 0) return start ? atRar : atRarExe;
    if (IsLo(b, 0x1A, 0x0A) || IsLo(b, 0x1A, 0x0B)) return start ? atPak : atPakExe;
    if (IsLo(b, 0x1A, 0x1E) || IsLo(b, 0x1A, 0x02)) return start ? atArc : atUnsupported;
    if (IsLo(b, 0x1A, 0x08) || IsLo(b, 0x1A, 0x09)) return start ? atArc : atArcExe;
    if (IsLo(b, 0xB7, 0x92) || IsLo(b, 0xB7, 0xDF)) {
        r_.StartOffset = kArcSfxStartOffset;
        return atArcExe;
    }
    return atUnknown;
}

// Finds the end-of-central-directory record near the end of the file and checks
// that the central header and local header it leads to carry their signatures.
// Returns the central directory offset on full success, else 0; ZipFlags tell
// how far the check got.
int64_t Detector::EndRecordSearch() {
    int64_t window;
    if (cmntBufSize_ + 23 <= size_)
        window = cmntBufSize_ + 23;
    else if (cmntBufSize_ == 0)
        window = 23;
    else if (size_ > kWorkBufferSize)
        window = kWorkBufferSize;
    else
        window = size_ - 1;

    r_.ZipFlags = 0;
    r_.ZipOffsetShift = 0;
    if (size_ <= window) return 0;
    std::vector<uint8_t> tail(window);
    const int64_t tailStart = size_ - window;
    if (!ReadExactly(tailStart, tail.data(), window)) return 0;

    // Backwards from the last place a whole record fits; the window's first byte
    // is never examined.
    int64_t at = window - TZipEndRecord::kSize;
    while (at >= 1 && GetLE32(&tail[at]) != kZipEndSig)
        --at;
    if (at < 1) return 0;

    const int64_t endPos = tailStart + at;
    uint8_t rec[TZipEndRecord::kSize];
    if (!ReadExactly(endPos, rec, TZipEndRecord::kSize)) return 0;
    r_.ZipEnd = TZipEndRecord::Parse(rec);
    if (r_.ZipEnd.Signature != kZipEndSig) return 0;
    r_.ZipFlags |= zfEndRecord;

    int64_t centralPos = r_.ZipEnd.CentralOffset;
    if (r_.ZipEnd.CentralOffset == 0xFFFFFFFF || r_.ZipEnd.TotalEntries == 0xFFFF)
        centralPos = Zip64CentralOffset(endPos);
    if (VerifyDirectory(centralPos, 0)) return centralPos;

    // A ZIP appended to a stub without fixing its offsets: the directory really
    // ends where the end record starts, and every offset is short by the stub's
    // size; ZipOffsetShift tells readers how many.
    const int64_t actualPos = endPos - static_cast<int64_t>(r_.ZipEnd.CentralSize);
    if (r_.ZipFlags == zfEndRecord && actualPos > centralPos &&
        VerifyDirectory(actualPos, actualPos - centralPos)) {
        r_.ZipOffsetShift = actualPos - centralPos;
        return actualPos;
    }
    return 0;
}

// Checks the central header at centralPos and the local header it points to
// (offsets in the archive are shift bytes short of file positions).
bool Detector::VerifyDirectory(int64_t centralPos, int64_t shift) {
    uint8_t rec[TZipCentralHeader::kSize];
    if (!ReadExactly(centralPos, rec, TZipCentralHeader::kSize)) return false;
    const TZipCentralHeader central = TZipCentralHeader::Parse(rec);
    if (central.Signature != kZipCentralSig) return false;
    r_.ZipCentral = central;
    r_.ZipFlags |= zfCentral;

    int64_t localPos = central.LocalOffset;
    if (central.LocalOffset == 0xFFFFFFFF) localPos = CentralHeaderLocalOffset(centralPos);
    if (!ReadExactly(localPos + shift, rec, TZipLocalHeader::kSize)) return false;
    const TZipLocalHeader local = TZipLocalHeader::Parse(rec);
    if (local.Signature != kZipLocalSig) return false;
    r_.ZipLocal = local;
    r_.ZipFlags |= zfLocalHeaders;
    return true;
}

// The 64-bit central directory offset from the ZIP64 locator right before the end
// record; the classic (overflowed) value when there is no valid ZIP64 record.
int64_t Detector::Zip64CentralOffset(int64_t endRecordPos) {
    const int64_t classic = r_.ZipEnd.CentralOffset;
    uint8_t loc[kZip64LocatorSize];
    if (!ReadExactly(endRecordPos - kZip64LocatorSize, loc, kZip64LocatorSize) ||
        GetLE32(loc) != kZip64LocatorSig)
        return classic;
    const uint64_t zip64EndPos = GetLE64(loc + 8);
    uint8_t rec[kZip64EndSize];
    if (zip64EndPos >= static_cast<uint64_t>(size_) ||
        !ReadExactly(static_cast<int64_t>(zip64EndPos), rec, kZip64EndSize) ||
        GetLE32(rec) != kZip64EndSig)
        return classic;
    const uint64_t offset = GetLE64(rec + 48);
    return offset < static_cast<uint64_t>(size_) ? static_cast<int64_t>(offset) : classic;
}

// The local header offset of the central header at centralPos, whose classic
// field overflowed, from its ZIP64 extra field.
int64_t Detector::CentralHeaderLocalOffset(int64_t centralPos) {
    const TZipCentralHeader& h = r_.ZipCentral;
    std::vector<uint8_t> extra(h.ExtraLength);
    TZipSizes sizes{h.UnpackedSize, h.PackedSize, h.LocalOffset};
    if (ReadExactly(centralPos + TZipCentralHeader::kSize + h.NameLength, extra.data(),
                    h.ExtraLength))
        ApplyZip64Extra(extra, false, sizes);
    return sizes.LocalOffset < static_cast<uint64_t>(size_)
               ? static_cast<int64_t>(sizes.LocalOffset)
               : h.LocalOffset;
}

// A ZIP appended to a program: trust a verified central directory, else look for
// the first local header in a block past the usual stub sizes.
int64_t Detector::ZipSfxSearch(bool& fromScan) {
    fromScan = false;
    r_.Type = atUnknown;
    const int64_t central = EndRecordSearch();
    if (central < size_ && (r_.ZipFlags & zfEndRecord) && central > 0) {
        bool ok;
        if (Sig32At(central, ok) == kZipCentralSig && ok) return central;
    }
    if (size_ <= kSfxScanStart) return 0;
    std::vector<uint8_t> block(kWorkBufferSize);
    const int64_t got = ReadSome(kSfxScanStart, block.data(), kWorkBufferSize);
    for (int64_t i = 0; i + 4 <= got; ++i) {
        if (GetLE32(&block[i]) == kZipLocalSig) {
            r_.ZipFlags = zfLocalHeaders;
            fromScan = true;
            return kSfxScanStart + i;
        }
    }
    return 0;
}

// Scans up to six blocks from offset 17000 for an LHA method mark, a ZIP local
// header or a RAR mark. Blocks overlap by a few bytes so no mark is split.
int64_t Detector::EmbeddedScan() {
    r_.Type = atUnknown;
    constexpr int64_t kOverlap = 4;
    std::vector<uint8_t> block(kWorkBufferSize + kOverlap);
    for (int n = 0; n < kEmbeddedScanBlocks; ++n) {
        const int64_t base = kEmbeddedScanStart + n * kWorkBufferSize;
        const int64_t got = ReadSome(base, block.data(), kWorkBufferSize + kOverlap);
        if (got <= 0) break;
        const int64_t examined = std::min(got, kWorkBufferSize);
        for (int64_t i = 0; i < examined; ++i) {
            const uint8_t* b = &block[i];
            const int64_t avail = got - i, pos = base + i;
            if (avail >= 5 && b[0] == '-' && b[1] == 'l' && b[2] == 'h' && b[4] == '-' &&
                pos + 5 < size_ && pos >= 2) {
                r_.Type = atLhaExe;
                return pos - 1; // the header starts 2 bytes earlier; 1-based
            }
            if (avail >= 4 && GetLE32(b) == kZipLocalSig) {
                r_.Type = atZipExe;
                r_.ZipFlags = zfLocalHeaders;
                return pos;
            }
            if (avail >= 4 && std::memcmp(b, "Rar!", 4) == 0) {
                r_.Type = atRarExe;
                return pos + 1;
            }
        }
        if (got < kWorkBufferSize) break;
    }
    return 0;
}

// Headers that only count when their own fields check out, for the last-resort
// scan: archives behind a stub that is not a DOS/Windows program (a .COM, an ELF
// file, plain data) or behind a short stub that the scan from 17000 misses.
TArcType Detector::ValidatedHeaderAt(const uint8_t* b, int64_t avail, int64_t pos) {
    // LHA: size, checksum, "-lh?-" / "-lz?-"; levels 0 and 1 carry a byte sum of
    // the header after its first two bytes.
    if (avail >= 22 && b[2] == '-' && b[3] == 'l' && (b[4] == 'h' || b[4] == 'z') && b[6] == '-' &&
        b[20] <= 1 && b[0] >= 20 && avail >= b[0] + 2) {
        uint8_t sum = 0;
        for (int i = 0; i < b[0]; ++i)
            sum = static_cast<uint8_t>(sum + b[2 + i]);
        if (sum == b[1]) return atLhaExe;
    }
    // RAR 1.5-4 and RAR 5 marker blocks.
    if (avail >= 8 && std::memcmp(b, "Rar!\x1A\x07", 6) == 0 &&
        (b[6] == 0x00 || (b[6] == 0x01 && b[7] == 0x00)))
        return atRarExe;
    // Cabinet: reserved fields zero, version 1.3, a cabinet size that fits.
    if (avail >= 36 && std::memcmp(b, "MSCF", 4) == 0 && GetLE32(b + 4) == 0 &&
        GetLE32(b + 12) == 0 && b[24] == 3 && b[25] == 1 && GetLE32(b + 8) >= 36 &&
        GetLE32(b + 8) <= size_ - pos)
        return atCab;
    return atUnknown;
}

// Scans from the start of the file, over the same six blocks as the embedded
// scan, for a header that verifies. Returns the 1-based start or 0.
int64_t Detector::ValidatedScan() {
    constexpr int64_t kOverlap = 64; // the longest header checked above
    std::vector<uint8_t> block(kWorkBufferSize + kOverlap);
    for (int n = 0; n < kEmbeddedScanBlocks; ++n) {
        const int64_t base = n * kWorkBufferSize;
        const int64_t got = ReadSome(base, block.data(), kWorkBufferSize + kOverlap);
        if (got <= 0) break;
        for (int64_t i = 0; i < std::min(got, kWorkBufferSize); ++i) {
            const TArcType t = ValidatedHeaderAt(&block[i], got - i, base + i);
            if (t != atUnknown) {
                r_.Type = t;
                return base + i + 1;
            }
        }
        if (got < kWorkBufferSize) break;
    }
    return 0;
}

// "begin " at the very start or at the start of a line within the first 2500 bytes.
bool Detector::UueProbe() {
    const int64_t n = std::min<int64_t>(size_, kUueProbeBytes);
    std::vector<uint8_t> text(n);
    if (ReadSome(0, text.data(), n) != n) return false;
    static constexpr char kBegin[] = "begin ";
    constexpr int64_t kBeginLen = sizeof kBegin - 1;
    auto beginAt = [&](int64_t at) {
        return at + kBeginLen <= n && std::memcmp(&text[at], kBegin, kBeginLen) == 0;
    };
    if (beginAt(0)) return true;
    for (int64_t i = 0; i + 2 < n; ++i)
        if (text[i] == '\n' && beginAt(i + 1)) return true;
    return false;
}

// A header block whose checksum field equals the sum of its bytes (the field
// itself counted as spaces); a volume header is skipped to the next block.
bool Detector::TarProbe() {
    if (size_ <= kTarBlock) return false;
    uint8_t block[kTarBlock];
    if (!ReadExactly(0, block, kTarBlock)) return false;
    if (block[156] == 'V') {
        r_.StartOffset = kTarBlock + 1;
        if (!ReadExactly(kTarBlock, block, kTarBlock)) return false;
    }
    const int32_t stored =
        OctalToNumber(std::string_view(reinterpret_cast<const char*>(block + 148), 8));
    int32_t sum = 0;
    for (int i = 0; i < kTarBlock; ++i)
        sum += (i >= 148 && i < 156) ? ' ' : block[i];
    if (sum == stored) return true;
    r_.StartOffset = 1;
    return false;
}

bool Detector::AceMarkAt7() {
    char mark[sizeof kAceMark - 1];
    return ReadExactly(kAceMarkOffset, mark, sizeof mark) &&
           std::memcmp(mark, kAceMark, sizeof mark) == 0;
}

// A local header at offset 0 (a plain ZIP) or at a known stub's end (a ZIP
// self-extractor). Returns true when detection is finished.
bool Detector::ZipProbe() {
    r_.Type = atZipExe;
    bool ok;
    if (Sig32At(0, ok) == kZipLocalSig && ok) {
        // A file that starts with a local header is read from its start; a local
        // header found by the self-extractor scan further in would skip entries,
        // so only a verified central directory settles the type here.
        bool fromScan;
        const int64_t found = ZipSfxSearch(fromScan);
        if (found > 0 && !fromScan) {
            r_.StartOffset = found;
            r_.Type = atZip;
            return true;
        }
    } else {
        for (int i = 0; i < static_cast<int>(std::size(kKnownStubOffsets)); ++i) {
            const int64_t stub = kKnownStubOffsets[i];
            if (size_ <= stub + 4) continue;
            if (Sig32At(stub, ok) == kZipLocalSig && ok) {
                r_.StartOffset = stub;
                r_.Type = atZipExe;
                if (i < kStubsTrustingLocalHeaders) r_.ZipFlags = zfLocalHeaders;
                return true;
            }
        }
    }
    r_.Type = atNA;
    return false;
}

void Detector::DetectExecutable(int64_t bufferLength) {
    r_.Type = atUnknown;

    // Self-extractors may publish their archive offset as string resources 1-4.
    for (uint32_t id = 1; id <= kStringResourceIds; ++id) {
        std::string text = platform::LoadPeString(file_, id).substr(0, kStringResourceChars);
        if (text.empty() || !AllDigits(text)) break;
        const int64_t offset = std::stoll(text);
        if (offset >= size_) break;
        uint8_t b[4];
        if (!ReadExactly(offset, b, 4)) continue;
        const TArcType t = Classify(b, Mode::Embedded);
        if (t != atUnknown) {
            r_.Type = t;
            r_.StartOffset = offset;
            r_.ZipFlags = zfLocalHeaders;
            return;
        }
    }

    // Data appended right after the DOS image.
    if (bufferLength >= 6) {
        const int64_t lastPageBytes = GetLE16(&buffer_[2]), pages = GetLE16(&buffer_[4]);
        int64_t position = (pages - 1) * 512 + lastPageBytes;
        if (position > 0 && position + 4 < size_) {
            uint8_t b[4];
            const int64_t got = ReadSome(position, b, 4);
            if (got < 0) {
                r_.Type = atFileOpenErr;
                return;
            }
            if (got == 4 && b[2] == 0x60 && b[3] == 0xEA) position += 2;
            r_.StartOffset = position + 1;
            if (r_.StartOffset + 4 < size_) {
                const int64_t n = ReadSome(position, b, 4);
                if (n < 0) return; // stays atUnknown
                if (n == 4 && GetLE32(b) != kZipLocalSig) {
                    r_.Type = Classify(b, Mode::Embedded);
                    if (IsRecognised(r_.Type)) return;
                }
            }
        }
    }

    r_.ZipEnd.Signature = 0;
    bool fromScan;
    r_.StartOffset = IsRecognised(r_.Type) ? ZipSfxSearch(fromScan) : EndRecordSearch();
    if (r_.StartOffset > 0) {
        r_.Type = atZipExe;
    } else if (r_.StartOffset == 0 && (r_.ZipFlags & zfEndRecord) && !IsRecognised(r_.Type)) {
        // The end record is there but its offsets do not lead to the headers
        // (offsets relative to the archive, not the file): look for the data.
        r_.StartOffset = ZipSfxSearch(fromScan);
        if (r_.StartOffset > 0) r_.Type = atZipExe;
    } else {
        r_.StartOffset = EmbeddedScan();
    }
}

void Detector::DetectOther(int64_t bufferLength) {
    int64_t zeros = 0;
    if (buffer_[0] == 0)
        while (zeros < bufferLength && buffer_[zeros] == 0)
            ++zeros;
    uint8_t first[4] = {};
    std::memcpy(first, &buffer_[zeros], std::min<int64_t>(4, bufferLength - zeros));
    r_.Type = Classify(first, Mode::Start);

    if (r_.Type == atJar || r_.Type == atZip || r_.Type == atZipExe) {
        r_.StartOffset = EndRecordSearch();
        if (r_.StartOffset == 0) {
            // No verified directory: read the entries through their local headers.
            r_.StartOffset = zeros;
            r_.ZipFlags |= zfLocalHeaders;
        }
    } else if (r_.Type != atZipMV && AceMarkAt7()) {
        r_.Type = atACE;
    } else if (zeros > 0 && IsRecognised(r_.Type)) {
        r_.StartOffset = zeros + 1; // the first header follows the padding
    }
    if (IsRecognised(r_.Type)) return;

    disk_.SelectDriveOf(name_);
    if (disk_.IsRemovable() && UpperExtension(name_) == ".ZIP") {
        if (disk_.LabelHasSpanMark()) FinishSpannedDisk();
        return;
    }
    if (UueProbe()) {
        r_.Type = atUue;
        r_.StartOffset = 1;
    } else if (TarProbe()) {
        r_.Type = atTar;
    } else {
        r_.StartOffset = EndRecordSearch();
        if (r_.StartOffset > 0) r_.Type = atZip;
    }
}

// One disk of a set spanned over removable disks whose first bytes are not a
// ZIP signature: a middle disk (no end record here), or the last disk.
void Detector::FinishSpannedDisk() {
    r_.StartOffset = EndRecordSearch();
    if (r_.ZipFlags == 0) {
        r_.Type = atZipMV;
    } else if (r_.ZipFlags < zfLocalHeaders) {
        r_.Type = atZipMV;
        r_.StartOffset = 4;
        r_.ReadPosition = 4;
    }
}

TDetection Detector::Run() {
    r_.Type = atFileOpenErr;
    size_ = file_.Size();
    if (size_ < 0) return r_;
    r_.ArchiveSize = size_;
    if (size_ < kMinExaminedSize) {
        // Too short for any header but a compressed stream's: a .Z of a few bytes
        // is valid and must not be reported as a file error.
        uint8_t b[2];
        if (ReadExactly(0, b, 2) && IsGZipFamily(b)) r_.Type = atGZip;
        return r_;
    }

    if (ZipProbe()) return r_;

    buffer_.assign(kWorkBufferSize, 0);
    const int64_t bufferLength = ReadSome(0, buffer_.data(), kWorkBufferSize - 1);
    if (bufferLength <= 0) {
        r_.Type = atFileOpenErr;
        return r_;
    }
    if (buffer_[0] == 'M' && buffer_[1] == 'Z')
        DetectExecutable(bufferLength);
    else
        DetectOther(bufferLength);
    if (!IsRecognised(r_.Type) && r_.Type != atFileOpenErr) {
        const int64_t start = ValidatedScan();
        if (start > 0) r_.StartOffset = start;
    }
    return r_;
}

} // namespace

TDetection DetectArchiveType(platform::TStream& file, const std::string& fileName,
                             int32_t zipCmntBufSize, TDiskManager& disk) {
    TDetection result = Detector(file, fileName, zipCmntBufSize, disk).Run();
    if (result.Type == atZip && UpperExtension(fileName) == ".JAR") result.Type = atJar;
    return result;
}

} // namespace vro
