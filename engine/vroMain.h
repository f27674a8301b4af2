// The root of every engine component: the archive file, its detected type, the
// current entry and the run's totals; and the small helper classes the components
// own (attribute filter, timer, self-deleting temporary file, record list).
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/vroDetect.h"
#include "engine/vroDiskMan.h"
#include "engine/vroTypes.h"
#include "platform/FileSystem.h"
#include "platform/Stream.h"

namespace vro {

class TZipCommon;

// Which DOS attributes a gathering run accepts (all six by default).
class TvroFileAttr {
public:
    uint8_t ftFileAttr() const { return attr_; }
    void SetFileAttr(int value); // values outside 0-63 are ignored

    bool ftReadOnly() const { return attr_ & platform::faReadOnly; }
    bool ftHidden() const { return attr_ & platform::faHidden; }
    bool ftSysFile() const { return attr_ & platform::faSysFile; }
    bool ftVolumeID() const { return attr_ & platform::faVolumeID; }
    bool ftDirectory() const { return attr_ & platform::faDirectory; }
    bool ftArchive() const { return attr_ & platform::faArchive; }
    bool ftAnyFile() const { return attr_ == platform::faAnyFile; }

    void SetReadOnly(bool on) { SetBit(platform::faReadOnly, on); }
    void SetHidden(bool on) { SetBit(platform::faHidden, on); }
    void SetSysFile(bool on) { SetBit(platform::faSysFile, on); }
    void SetVolumeID(bool on) { SetBit(platform::faVolumeID, on); }
    void SetDirectory(bool on) { SetBit(platform::faDirectory, on); }
    void SetArchive(bool on) { SetBit(platform::faArchive, on); }
    // true sets all six bits; false leaves them as they are.
    void SetAnyFile(bool on) {
        if (on) attr_ = platform::faAnyFile;
    }

private:
    void SetBit(uint32_t bit, bool on) { attr_ = on ? (attr_ | bit) : (attr_ & ~bit); }
    uint8_t attr_ = platform::faAnyFile;
};

// Elapsed time of a run, in seconds.
class TvroTimer {
public:
    void Start();
    void Stop(); // does nothing unless started
    float ElapsedTime() const { return elapsed_; }

private:
    std::chrono::steady_clock::time_point start_;
    bool running_ = false;
    float elapsed_ = 0;
};

// A read-write file in the temporary folder (name prefix "vro") that is deleted
// when the stream is destroyed. Raises "Error opening file" when it cannot be made.
class TTempFileStream : public platform::TFileStream {
public:
    TTempFileStream();
    ~TTempFileStream() override;
    const std::string& FileName() const { return name_; }

private:
    std::string name_;
};

// Owned copies of fixed-size records (the selected entries of a run, say).
template <typename Record> using TvroFileList = std::vector<Record>;

class TvroMain {
public:
    TvroMain();
    virtual ~TvroMain();
    TvroMain(const TvroMain&) = delete;
    TvroMain& operator=(const TvroMain&) = delete;

    const std::string& ArchiveFile() const { return archiveFile_; }
    // Stores the path and detects its type; an empty path resets the component.
    virtual void SetArchiveFile(const std::string& value);
    TArcType ArcType() const { return arcType_; }
    // Reading components ignore the value and detect again; writers override.
    virtual void SetArcType(TArcType value);

    int32_t ZipCmntBufSize() const { return zipCmntBufSize_; }
    virtual void SetZipCmntBufSize(int32_t value) { zipCmntBufSize_ = value; }

    const std::vector<std::string>& Passwords() const { return passwords_; }
    void SetPasswords(const std::vector<std::string>& list) { passwords_ = list; }

    bool UseStoredDirs = true;
    int32_t PasswordAttempts = 3;
    TvroFileAttr FileAttribute;
    std::string Password;

    // The current entry and the run's counters.
    TEntryInfo EntryInfo;
    int32_t FileNum = 0;
    int64_t TotalPacked = 0;
    int64_t TotalUnpacked = 0;
    uint8_t TotalRatio = 0;

    // What detection found.
    int64_t StartOffset = 1;
    int64_t ArchiveSize = 0;
    uint32_t ArchiveDate = kNoArchiveDate;
    int64_t ReadPosition = 1; // 1-based position of the walk in the archive
    uint8_t ZipFlags = 0;
    int64_t ZipOffsetShift = 0;
    TZipEndRecord ZipEnd;
    TZipCentralHeader ZipCentral;
    TZipLocalHeader ZipLocal;

    // Multi-volume naming of ACE, ARJ and RAR sets.
    char VolumeLetter = 'a';
    int32_t VolumeNumber = 0;

    TDiskManager& DiskManager() { return disk_; }
    TvroTimer& Timer() { return timer_; }

    // The component whose run is in progress (this one, or the component that
    // drives it); errors are silent while that component is cancelled.
    TZipCommon* ActiveComponent = nullptr;

protected:
    // Runs detection on ArchiveFile and stores what it found.
    void DetectType();
    void DeriveVolumeNumbering();
    std::string archiveFile_;
    TArcType arcType_ = atNA;

private:
    int32_t zipCmntBufSize_ = 0;
    std::vector<std::string> passwords_;
    TDiskManager disk_;
    TvroTimer timer_;
};

// The volume number and letter a reading component derives from a set member's
// extension: "a01" gives 2 with "a", "r00" 1 with "r", "arj" (ARJ) 1, "rar" 0.
struct TVolumeNumbering {
    char Letter;
    int32_t Number;
};
TVolumeNumbering VolumeNumbering(TArcType type, const std::string& fileName);

} // namespace vro
