// File-system services in the shape the engine expects from a desktop system:
// directory searches with DOS attributes, DOS file dates, temporary files, folders
// and free space. POSIX underneath; paths are host paths ("/").
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <string>

namespace platform {

// DOS attribute bits, as archives store them.
enum : uint32_t {
    faReadOnly = 0x01,
    faHidden = 0x02,
    faSysFile = 0x04,
    faVolumeID = 0x08,
    faDirectory = 0x10,
    faArchive = 0x20,
    faAnyFile = 0x3F,
};
inline constexpr uint32_t kNoAttributes = 0xFFFFFFFFu;

struct TSearchRec {
    std::string Name;  // file name only, no folder
    uint32_t Attr = 0; // DOS attribute bits
    int64_t Size = 0;
    uint32_t Time = 0; // DOS date-time of the modification time (local time)
};

// find-first / find-next over one folder. The mask is the file-name part of the
// pattern given to FindFirst ("dir/*.zip"); "*" and "?" match as on DOS, letters
// without regard to case, and "*.*" matches every name. Like the DOS call, plain
// files always qualify and hidden, system and directory entries only when their
// bit is in the attribute mask. "." and ".." are never returned.
class TDirSearch {
public:
    TDirSearch();
    ~TDirSearch();
    bool FindFirst(const std::string& pattern, uint32_t attrMask, TSearchRec& rec);
    bool FindNext(TSearchRec& rec);
    void Close();

private:
    struct State;
    std::unique_ptr<State> state_;
};

// Matches a DOS-style file mask against one name (used by TDirSearch).
bool MatchesFileMask(const std::string& mask, const std::string& name);

// DOS attributes of a path: read-only when not writable by us, hidden when the
// name starts with ".", directory, archive for regular files. kNoAttributes when
// the path does not exist. Never system or volume label on this host.
uint32_t FileAttributes(const std::string& path);
// Clears or sets the write bits to match faReadOnly; other bits have no host form.
bool SetFileAttributes(const std::string& path, uint32_t attr);

bool FileExists(const std::string& path); // anything but a directory
bool DirectoryExists(const std::string& path);
int64_t FileSize(const std::string& path); // -1 when missing
std::string CurrentDirectory();

// DOS date-time (date in the high word) of a local time, and back. Times before
// 1980 clamp to 1980-01-01 00:00:00; odd seconds round down (DOS keeps 2 s steps).
uint32_t UnixToDosDateTime(std::time_t t);
std::time_t DosDateTimeToUnix(uint32_t dosDateTime);
// Modification time of a file as DOS date-time; false when it cannot be read.
bool FileDosDateTime(const std::string& path, uint32_t& dosDateTime);
bool SetFileDosDateTime(const std::string& path, uint32_t dosDateTime);

// The temporary folder ($TMPDIR or /tmp), without a trailing separator.
std::string TempDirectory();
// Creates a new, empty, uniquely named file in the temporary folder whose name
// starts with the prefix; returns its path, or empty on failure.
std::string CreateTempFile(const std::string& prefix);
// Creates a folder and its missing parents; true when it exists afterwards.
bool ForceDirectories(const std::string& path);

// Free and total bytes of the file system holding the path; -1 when unknown.
int64_t FreeSpace(const std::string& path);
int64_t TotalSpace(const std::string& path);

// The last system error as text (strerror of errno).
std::string LastErrorText();

} // namespace platform
