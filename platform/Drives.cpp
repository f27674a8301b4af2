// Drives for a host without drive letters: one fixed drive rooted at "/", plus
// folders declared to be removable disks. Spanned ZIP sets, "insert the last disk"
// prompts and volume labels only exist on removable media, so tests (and the span
// dialogs) declare a folder as one and those paths run for real. Declarations live
// in a process-wide registry, seeded once from BRINDLE_REMOVABLE_DISKS.
#include "platform/Drives.h"

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <vector>

namespace platform {

namespace {

constexpr const char* kDisksVariable = "BRINDLE_REMOVABLE_DISKS";

struct DiskIdentity {
    std::string label;
    uint32_t serial = 0;
};

struct DeclaredDisk {
    std::string folder;
    DiskIdentity identity;
};

// Absolute, lexically normal, without a trailing separator: the one form in which
// folders are stored and compared. Symbolic links are not resolved, so a disk is
// the folder as the caller names it.
std::string NormalFolder(const std::string& path) {
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path.empty() ? "." : path, ec);
    if (ec) absolute = path;
    std::string normal = absolute.lexically_normal().string();
    while (normal.size() > 1 && normal.back() == '/')
        normal.pop_back();
    return normal;
}

// Component-wise prefix test on normal forms: "/x/disk" holds "/x/disk/a" but not
// "/x/disk2".
bool FolderHolds(const std::string& folder, const std::string& path) {
    if (folder == "/") return true;
    return path.starts_with(folder) && (path.size() == folder.size() || path[folder.size()] == '/');
}

std::optional<uint32_t> ParseSerial(std::string_view hex) {
    uint32_t value = 0;
    if (hex.empty() || hex.size() > 8) return std::nullopt;
    const auto [end, error] = std::from_chars(hex.data(), hex.data() + hex.size(), value, 16);
    if (error != std::errc() || end != hex.data() + hex.size()) return std::nullopt;
    return value;
}

// One "folder=LABEL:SERIALHEX" entry. The folder ends at the first "=", the serial
// starts after the last ":", so a label may hold blanks, "=" and ":" ("PKBACK# 001").
std::optional<DeclaredDisk> ParseDiskEntry(std::string_view entry) {
    const size_t equals = entry.find('=');
    const size_t colon = entry.rfind(':');
    if (equals == 0 || equals == std::string_view::npos || colon == std::string_view::npos ||
        colon < equals)
        return std::nullopt;
    const auto serial = ParseSerial(entry.substr(colon + 1));
    if (!serial) return std::nullopt;
    return DeclaredDisk{NormalFolder(std::string(entry.substr(0, equals))),
                        {std::string(entry.substr(equals + 1, colon - equals - 1)), *serial}};
}

std::vector<DeclaredDisk> ParseDiskList(std::string_view list) {
    std::vector<DeclaredDisk> disks;
    while (!list.empty()) {
        const size_t semicolon = list.find(';');
        if (auto disk = ParseDiskEntry(list.substr(0, semicolon))) disks.push_back(*disk);
        list = semicolon == std::string_view::npos ? "" : list.substr(semicolon + 1);
    }
    return disks;
}

class DiskRegistry {
public:
    static DiskRegistry& Instance() {
        static DiskRegistry registry; // thread-safe first use, environment read once
        return registry;
    }

    void Declare(const DeclaredDisk& disk) {
        std::lock_guard lock(mutex_);
        disks_[disk.folder] = disk.identity;
    }

    void SetLabel(const std::string& folder, const std::string& label) {
        std::lock_guard lock(mutex_);
        if (auto it = disks_.find(folder); it != disks_.end()) it->second.label = label;
    }

    void Clear() {
        std::lock_guard lock(mutex_);
        disks_.clear();
    }

    // The innermost declared folder holding an absolute normal path.
    std::optional<DeclaredDisk> DiskHolding(const std::string& path) {
        std::lock_guard lock(mutex_);
        std::optional<DeclaredDisk> best;
        for (const auto& [folder, identity] : disks_)
            if (FolderHolds(folder, path) && (!best || folder.size() > best->folder.size()))
                best = DeclaredDisk{folder, identity};
        return best;
    }

private:
    DiskRegistry() {
        if (const char* list = std::getenv(kDisksVariable))
            for (const auto& disk : ParseDiskList(list))
                disks_[disk.folder] = disk.identity;
    }

    std::mutex mutex_;
    std::map<std::string, DiskIdentity> disks_;
};

// File-system names by statfs magic number, for the few a Linux host is likely to
// have at "/"; anything else is reported as "unix".
std::string FileSystemName(const char* root) {
    struct statfs fs {};
    if (::statfs(root, &fs) != 0) return "unix";
    switch (static_cast<uint32_t>(fs.f_type)) {
    case 0xEF53: return "ext4"; // ext2/3/4 share the magic
    case 0x58465342: return "xfs";
    case 0x9123683E: return "btrfs";
    case 0x01021994: return "tmpfs";
    case 0x794C7630: return "overlay";
    default: return "unix";
    }
}

bool RemovableVolumeInfo(const DeclaredDisk& disk, VolumeInfo& info) {
    // An absent folder is an empty drive: the caller's retry prompt shows errno.
    struct stat st {};
    if (::stat(disk.folder.c_str(), &st) != 0) return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    info.Root = disk.folder;
    info.Label = disk.identity.label;
    info.Serial = disk.identity.serial;
    info.MaxNameLength = 255;
    info.FileSystem = "FAT";
    info.Type = DriveType::Removable;
    return true;
}

bool FixedVolumeInfo(VolumeInfo& info) {
    struct statvfs fs {};
    if (::statvfs("/", &fs) != 0) return false;
    info.Root = "/";
    info.Label.clear();
    info.Serial = static_cast<uint32_t>(fs.f_fsid);
    info.MaxNameLength = static_cast<uint32_t>(fs.f_namemax);
    info.FileSystem = FileSystemName("/");
    info.Type = DriveType::Fixed;
    return true;
}

} // namespace

std::string DriveRoot(const std::string& path) {
    const auto disk = DiskRegistry::Instance().DiskHolding(NormalFolder(path));
    return disk ? disk->folder : "/";
}

bool GetVolumeInfo(const std::string& path, VolumeInfo& info) {
    const auto disk = DiskRegistry::Instance().DiskHolding(NormalFolder(path));
    return disk ? RemovableVolumeInfo(*disk, info) : FixedVolumeInfo(info);
}

void DeclareRemovableDisk(const std::string& folder, const std::string& label, uint32_t serial) {
    DiskRegistry::Instance().Declare({NormalFolder(folder), {label, serial}});
}

int DeclareRemovableDisks(const std::string& list) {
    const auto disks = ParseDiskList(list);
    for (const auto& disk : disks)
        DiskRegistry::Instance().Declare(disk);
    return static_cast<int>(disks.size());
}

// A folder that was never declared stays a part of the fixed drive, which has no
// label to change.
void SetRemovableDiskLabel(const std::string& folder, const std::string& label) {
    DiskRegistry::Instance().SetLabel(NormalFolder(folder), label);
}

void ForgetRemovableDisks() {
    DiskRegistry::Instance().Clear();
}

} // namespace platform
