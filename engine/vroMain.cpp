#include "engine/vroMain.h"

#include <cctype>
#include <filesystem>

#include "engine/vroErrors.h"
#include "engine/vroHelpers.h"

namespace vro {

void TvroFileAttr::SetFileAttr(int value) {
    if (value >= 0 && value <= static_cast<int>(platform::faAnyFile))
        attr_ = static_cast<uint8_t>(value);
}

void TvroTimer::Start() {
    start_ = std::chrono::steady_clock::now();
    running_ = true;
    elapsed_ = 0;
}

void TvroTimer::Stop() {
    if (!running_) return;
    running_ = false;
    elapsed_ = std::chrono::duration<float>(std::chrono::steady_clock::now() - start_).count();
}

TTempFileStream::TTempFileStream() : name_(TemporaryFileName("vro")) {
    if (!Open(name_, platform::FileMode::ReadWrite)) throw EVroError(E_FOPEN, name_);
}

TTempFileStream::~TTempFileStream() {
    Close();
    std::error_code ec;
    std::filesystem::remove(name_, ec);
}

TvroMain::TvroMain() = default;
TvroMain::~TvroMain() = default;

void TvroMain::SetArchiveFile(const std::string& value) {
    if (value.empty()) {
        archiveFile_.clear();
        ActiveComponent = nullptr;
        arcType_ = atNA;
        return;
    }
    FileNum = 0;
    ReadPosition = 1;
    archiveFile_ = value;
    DetectType();
    DeriveVolumeNumbering();
}

void TvroMain::SetArcType(TArcType) {
    DetectType();
}

void TvroMain::DetectType() {
    StartOffset = 1;
    ZipFlags = 0;
    ZipOffsetShift = 0;
    ArchiveDate = kNoArchiveDate;
    if (archiveFile_.empty()) {
        arcType_ = atNA;
        return;
    }
    platform::TFileStream file(archiveFile_, platform::FileMode::Read);
    if (!file.IsOpen()) {
        arcType_ = atFileOpenErr;
        return;
    }
    TDetection d = DetectArchiveType(file, archiveFile_, zipCmntBufSize_, disk_);
    arcType_ = d.Type;
    StartOffset = d.StartOffset;
    ReadPosition = d.ReadPosition;
    ArchiveSize = d.ArchiveSize;
    ZipFlags = d.ZipFlags;
    ZipOffsetShift = d.ZipOffsetShift;
    ZipEnd = d.ZipEnd;
    ZipCentral = d.ZipCentral;
    ZipLocal = d.ZipLocal;
    uint32_t date;
    if (IsRecognised(arcType_) && platform::FileDosDateTime(archiveFile_, date)) ArchiveDate = date;
}

void TvroMain::DeriveVolumeNumbering() {
    const TVolumeNumbering v = VolumeNumbering(arcType_, archiveFile_);
    VolumeLetter = v.Letter;
    VolumeNumber = v.Number;
}

TVolumeNumbering VolumeNumbering(TArcType type, const std::string& fileName) {
    char letter;
    const char* defaultExt;
    int32_t numberWithoutDigits = 0;
    switch (type) {
    case atACE: letter = 'C', defaultExt = "Ace"; break;
    case atArj: letter = 'a', defaultExt = "Arj", numberWithoutDigits = 1; break;
    case atRar:
    case atRarExe: letter = 'r', defaultExt = "Rar"; break;
    default: return {'a', 0};
    }
    std::string ext = std::filesystem::path(fileName).extension().string();
    ext = ext.empty() ? defaultExt : ext.substr(1);

    // The digits at the end of the extension number the volume ("a01", "c00").
    size_t firstDigit = ext.size();
    while (firstDigit > 0 && std::isdigit(static_cast<unsigned char>(ext[firstDigit - 1])))
        --firstDigit;
    if (firstDigit == ext.size()) return {letter, numberWithoutDigits};
    const std::string digits = ext.substr(firstDigit, 9);
    return {ext[0], std::stoi(digits) + 1};
}

} // namespace vro
