#include "engine/vroDiskMan.h"

#include <cstdio>

#include "engine/vroErrors.h"
#include "engine/vroHelpers.h"
#include "platform/FileSystem.h"
#include "platform/HostHooks.h"

namespace vro {

int32_t SpanDiskNumber(const std::string& label) {
    size_t at = label.rfind(kSpanLabelMark);
    if (at == std::string::npos) return 0;
    std::string digits = label.substr(at + std::char_traits<char>::length(kSpanLabelMark));
    if (digits.empty() || !AllDigits(digits) || digits.size() > 9) return 0;
    return std::stoi(digits);
}

bool TDiskManager::SelectDriveOf(const std::string& path) {
    std::string drive = platform::DriveRoot(path);
    if (read_ && drive == drive_) return true;
    drive_ = drive;
    return Refresh();
}

bool TDiskManager::Refresh() {
    for (;;) {
        if (platform::GetVolumeInfo(drive_, info_)) break;
        // Same wording as the desktop prompt: the drive, then the reason.
        std::string text =
            drive_ + " " + ErrorMessage(E_NOTACCESSIBLE) + "\r\r" + platform::LastErrorText();
        if (!platform::AskRetry(text)) {
            read_ = false;
            info_ = {};
            volumeNumber_ = 0;
            return false;
        }
    }
    read_ = true;
    volumeNumber_ = SpanDiskNumber(info_.Label);
    freeSpace_ = platform::FreeSpace(drive_);
    totalSpace_ = platform::TotalSpace(drive_);
    return true;
}

std::string TDiskManager::SerialNumber() const {
    char text[9];
    std::snprintf(text, sizeof text, "%08X", info_.Serial);
    return text;
}

bool TDiskManager::LabelHasSpanMark() const {
    return info_.Label.find(kSpanLabelMark) != std::string::npos;
}

const char* TDiskManager::Description() const {
    switch (info_.Type) {
    case platform::DriveType::Removable: return "Removable disk";
    case platform::DriveType::Fixed: return "Local disk";
    case platform::DriveType::Remote: return "Network drive";
    case platform::DriveType::CdRom: return "CD-ROM drive";
    case platform::DriveType::RamDisk: return "RAM disk";
    case platform::DriveType::NoRootDir: return "No root directory";
    case platform::DriveType::Unknown: break;
    }
    return "Unknown drive";
}

} // namespace vro
