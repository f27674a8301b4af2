// Drives and volumes. This host has no drive letters: every path lies on one fixed
// drive whose root is "/", except folders declared to be removable disks. A test
// (and later the span dialogs) declares a folder as a removable disk with a volume
// label and serial, so the code paths for spanned sets on removable media run for
// real. Declarations also come from BRINDLE_REMOVABLE_DISKS in the environment:
// "folder=LABEL:SERIALHEX;folder2=..." (read once, on first use).
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// The system's drive type numbers (2 is removable).
enum class DriveType : uint32_t {
    Unknown = 0,
    NoRootDir = 1,
    Removable = 2,
    Fixed = 3,
    Remote = 4,
    CdRom = 5,
    RamDisk = 6
};

struct VolumeInfo {
    std::string Root; // the drive's root folder ("/" for the fixed drive)
    std::string Label;
    uint32_t Serial = 0;
    uint32_t MaxNameLength = 255;
    std::string FileSystem;
    DriveType Type = DriveType::Unknown;
};

// The root of the drive holding a path (absolute or relative to the current folder):
// the declared removable folder that contains it, else "/".
std::string DriveRoot(const std::string& path);

// Volume information of the drive holding the path; false (with errno set) when the
// drive cannot be read, e.g. a declared removable folder that does not exist.
bool GetVolumeInfo(const std::string& path, VolumeInfo& info);

void DeclareRemovableDisk(const std::string& folder, const std::string& label, uint32_t serial);
// Declares every disk of a list in the BRINDLE_REMOVABLE_DISKS form; an entry that
// does not parse (no "=", no ":", a serial that is not 1-8 hex digits) is skipped.
// Returns the number of disks declared.
int DeclareRemovableDisks(const std::string& list);
void SetRemovableDiskLabel(const std::string& folder, const std::string& label);
void ForgetRemovableDisks();

} // namespace platform
