// Small pieces shared by the catalogue walks of the DOS-era formats (ARC/PAK, ARJ,
// BH, ZOO, HA, MsGZ, ACE): turning stored name bytes into the engine's names,
// zero-terminated texts from a header buffer or the file, clearing the entry
// record, reporting an entry by the common directory rule, and the volume
// numbering of the multi-volume walks (ARJ, ACE).
#pragma once

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "engine/vroHelpers.h"
#include "engine/vroMethodNames.h"
#include "engine/vroVireo.h"

namespace vro::walk {

// True when the bytes hold at least one multi-byte UTF-8 sequence and nothing that
// is not well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
inline bool IsMultiByteUtf8(std::string_view s) {
    bool multi = false;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<uint8_t>(s[i]);
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t n;
        uint32_t cp;
        if ((c & 0xE0) == 0xC0) {
            n = 1, cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2, cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3, cp = c & 0x07;
        } else {
            return false;
        }
        if (i + n >= s.size()) return false; // the sequence runs past the end
        for (size_t k = 1; k <= n; ++k) {
            const auto t = static_cast<uint8_t>(s[i + k]);
            if ((t & 0xC0) != 0x80) return false;
            cp = cp << 6 | (t & 0x3F);
        }
        static constexpr uint32_t kSmallest[4] = {0, 0x80, 0x800, 0x10000};
        if (cp < kSmallest[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
        multi = true;
        i += n + 1;
    }
    return multi;
}

// A stored name as the engine keeps it: UTF-8 with "\" separators. Names are OEM
// bytes in these formats, except that archivers running on Unix (ARJ, HA, ZOO
// there) store the bytes they were given, which today is UTF-8; a name that is
// well-formed multi-byte UTF-8 is therefore kept as it is. A DOS name made of OEM
// box-drawing and accented letters that happens to form valid UTF-8 is the price.
inline std::string NameFromArchive(std::string_view bytes) {
    if (IsMultiByteUtf8(bytes)) return ToBackslashes(std::string(bytes));
    return FromArchiveName(bytes);
}

// The text of buf[from, end) up to its first zero byte (all of it without one).
inline std::string_view ZeroTerminated(const uint8_t* buf, size_t from, size_t end) {
    if (from >= end) return {};
    const auto* p = reinterpret_cast<const char*>(buf + from);
    const std::string_view all(p, end - from);
    return all.substr(0, all.find('\0'));
}

// Reads a zero-terminated text of at most maxLength bytes starting at pos (a
// longer one is cut there); pos moves past its zero byte. False when the file ends
// before the zero byte.
inline bool ReadZeroTerminated(TVireo& v, int64_t& pos, size_t maxLength, std::string& text) {
    text.clear();
    char chunk[256];
    for (;;) {
        const int64_t got = v.ReadSomeAt(pos, chunk, sizeof chunk);
        if (got <= 0) return false;
        const std::string_view part(chunk, static_cast<size_t>(got));
        const size_t zero = part.find('\0');
        const size_t take = zero == std::string_view::npos ? part.size() : zero;
        if (text.size() < maxLength)
            text.append(part.substr(0, std::min(take, maxLength - text.size())));
        if (zero != std::string_view::npos) {
            pos += static_cast<int64_t>(zero) + 1;
            return true;
        }
        pos += got;
    }
}

// Reports the current entry by the rule every walk of this family shares with the
// ZIP central directory: a directory is shown only with ShowBlankDirs, then without
// the FileSpec test and without counting it (its name gets the trailing "\" the
// entry record promises); any other entry is counted when its name matches.
inline void ReportByDirectoryRule(TVireo& v, int64_t offset, bool isDirectory) {
    if (isDirectory) {
        if (!v.ShowBlankDirs) return;
        v.EntryInfo.FileName = AddTrailingBackslash(v.EntryInfo.FileName);
        v.ReportEntry(offset, false);
        return;
    }
    if (v.Matches(v.EntryInfo.FileName)) v.ReportEntry(offset);
}

// Prepares the volume numbering of a multi-volume walk: numbered from the volume
// opened (so a second run starts over), with the volume letter in the case of the
// archive's own extension. Volume names are derived from the letter, and on a
// case-sensitive file system "x.ace" is followed by "x.c00", "X.ARJ" by "X.A01".
inline void StartVolumeNumbering(TVireo& v) {
    const TVolumeNumbering n = VolumeNumbering(v.ArcType(), v.ArchiveFile());
    v.VolumeNumber = n.Number;
    v.VolumeLetter = n.Letter;
    const std::string ext = std::filesystem::path(v.ArchiveFile()).extension().string();
    if (ext.size() > 1 && std::isalpha(static_cast<unsigned char>(ext[1]))) {
        const bool lower = std::islower(static_cast<unsigned char>(ext[1]));
        const auto letter = static_cast<unsigned char>(v.VolumeLetter);
        v.VolumeLetter = static_cast<char>(lower ? std::tolower(letter) : std::toupper(letter));
    }
}

// Clears the per-entry fields a format may leave unset, so nothing of the previous
// entry shows through: a field a format does not store reads 0.
inline void ResetEntry(TEntryInfo& e) {
    e.FileName.clear();
    e.PackedSize = e.UnpackedSize = 0;
    e.Ratio = 0;
    e.CRC = 0;
    e.DateTime = 0;
    e.Encrypted = false;
    e.MethodCode = 0;
    e.MethodName.clear();
    e.DeflateOption = 0;
    e.VersionMadeBy = e.VersionNeeded = 0;
    e.InternalAttr = 0;
    e.ExternalAttr = 0;
}

} // namespace vro::walk
