// Catalogue walk of RAR archives: the RAR 1.5-4 block format (marker block, main
// header, then blocks of a 7-byte common head, file headers among them) and the
// RAR 5 format of RARLAB's "RAR 5.0 archive format" technical note (a marker,
// then headers of variable-length integers, each with a CRC-32 and a size).
// Both carry the packed data of a file right after its header, and both split a
// file over volumes by flagging its header "continued in the next volume"; the
// walk follows such a file through the volumes and reports it once, from its last
// part, with the packed sizes of all parts summed. A volume that ends on a file
// boundary says so in its end-of-archive block, and the walk goes on into the next
// volume there too. Volumes are named "x.part1.rar, x.part2.rar" (the digit count
// kept) when the archive's name has that form, else "x.rar, x.r00, x.r01".
// An archive whose headers are encrypted cannot be listed without the password:
// the walk ends there quietly.
#include <algorithm>
#include <cctype>
#include <cstring>

#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroHelpers.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalkUtilB.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

constexpr uint8_t kRar4Marker[7] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x00};
constexpr uint8_t kRar5Marker[8] = {'R', 'a', 'r', '!', 0x1A, 0x07, 0x01, 0x00};

// ---------------------------------------------------------------------------
// RAR 1.5-4 blocks. Every block starts with:
//   0  2  header CRC          5  2  header size (with this head)
//   2  1  block type          7  4  added data size (flag 0x8000 only)
//   3  2  flags
// Main header (type 0x73, 13 bytes; more when it holds an old-style comment):
//   flags 0x0080: the headers after it are encrypted.
// File header (type 0x74):
//   7  4  packed size        20  4  DOS date-time     32  4  high packed size  } flag
//  11  4  unpacked size      24  1  version           36  4  high unpacked size} 0x0100
//  15  1  host OS            25  1  method "0"-"5"    32 or 40: the name
//  16  4  file CRC-32        26  2  name size
//                            28  4  attributes
// End of archive (type 0x7B): flags 0x0001: another volume follows.
// The loop's block is the common head, so that the short end-of-archive block
// behind a volume's last file is read too; a file header's fixed part is 32 bytes.
constexpr int kRar4Head = 7;
constexpr int kRar4FileFixed = 32;
constexpr int kRar4MainHeader = 13;
constexpr uint8_t kRar4FileType = 0x74, kRar4EndType = 0x7B;
constexpr uint16_t kRar4ContinuedFrom = 0x0001, kRar4ContinuedIn = 0x0002;
constexpr uint16_t kRar4Password = 0x0004;
constexpr uint16_t kRar4DirectoryWindow = 0x00E0; // all dictionary bits set
constexpr uint16_t kRar4Large = 0x0100, kRar4Unicode = 0x0200;
constexpr uint16_t kRar4SkipIfUnknown = 0x4000, kRar4LongBlock = 0x8000;
constexpr uint16_t kRar4EncryptedHeaders = 0x0080;
constexpr uint16_t kRar4NextVolume = 0x0001;

// Attributes are DOS bits for DOS, OS/2 and Windows hosts, a Unix mode for Unix
// and BeOS hosts.
constexpr uint8_t kHostUnix = 3, kHostBeOs = 5;
constexpr uint32_t kDosDirectory = 0x10;
constexpr uint32_t kModeTypeMask = 0xF000, kModeDirectory = 0x4000, kModeLink = 0xA000;

