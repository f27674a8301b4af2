// Small helpers shared by every engine component: ratio, the archive extension
// table, path and name helpers, octal fields, and reading names from archive files.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace platform {
class TStream;
}

namespace vro {

// Percent saved, 0 to 100; any saving shows at least 1.
uint8_t Ratio(int64_t packed, int64_t unpacked);

// Index of the extension (with its dot) in the archive extension table, ignoring
// case; -1 when it is not there. ".JAR" is 17.
int ArchiveExtensionIndex(std::string_view ext);
inline constexpr int kArchiveExtensionCount = 19;
extern const char* const kArchiveExtensions[kArchiveExtensionCount];

std::string AddTrailingBackslash(const std::string& path);
std::string RemoveTrailingBackslash(const std::string& path);
std::string ToBackslashes(std::string name);
std::string ToSlashes(std::string name);
// OEM -> ANSI, then "/" -> "\": every name read from an archive.
std::string FromArchiveName(std::string_view name);
// ANSI -> OEM, then "/" -> "\": every name a writer stores.
std::string ToArchiveName(std::string_view name);

// Backslash-path pieces ("\" and ":" separate, as in stored names).
std::string ExtractFileName(const std::string& path); // after the last "\" or ":"
std::string ExtractFilePath(const std::string& path); // up to and including it
std::string ExtractFileExt(const std::string& path);  // from the last "." of the name
std::string UpperCase(std::string s);                  // a-z only
std::string LowerCase(std::string s);                  // A-Z only

// Length of a zero-terminated name before its first "." (all of it without one).
uint8_t BaseNameLength(const char* name);
bool AllDigits(std::string_view text);
// head := text before the first delimiter; text loses head and delimiter.
void SplitAt(std::string& text, char delimiter, std::string& head);

// Host-path helpers (paths as the host spells them).
bool FileOrWildcardExists(const std::string& path);
bool IsDirectory(const std::string& path); // true for an empty path
bool IsPlainFile(const std::string& path); // not read-only, system, hidden, dir, label
std::string TemporaryDirectory();
// A new unique file in the temporary folder; raises "Error opening file" on failure.
std::string TemporaryFileName(const std::string& prefix = "vro");
// Creates the folder and its parents; raises "Unable to create directory" for an
// empty path or when it cannot be made. A trailing separator is ignored.
void ForceDirectories(const std::string& path);

// Reads up to 256 bytes at pos and takes the text before the first zero byte;
// pos advances past the zero.
std::string ReadZeroTerminatedName(platform::TStream& file, int64_t& pos);
// Reads length bytes at pos as the name; pos advances by length.
std::string ReadCountedName(platform::TStream& file, int64_t& pos, int length);

// Octal digits accumulate; every other character is skipped.
int32_t OctalToNumber(std::string_view text);
// Writes value as octal, right-aligned one place before the end of a width-wide
// field of spaces (with zeroTerminate: "digits", " ", NUL). At least one digit.
void NumberToOctalField(int64_t value, int width, bool zeroTerminate, char* out);

} // namespace vro
