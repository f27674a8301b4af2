// File-system services in the desktop system's shape, over POSIX: find-first /
// find-next with DOS attributes and masks, DOS file dates in local time, the
// temporary folder, folder creation and free space. The engine was written against
// those calls, so this file answers the way they answer (DOS mask rules, attribute
// gates, 2-second dates) instead of the way POSIX would.
#include "platform/FileSystem.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

constexpr mode_t kAnyWriteBit = S_IWUSR | S_IWGRP | S_IWOTH;

// stat() that still finds a dangling symbolic link (as the link itself), so a
// search lists every name the folder holds.
bool StatPath(const std::string& path, struct stat& st) {
    return ::stat(path.c_str(), &st) == 0 || ::lstat(path.c_str(), &st) == 0;
}

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string LastComponent(const std::string& path) {
    return std::filesystem::path(WithoutTrailingSlashes(path)).filename().string();
}

// Not writable by us: no write bit at all (root could still write such a file, but
// the desktop system would call it read-only), or the system refuses us write access.
bool IsReadOnly(const std::string& path, mode_t mode) {
    if ((mode & kAnyWriteBit) == 0) return true;
    return ::access(path.c_str(), W_OK) != 0 && (errno == EACCES || errno == EROFS);
}

uint32_t AttributesOf(const std::string& path, const std::string& name, const struct stat& st) {
    uint32_t attr = 0;
    if (S_ISDIR(st.st_mode)) attr |= faDirectory;
    if (S_ISREG(st.st_mode)) attr |= faArchive;
    if (IsReadOnly(path, st.st_mode)) attr |= faReadOnly;
    if (name.size() > 1 && name[0] == '.' && name != "..") attr |= faHidden;
    return attr;
}

char FoldCase(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Wildcard match by dynamic programming over (mask position, name position), so a
// mask like "*a*a*a*b" costs mask x name steps, never an exponential backtrack.
// "?" matches one character, or nothing at the end of the name or before a dot,
// as in "FILE????.TXT" matching "FILE.TXT".
bool MatchesWildcards(const std::string& mask, const std::string& name) {
    const size_t m = mask.size(), n = name.size();
    // Row i holds, for each j, whether mask[i..] matches name[j..]; `next` is row i + 1.
    std::vector<char> next(n + 1, 0), matches(n + 1, 0);
    next[n] = 1;
    for (size_t i = m; i-- > 0;) {
        for (size_t j = n + 1; j-- > 0;) {
            const char c = mask[i];
            bool ok;
            if (c == '*')
                ok = next[j] || (j < n && matches[j + 1]);
            else if (c == '?')
                ok = (j < n && next[j + 1]) || ((j == n || name[j] == '.') && next[j]);
            else
                ok = j < n && FoldCase(c) == FoldCase(name[j]) && next[j + 1];
            matches[j] = ok;
        }
        std::swap(matches, next);
    }
    return next[0];
}

std::string JoinPath(const std::string& folder, const std::string& name) {
    if (folder.empty() || folder == ".") return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

constexpr uint32_t kDosEpoch = (1u << 5 | 1u) << 16; // 1980-01-01 00:00:00

struct DosFields {
    int year, month, day, hour, minute, second;
};

DosFields SplitDosDateTime(uint32_t value) {
    return {1980 + static_cast<int>(value >> 25), static_cast<int>(value >> 21 & 15),
            static_cast<int>(value >> 16 & 31),   static_cast<int>(value >> 11 & 31),
            static_cast<int>(value >> 5 & 63),    static_cast<int>(value & 31) * 2};
}

bool IsValidDosDateTime(const DosFields& f) {
    return f.month >= 1 && f.month <= 12 && f.day >= 1 && f.day <= 31 && f.hour <= 23 &&
           f.minute <= 59 && f.second <= 59;
}

} // namespace

// ---- Directory search ----------------------------------------------------------------

struct TDirSearch::State {
    DIR* dir = nullptr;
    std::string folder;
    std::string mask;
    uint32_t attrMask = 0;
    ~State() {
        if (dir) ::closedir(dir);
    }
};

TDirSearch::TDirSearch() = default;
TDirSearch::~TDirSearch() = default;

void TDirSearch::Close() {
    state_.reset();
}

bool TDirSearch::FindFirst(const std::string& pattern, uint32_t attrMask, TSearchRec& rec) {
    Close();
    auto state = std::make_unique<State>();
    const size_t slash = pattern.rfind('/');
    state->folder = slash == std::string::npos ? "." : slash == 0 ? "/" : pattern.substr(0, slash);
    state->mask = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    state->attrMask = attrMask;
    state->dir = ::opendir(state->folder.c_str());
    if (!state->dir) return false;
    state_ = std::move(state);
    return FindNext(rec);
}

bool TDirSearch::FindNext(TSearchRec& rec) {
    if (!state_) return false;
    // Hidden, system and directory entries need their bit in the mask; the others
    // (read-only, archive) never keep an entry out.
    const uint32_t gated = (faHidden | faSysFile | faDirectory) & ~state_->attrMask;
    while (const dirent* entry = ::readdir(state_->dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == ".." || !MatchesFileMask(state_->mask, name)) continue;
        const std::string path = JoinPath(state_->folder, name);
        struct stat st {};
        if (!StatPath(path, st)) continue; // removed since readdir listed it
        const uint32_t attr = AttributesOf(path, name, st);
        if (attr & gated) continue;
        rec.Name = name;
        rec.Attr = attr;
        rec.Size = S_ISREG(st.st_mode) ? st.st_size : 0;
        rec.Time = UnixToDosDateTime(st.st_mtime);
        return true;
    }
    errno = ENOENT;
    return false;
}

// DOS rules on top of the wildcards: a mask ending in ".*" also takes names without
// an extension ("*.*" takes every name, "README.*" takes "README"), and a mask
// ending in a lone "." takes only names without one ("*." lists "README" only).
bool MatchesFileMask(const std::string& mask, const std::string& name) {
    if (mask.size() >= 2 && mask.ends_with(".*") &&
        MatchesWildcards(mask.substr(0, mask.size() - 2), name))
        return true;
    if (!mask.empty() && mask.back() == '.')
        return name.find('.') == std::string::npos &&
               MatchesWildcards(mask.substr(0, mask.size() - 1), name);
    return MatchesWildcards(mask, name);
}

// ---- Attributes and existence -------------------------------------------------------

uint32_t FileAttributes(const std::string& path) {
    struct stat st {};
    if (!StatPath(path, st)) return kNoAttributes;
    return AttributesOf(path, LastComponent(path), st);
}

bool SetFileAttributes(const std::string& path, uint32_t attr) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    const mode_t mode = st.st_mode & 07777;
    return ::chmod(path.c_str(), attr & faReadOnly ? mode & ~kAnyWriteBit : mode | S_IWUSR) == 0;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return StatPath(path, st) && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

int64_t FileSize(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) return -1;
    return st.st_size;
}

