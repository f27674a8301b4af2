// Small helpers every engine component shares: the compression ratio shown in
// listings, the archive extension table, stored-name and host-path helpers, TAR's
// octal fields, and reading names out of archive headers.
//
// Stored names use "\" as separator inside the engine (and ":" after a drive
// letter), whatever the archive used; host paths only meet them at the output
// name builder.
#include "engine/vroHelpers.h"

#include <algorithm>

#include "engine/vroErrors.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "platform/Stream.h"

namespace vro {

const char* const kArchiveExtensions[kArchiveExtensionCount] = {
    ".UUE", ".XXE", ".ENC", ".TAR", ".Z",   ".GZ",  ".ZIP", ".ZOO", ".LHA", ".LZH",
    ".ARC", ".ARJ", ".BH",  ".PAK", ".CAB", ".RAR", ".EXE", ".JAR", ".ACE",
};

namespace {

char AsciiUpper(char c) {
    return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
}

char AsciiLower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return AsciiUpper(x) == AsciiUpper(y);
           });
}

// A trailing "\" only counts when it is a character of its own, not the second
// byte of a double-byte character.
bool EndsWithBackslash(const std::string& path) {
    return !path.empty() && path.back() == '\\' && platform::ByteType(path, path.size() - 1) == 0;
}

std::string Replaced(std::string text, char from, char to) {
    std::replace(text.begin(), text.end(), from, to);
    return text;
}

// Reads up to n bytes at pos, fewer at the end of the file or on a read error.
int64_t ReadUpTo(platform::TStream& file, int64_t pos, char* buffer, int64_t n) {
    if (pos < 0 || file.Seek(pos, platform::SeekOrigin::Begin) != pos) return 0;
    int64_t done = 0;
    while (done < n) {
        const int64_t got = file.Read(buffer + done, n - done);
        if (got <= 0) break;
        done += got;
    }
    return done;
}

// When the saving exceeds this, both sizes are divided by 100 before the percent
// is taken (which kept (u - p) * 100 inside 32 bits); listings show the ratio
// this way, so it is kept even where the exact figure would differ by one.
constexpr int64_t kRatioScaleThreshold = 100000;

// The longest name a zero-terminated header field may hold.
constexpr int64_t kMaxZeroTerminatedName = 256;

} // namespace

uint8_t Ratio(int64_t packed, int64_t unpacked) {
    if (packed <= 0 || unpacked <= 0 || packed >= unpacked) return 0;
    if (unpacked - packed > kRatioScaleThreshold) packed /= 100, unpacked /= 100;
    const int64_t percent = (unpacked - packed) * 100 / unpacked;
    return static_cast<uint8_t>(percent == 0 ? 1 : percent); // any saving shows
}

int ArchiveExtensionIndex(std::string_view ext) {
    for (int i = 0; i < kArchiveExtensionCount; ++i)
        if (EqualsIgnoringAsciiCase(ext, kArchiveExtensions[i])) return i;
    return -1;
}

std::string AddTrailingBackslash(const std::string& path) {
    return path.empty() || EndsWithBackslash(path) ? path : path + '\\';
}

std::string RemoveTrailingBackslash(const std::string& path) {
    return EndsWithBackslash(path) ? path.substr(0, path.size() - 1) : path;
}

std::string ToBackslashes(std::string name) {
    return Replaced(std::move(name), '/', '\\');
}

std::string ToSlashes(std::string name) {
    return Replaced(std::move(name), '\\', '/');
}

std::string FromArchiveName(std::string_view name) {
    return ToBackslashes(platform::OemToAnsi(name));
}

std::string ToArchiveName(std::string_view name) {
    return ToBackslashes(platform::AnsiToOem(name));
}