// ---------------------------------------------------------------------------
// RAR 5 headers: CRC-32 (4), header size (a variable-length integer of at most 3
// bytes: 7 bits a byte, low first, high bit "more"), then header-size bytes:
//   type, flags (0x0001 extra area, 0x0002 data area, 0x0008 data continued from
//   the previous volume, 0x0010 continued in the next), [extra area size],
//   [data size], the type's own fields, and the extra area at the end.
// File header fields: file flags (0x0001 directory, 0x0002 Unix mtime present,
// 0x0004 CRC present), unpacked size, attributes, [mtime 4], [CRC-32 4],
// compression info (bits 0-5 version, 7-9 method), host OS, name length, name
// (UTF-8, "/" separated). Extra records: size, type, data.
constexpr int kRar5Block = 7; // CRC-32 and the longest header size
constexpr int kRar5MaxSizeBytes = 3;
constexpr uint64_t kRar5MaxHeader = 2 * 1024 * 1024;
enum Rar5Type : uint64_t { kRar5File = 2, kRar5Encryption = 4, kRar5End = 5 };
constexpr uint64_t kRar5HasExtra = 0x0001, kRar5HasData = 0x0002;
constexpr uint64_t kRar5ContinuedFrom = 0x0008, kRar5ContinuedIn = 0x0010;
constexpr uint64_t kRar5Directory = 0x0001, kRar5HasTime = 0x0002, kRar5HasCrc = 0x0004;
constexpr uint64_t kRar5NextVolume = 0x0001;
constexpr uint64_t kHost5Unix = 1;
// Versions of the compression algorithm, as the archiver versions that made them.
constexpr int16_t kRar5AlgorithmVersions[] = {50, 70};

// A reader of variable-length integers and fixed fields inside one header; any
// read past the end clears ok and gives 0.
struct VintReader {
    const uint8_t* p;
    size_t size;
    size_t at = 0;
    bool ok = true;

    uint64_t Vint() {
        uint64_t value = 0;
        for (int shift = 0; shift < 64; shift += 7) {
            if (at >= size) break;
            const uint8_t byte = p[at++];
            value |= static_cast<uint64_t>(byte & 0x7F) << shift;
            if (!(byte & 0x80)) return value;
        }
        ok = false;
        return 0;
    }
    uint32_t Fixed32() {
        if (size - at < 4) return ok = false, 0;
        at += 4;
        return GetLE32(p + at - 4);
    }
    uint64_t Fixed64() {
        const uint64_t low = Fixed32();
        return low | static_cast<uint64_t>(Fixed32()) << 32;
    }
    std::string_view Bytes(uint64_t n) {
        if (n > size - at) return ok = false, std::string_view();
        at += n;
        return {reinterpret_cast<const char*>(p + at - n), static_cast<size_t>(n)};
    }
};

