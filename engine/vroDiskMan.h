// Drive and disk-label information for the drive holding an archive. Spanned ZIP
// sets live on removable disks whose volume labels ("PKBACK# 003") carry the disk
// number; the engine asks this class which disk is in the drive.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Drives.h"

namespace vro {

class TDiskManager {
public:
    // Selects the drive that holds path. Its information is read again only when
    // the drive differs from the one examined last (or never read); returns false
    // when the drive could not be read and the user chose Cancel at the prompt.
    bool SelectDriveOf(const std::string& path);
    // Reads the selected drive again, showing the retry prompt while it fails.
    bool Refresh();

    const std::string& Drive() const { return drive_; }
    bool IsRemovable() const { return info_.Type == platform::DriveType::Removable; }
    platform::DriveType DriveType() const { return info_.Type; }
    const std::string& VolumeLabel() const { return info_.Label; }
    int32_t VolumeNumber() const { return volumeNumber_; } // from "PKBACK# nnn", else 0
    std::string SerialNumber() const;                      // 8 upper-case hex digits
    uint32_t MaxNameLength() const { return info_.MaxNameLength; }
    const std::string& FileSystem() const { return info_.FileSystem; }
    int64_t FreeSpace() const { return freeSpace_; }
    int64_t TotalSpace() const { return totalSpace_; }
    const char* Description() const; // one line from a fixed table by drive type
    bool LabelHasSpanMark() const;   // the label contains "PKBACK# "

private:
    std::string drive_;
    bool read_ = false;
    platform::VolumeInfo info_;
    int32_t volumeNumber_ = 0;
    int64_t freeSpace_ = -1, totalSpace_ = -1;
};

// The disk number of a span label: the digits after the last "PKBACK# " when they
// are all digits, else 0.
int32_t SpanDiskNumber(const std::string& label);

inline constexpr const char* kSpanLabelMark = "PKBACK# ";

} // namespace vro