std::string ExtractFileName(const std::string& path) {
    const size_t sep = path.find_last_of("\\:");
    return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string ExtractFilePath(const std::string& path) {
    const size_t sep = path.find_last_of("\\:");
    return sep == std::string::npos ? std::string() : path.substr(0, sep + 1);
}

std::string ExtractFileExt(const std::string& path) {
    const size_t dot = path.find_last_of(".\\:");
    return dot == std::string::npos || path[dot] != '.' ? std::string() : path.substr(dot);
}

std::string UpperCase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), AsciiUpper);
    return s;
}

std::string LowerCase(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), AsciiLower);
    return s;
}

// Header fields keep this length in one byte, so longer names report 255.
uint8_t BaseNameLength(const char* name) {
    if (!name) return 0;
    const std::string_view text(name);
    const size_t length = std::min(text.find('.'), text.size());
    return static_cast<uint8_t>(std::min<size_t>(length, 255));
}

bool AllDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void SplitAt(std::string& text, char delimiter, std::string& head) {
    const size_t at = text.find(delimiter);
    if (at == std::string::npos) {
        head = std::move(text);
        text.clear();
        return;
    }
    head = text.substr(0, at);
    text.erase(0, at + 1);
}

bool FileOrWildcardExists(const std::string& path) {
    platform::TDirSearch search;
    platform::TSearchRec rec;
    return search.FindFirst(path, platform::faAnyFile, rec);
}

bool IsDirectory(const std::string& path) {
    return path.empty() || platform::DirectoryExists(path);
}

bool IsPlainFile(const std::string& path) {
    constexpr uint32_t kNotPlain = platform::faReadOnly | platform::faSysFile | platform::faHidden |
                                   platform::faDirectory | platform::faVolumeID;
    // A missing file reads as all bits set, so it is not plain either.
    return (platform::FileAttributes(path) & kNotPlain) == 0;
}

std::string TemporaryDirectory() {
    return platform::TempDirectory();
}

std::string TemporaryFileName(const std::string& prefix) {
    std::string path = platform::CreateTempFile(prefix);
    if (path.empty()) throw EVroError(E_FOPEN, prefix);
    return path;
}

void ForceDirectories(const std::string& path) {
    if (path.empty() || !platform::ForceDirectories(path))
        throw EVroError(E_UNABLETOCREATEDIR, path);
}

std::string ReadZeroTerminatedName(platform::TStream& file, int64_t& pos) {
    char buffer[kMaxZeroTerminatedName];
    const int64_t got = ReadUpTo(file, pos, buffer, kMaxZeroTerminatedName);
    const std::string_view bytes(buffer, static_cast<size_t>(got));
    std::string name(bytes.substr(0, bytes.find('\0')));
    pos += static_cast<int64_t>(name.size()) + 1;
    return name;
}

std::string ReadCountedName(platform::TStream& file, int64_t& pos, int length) {
    if (length <= 0) return {};
    std::string name(static_cast<size_t>(length), '\0');
    name.resize(static_cast<size_t>(ReadUpTo(file, pos, name.data(), length)));
    pos += length;
    return name;
}

int32_t OctalToNumber(std::string_view text) {
    uint32_t value = 0; // unsigned, so an over-long field wraps instead of overflowing
    for (char c : text)
        if (c >= '0' && c <= '7') value = value * 8 + uint32_t(c - '0');
    return static_cast<int32_t>(value);
}

void NumberToOctalField(int64_t value, int width, bool zeroTerminate, char* out) {
    if (width <= 0) return;
    std::fill(out, out + width, ' ');
    int last = width - 2; // the last place stays a space ...
    if (zeroTerminate) {  // ... or is a zero byte after a space
        out[width - 1] = '\0';
        --last;
    }
    // Negative sizes have no octal form in these fields; they read as 0.
    uint64_t rest = value > 0 ? static_cast<uint64_t>(value) : 0;
    for (int at = last; at >= 0; --at) {
        out[at] = static_cast<char>('0' + rest % 8);
        rest /= 8;
        if (rest == 0) break;
    }
}

} // namespace vro