std::string CurrentDirectory() {
    std::error_code ec;
    auto path = std::filesystem::current_path(ec);
    return ec ? std::string() : path.string();
}

// ---- DOS dates -----------------------------------------------------------------------

uint32_t UnixToDosDateTime(std::time_t t) {
    std::tm local{};
    if (!::localtime_r(&t, &local) || local.tm_year < 80) return kDosEpoch;
    if (local.tm_year > 207) // past 2107, the last year seven bits can hold
        return (127u << 25 | 12u << 21 | 31u << 16) | (23u << 11 | 59u << 5 | 29u);
    const uint32_t date =
        static_cast<uint32_t>((local.tm_year - 80) << 9 | (local.tm_mon + 1) << 5 | local.tm_mday);
    const int second = local.tm_sec > 59 ? 59 : local.tm_sec; // a leap second
    const uint32_t time =
        static_cast<uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | second / 2);
    return date << 16 | time;
}

// A value with a zero or out-of-range field (archives hold plenty of 0) means
// 1980-01-01 00:00:00 rather than whatever mktime() would normalise it into.
std::time_t DosDateTimeToUnix(uint32_t dosDateTime) {
    DosFields f = SplitDosDateTime(dosDateTime);
    if (!IsValidDosDateTime(f)) f = SplitDosDateTime(kDosEpoch);
    std::tm local{};
    local.tm_year = f.year - 1900;
    local.tm_mon = f.month - 1;
    local.tm_mday = f.day;
    local.tm_hour = f.hour;
    local.tm_min = f.minute;
    local.tm_sec = f.second;
    local.tm_isdst = -1; // let the zone rules decide summer time
    return std::mktime(&local);
}

bool FileDosDateTime(const std::string& path, uint32_t& dosDateTime) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    dosDateTime = UnixToDosDateTime(st.st_mtime);
    return true;
}

bool SetFileDosDateTime(const std::string& path, uint32_t dosDateTime) {
    const timespec times[2] = {{0, UTIME_OMIT}, {DosDateTimeToUnix(dosDateTime), 0}};
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0;
}

// ---- Temporary files and folders ------------------------------------------------------

std::string TempDirectory() {
    const char* env = std::getenv("TMPDIR");
    if (!env || !*env) return "/tmp";
    return WithoutTrailingSlashes(env);
}

std::string CreateTempFile(const std::string& prefix) {
    std::string pattern = JoinPath(TempDirectory(), prefix + "XXXXXX");
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

bool ForceDirectories(const std::string& path) {
    if (path.empty()) return false;
    const std::string folder = WithoutTrailingSlashes(path);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return DirectoryExists(folder);
}

// ---- Space and errors ----------------------------------------------------------------------

int64_t FreeSpace(const std::string& path) {
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0) return -1;
    return static_cast<int64_t>(fs.f_bavail) * static_cast<int64_t>(fs.f_frsize);
}

int64_t TotalSpace(const std::string& path) {
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0) return -1;
    return static_cast<int64_t>(fs.f_blocks) * static_cast<int64_t>(fs.f_frsize);
}

std::string LastErrorText() {
    const int error = errno;
    return std::generic_category().message(error);
}

} // namespace platform