// ---------------------------------------------------------------------------
// Names

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | cp >> 6);
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | cp >> 12);
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | cp >> 18);
        out += static_cast<char>(0x80 | (cp >> 12 & 0x3F));
        out += static_cast<char>(0x80 | (cp >> 6 & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::string Utf16ToUtf8(const std::u16string& units) {
    std::string out;
    for (size_t i = 0; i < units.size(); ++i) {
        uint32_t cp = units[i];
        const bool pair = cp >= 0xD800 && cp < 0xDC00 && i + 1 < units.size() &&
                          units[i + 1] >= 0xDC00 && units[i + 1] < 0xE000;
        if (pair) cp = 0x10000 + ((cp - 0xD800) << 10) + (units[++i] - 0xDC00);
        AppendUtf8(out, cp);
    }
    return out;
}

// The Unicode form RAR 3 stores after the zero byte of a name: a high byte shared
// by the characters that need one, then groups of four 2-bit opcodes (a flag byte)
// saying how each next character is coded: 0 one byte, 1 one byte with the high
// byte, 2 two bytes, 3 a run copied from the OEM name (with a correction added to
// each byte when the run's length byte has bit 7). Stops at the end of the data.
std::u16string DecodeRar3Unicode(std::string_view oem, std::string_view coded) {
    std::u16string out;
    const auto* c = reinterpret_cast<const uint8_t*>(coded.data());
    const size_t n = coded.size();
    if (n == 0) return out;
    const uint16_t high = static_cast<uint16_t>(c[0] << 8);
    size_t at = 1;
    uint8_t flags = 0;
    int flagBits = 0;
    while (at < n) {
        if (flagBits == 0) {
            flags = c[at++];
            flagBits = 8;
            if (at >= n) break;
        }
        switch (flags >> 6) {
        case 0: out += static_cast<char16_t>(c[at++]); break;
        case 1: out += static_cast<char16_t>(high | c[at++]); break;
        case 2:
            if (at + 1 >= n) return out;
            out += static_cast<char16_t>(c[at] | c[at + 1] << 8);
            at += 2;
            break;
        case 3: {
            const uint8_t length = c[at++];
            uint8_t correction = 0;
            if (length & 0x80) {
                if (at >= n) return out;
                correction = c[at++];
            }
            for (int k = (length & 0x7F) + 2; k > 0 && out.size() < oem.size(); --k) {
                const auto byte = static_cast<uint8_t>(oem[out.size()]);
                out +=
                    static_cast<char16_t>(length & 0x80 ? high | uint8_t(byte + correction) : byte);
            }
            break;
        }
        }
        flags = static_cast<uint8_t>(flags << 2);
        flagBits -= 2;
    }
    return out;
}

// A RAR 1.5-4 name: OEM bytes; with the Unicode flag either UTF-8 (no zero byte)
// or the OEM name, a zero byte and its Unicode form.
std::string Rar4Name(std::string_view raw, bool unicode) {
    if (!unicode) return walk::NameFromArchive(raw);
    const size_t zero = raw.find('\0');
    if (zero == std::string_view::npos) return ToBackslashes(std::string(raw));
    const std::string_view oem = raw.substr(0, zero);
    return ToBackslashes(Utf16ToUtf8(DecodeRar3Unicode(oem, raw.substr(zero + 1))));
}

// "x.part7.rar" gives "x.part8.rar" (the digit count kept, "part09" -> "part10");
// empty when the name does not have that form.
std::string NextPartName(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const size_t extension = path.rfind('.');
    if (extension == std::string::npos || extension <= nameStart) return {};
    size_t digits = extension;
    while (digits > nameStart && std::isdigit(static_cast<unsigned char>(path[digits - 1])))
        --digits;
    constexpr std::string_view kPart = ".part";
    if (digits == extension || digits < nameStart + kPart.size() ||
        LowerCase(path.substr(digits - kPart.size(), kPart.size())) != kPart)
        return {};
    std::string number = path.substr(digits, extension - digits);
    size_t i = number.size();
    while (i > 0 && number[i - 1] == '9')
        number[--i] = '0';
    if (i == 0)
        number.insert(number.begin(), '1');
    else
        ++number[i - 1];
    return path.substr(0, digits) + number + ".rar";
}

// ---------------------------------------------------------------------------
// One file entry, as either format gives it.
struct RarEntry {
    int64_t position = 0;
    std::string name;
    int64_t packed = 0, unpacked = 0;
    uint32_t crc = 0;
    TDateTime date = kDosEpochDate;
    int16_t version = 0;
    int16_t method = 0; // "0" to "5"
    uint32_t attributes = 0;
    bool directory = false;
    bool link = false;
    bool encrypted = false;
};

// RAR 5 extra records of a file header that the listing uses, each with the
// shortest data it can have.
struct Rar5ExtraHandler {
    uint64_t type;
    size_t minimum;
    void (*apply)(RarEntry& e, VintReader& data);
};

TDateTime Rar5Time(VintReader& data) {
    const uint64_t flags = data.Vint();
    constexpr uint64_t kUnixFormat = 0x0001, kHasMtime = 0x0002;
    if (!(flags & kHasMtime)) return kDosEpochDate;
    int64_t seconds;
    if (flags & kUnixFormat) {
        seconds = data.Fixed32();
    } else {
        // Windows FILETIME: 100 ns units since 1601-01-01.
        constexpr int64_t kTicksPerSecond = 10000000, kEpochDifference = 11644473600;
        seconds = static_cast<int64_t>(data.Fixed64() / kTicksPerSecond) - kEpochDifference;
    }
    if (!data.ok || seconds < INT32_MIN || seconds > INT32_MAX) return kDosEpochDate;
    return UnixToDate(static_cast<int32_t>(seconds));
}

constexpr Rar5ExtraHandler kRar5ExtraHandlers[] = {
    {0x01, 0, [](RarEntry& e, VintReader&) { e.encrypted = true; }},
    {0x03, 1,
     [](RarEntry& e, VintReader& data) {
         const TDateTime date = Rar5Time(data);
         if (e.date == kDosEpochDate) e.date = date;
     }},
    // File system redirection: 1 Unix link, 2 Windows link, 3 junction; hard links
    // (4) and file copies (5) are files.
    {0x05, 1,
     [](RarEntry& e, VintReader& data) {
         const uint64_t kind = data.Vint();
         e.link = kind >= 1 && kind <= 3;
     }},
};

// ---------------------------------------------------------------------------

class RarWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        // A second run over the same component starts numbering from the first volume.
        const TVolumeNumbering n = VolumeNumbering(v.ArcType(), v.ArchiveFile());
        v.VolumeLetter = n.Letter;
        v.VolumeNumber = n.Number;
        volume_ = v.ArchiveFile();
        partsPacked_ = 0;
        const int64_t marker = v.StartOffset - 1;
        uint8_t signature[sizeof kRar5Marker] = {};
        rar5_ = v.ReadAt(marker, signature, sizeof signature) &&
                std::memcmp(signature, kRar5Marker, sizeof kRar5Marker) == 0;
        int64_t first;
        if (!StartOfVolume(v, marker, first)) return; // nothing to list
        v.ReadPosition = first + 1;
        v.BlockSize = rar5_ ? kRar5Block : kRar4Head;
    }

    void Step(TVireo& v) override { rar5_ ? StepRar5(v) : StepRar4(v); }

private:
    // The first header of a volume whose marker is at pos: RAR 1.5-4 reads the
    // main header here (a short one is a fatal read error), RAR 5 lets the walk
    // pass over it as one more header. False when this is not a volume of the
    // same format or its headers are encrypted.
    bool StartOfVolume(TVireo& v, int64_t pos, int64_t& first) {
        if (rar5_) {
            uint8_t marker[sizeof kRar5Marker];
            first = pos + sizeof kRar5Marker;
            return v.ReadAt(pos, marker, sizeof marker) &&
                   std::memcmp(marker, kRar5Marker, sizeof marker) == 0;
        }
        uint8_t marker[sizeof kRar4Marker], main[kRar4MainHeader];
        if (!v.ReadAt(pos, marker, sizeof marker) ||
            std::memcmp(marker, kRar4Marker, sizeof marker) != 0)
            return false;
        if (!v.ReadAt(pos + kRar4Head, main, kRar4MainHeader)) v.RaiseError(E_FREAD, volume_);
        if (GetLE16(main + 3) & kRar4EncryptedHeaders) return false;
        first = pos + kRar4Head + std::max<int>(kRar4MainHeader, GetLE16(main + 5));
        return true;
    }

    // Opens the volume after the current one and moves to its first header; the
    // walk ends when it is refused or is no volume of this archive.
    void ContinueInNextVolume(TVireo& v) {
        std::string name = NextPartName(volume_);
        if (name.empty()) name = v.VolumeFileName(volume_, v.VolumeNumber);
        int64_t first;
        if (!walk::MoveToNextFile(v, name)) return v.EndWalk();
        volume_ = name;
        if (!StartOfVolume(v, 0, first)) return v.EndWalk();
        v.Position = first;
    }

    static void MoveTo(TVireo& v, int64_t next) {
        if (next > v.EndPosition) return v.EndWalk();
        v.Position = next;
    }

    // A file part: its packed size adds to the parts before it when it continues
    // one; a part continued in the next volume is not reported.
    void FilePart(TVireo& v, RarEntry& e, bool continuedFrom, bool continuedIn, int64_t next) {
        partsPacked_ =
            continuedFrom ? std::min(partsPacked_, INT64_MAX - e.packed) + e.packed : e.packed;
        if (continuedIn) {
            v.NameRead(e.name);
            return ContinueInNextVolume(v);
        }
        e.packed = partsPacked_;
        Report(v, e);
        MoveTo(v, next);
    }

    // ---- RAR 1.5-4 -------------------------------------------------------

    void StepRar4(TVireo& v) {
        const int64_t header = v.HeaderPosition();
        uint8_t b[kRar4FileFixed] = {};
        const int64_t got = v.ReadSomeAt(header, b, kRar4FileFixed);
        const uint8_t type = b[2];
        const uint16_t flags = GetLE16(b + 3);
        const uint16_t size = GetLE16(b + 5);
        if (size < kRar4Head) return v.EndWalk();
        if (type == kRar4EndType) {
            if (flags & kRar4NextVolume) return ContinueInNextVolume(v);
            return v.EndWalk();
        }
        if (got < std::min<int>(size, kRar4FileFixed)) return v.EndWalk(); // cut short
        const int64_t added = flags & kRar4LongBlock ? GetLE32(b + 7) : 0;
        // Comments, recovery records, service blocks: passed over.
        if (type != kRar4FileType || (flags & kRar4SkipIfUnknown))
            return MoveTo(v, header + size + added);
        if (!(flags & kRar4LongBlock)) return v.EndWalk();

        RarEntry e;
        if (!ReadRar4File(v, b, header, flags, size, e)) return v.EndWalk();
        FilePart(v, e, flags & kRar4ContinuedFrom, flags & kRar4ContinuedIn,
                 header + size + e.packed);
    }

    bool ReadRar4File(TVireo& v, const uint8_t* b, int64_t header, uint16_t flags, uint16_t size,
                      RarEntry& e) {
        const bool large = flags & kRar4Large;
        const int nameAt = large ? 40 : 32;
        if (size < kRar4FileFixed) return false;
        const uint16_t nameSize = GetLE16(b + 26);
        if (nameAt + nameSize > size) return false;
        std::string raw(nameSize, '\0');
        if (!v.ReadAt(header + nameAt, raw.data(), nameSize)) return false;
        uint8_t high[8] = {};
        if (large && !v.ReadAt(header + 32, high, sizeof high)) return false;

        // Sizes beyond 2^63 are damage; the data must be addressable after the header.
        const uint64_t packed = GetLE32(b + 7) | uint64_t{GetLE32(high)} << 32;
        const uint64_t unpacked = GetLE32(b + 11) | uint64_t{GetLE32(high + 4)} << 32;
        if (packed > static_cast<uint64_t>(INT64_MAX - header - size) || unpacked > INT64_MAX)
            return false;
        e.position = header;
        e.name = Rar4Name(raw, flags & kRar4Unicode);
        e.packed = static_cast<int64_t>(packed);
        e.unpacked = static_cast<int64_t>(unpacked);
        e.crc = GetLE32(b + 16);
        e.date = DosDateTimeToDate(GetLE32(b + 20));
        e.version = b[24];
        e.method = b[25];
        e.attributes = GetLE32(b + 28);
        e.encrypted = flags & kRar4Password;
        const bool unixHost = b[15] == kHostUnix || b[15] == kHostBeOs;
        const uint32_t modeType = e.attributes & kModeTypeMask;
        e.directory = (flags & kRar4DirectoryWindow) == kRar4DirectoryWindow ||
                      (unixHost ? modeType == kModeDirectory : (e.attributes & kDosDirectory));
        e.link = unixHost && modeType == kModeLink;
        return true;
    }

    // ---- RAR 5 -----------------------------------------------------------

    void StepRar5(TVireo& v) {
        const int64_t header = v.HeaderPosition();
        VintReader sizeField{v.Block.data() + 4, kRar5MaxSizeBytes};
        const uint64_t size = sizeField.Vint();
        const int64_t bodyStart = header + 4 + static_cast<int64_t>(sizeField.at);
        const int64_t left = std::max<int64_t>(0, v.EndPosition - bodyStart);
        if (!sizeField.ok || size == 0 || size > kRar5MaxHeader ||
            size > static_cast<uint64_t>(left))
            return v.EndWalk();
        body_.resize(static_cast<size_t>(size));
        if (!v.ReadAt(bodyStart, body_.data(), static_cast<int64_t>(size))) return v.EndWalk();

        VintReader r{body_.data(), body_.size()};
        const uint64_t type = r.Vint();
        const uint64_t flags = r.Vint();
        const uint64_t extraSize = flags & kRar5HasExtra ? r.Vint() : 0;
        const uint64_t dataSize = flags & kRar5HasData ? r.Vint() : 0;
        const int64_t headerEnd = bodyStart + static_cast<int64_t>(size);
        if (!r.ok || extraSize > size - r.at ||
            dataSize > static_cast<uint64_t>(INT64_MAX - headerEnd))
            return v.EndWalk();
        const int64_t next = headerEnd + static_cast<int64_t>(dataSize);

        switch (type) {
        case kRar5File: {
            RarEntry e;
            if (!ReadRar5File(r, size - extraSize, e)) return v.EndWalk();
            ReadRar5Extra(VintReader{body_.data() + (size - extraSize), extraSize}, e);
            e.position = header;
            e.packed = static_cast<int64_t>(dataSize);
            return FilePart(v, e, flags & kRar5ContinuedFrom, flags & kRar5ContinuedIn, next);
        }
        case kRar5Encryption: return v.EndWalk();
        case kRar5End:
            if (r.Vint() & kRar5NextVolume) return ContinueInNextVolume(v);
            return v.EndWalk();
        default: return MoveTo(v, next); // main and service headers
        }
    }

    // The file header's own fields, which end where the extra area begins.
    bool ReadRar5File(VintReader& r, uint64_t fieldsEnd, RarEntry& e) {
        r.size = static_cast<size_t>(fieldsEnd);
        const uint64_t fileFlags = r.Vint();
        e.unpacked = static_cast<int64_t>(std::min<uint64_t>(r.Vint(), INT64_MAX));
        e.attributes = static_cast<uint32_t>(r.Vint());
        if (fileFlags & kRar5HasTime) e.date = UnixToDate(static_cast<int32_t>(r.Fixed32()));
        if (fileFlags & kRar5HasCrc) e.crc = r.Fixed32();
        const uint64_t compression = r.Vint();
        const uint64_t host = r.Vint();
        const std::string_view name = r.Bytes(r.Vint());
        if (!r.ok) return false;
        const uint64_t algorithm = compression & 0x3F;
        e.version =
            algorithm < std::size(kRar5AlgorithmVersions) ? kRar5AlgorithmVersions[algorithm] : 0;
        e.method = static_cast<int16_t>('0' + (compression >> 7 & 7));
        e.directory = fileFlags & kRar5Directory;
        e.link = host == kHost5Unix && (e.attributes & kModeTypeMask) == kModeLink;
        e.name = ToBackslashes(std::string(name));
        return true;
    }

    static void ReadRar5Extra(VintReader area, RarEntry& e) {
        while (area.at < area.size) {
            const uint64_t recordSize = area.Vint();
            const std::string_view record = area.Bytes(recordSize);
            if (!area.ok) return;
            VintReader data{reinterpret_cast<const uint8_t*>(record.data()), record.size()};
            const uint64_t type = data.Vint();
            for (const Rar5ExtraHandler& handler : kRar5ExtraHandlers)
                if (handler.type == type && data.ok && record.size() - data.at >= handler.minimum)
                    handler.apply(e, data);
        }
    }

    // ---- Reporting -------------------------------------------------------

    void Report(TVireo& v, const RarEntry& r) {
        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        e.FileName = r.name;
        v.NameRead(e.FileName);
        if (r.link) return; // links are not listed, as in the TAR walk
        e.DateTime = r.date;
        e.VersionMadeBy = r.version;
        v.SetSizes(r.packed, r.unpacked);
        e.CRC = r.crc;
        e.Encrypted = r.encrypted;
        e.MethodCode = r.method;
        e.MethodName = MethodName(v.ArcType(), r.method, r.directory);
        e.ExternalAttr = r.attributes;
        walk::ReportByDirectoryRule(v, r.position, r.directory);
    }

    bool rar5_ = false;
    std::string volume_;        // the volume being read
    int64_t partsPacked_ = 0;   // packed bytes of the current file's parts so far
    std::vector<uint8_t> body_; // the RAR 5 header being read
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeRarWalk() {
    return std::make_unique<RarWalk>();
}

} // namespace vro
