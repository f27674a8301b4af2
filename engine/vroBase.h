// The component base shared by the catalogue, the extractors, the writers and the
// converter: block input and output (with the archive ciphers, CRC registers and
// line-end translation), the common events, numbered errors, progress, cancel,
// name filters, multi-volume naming and the disk protocol of spanned ZIP sets.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/vroErrors.h"
#include "engine/vroMain.h"
#include "engine/vroZipCrypt.h"
#include "platform/Stream.h"

namespace vro {

// Which CRC register a block read or write feeds.
enum TCrcKind : int { crcNone = 0, crc16 = 16, crc32 = 32 };

// Where ReadBlock takes its bytes from and WriteBlock puts them.
enum TBlockSource : int {
    bsArchiveFile = 0, // the file handed to the call
    bsStreamSlot1 = 1, // the component's first stream slot
    bsCallerStream = 2,
    bsStreamSlot3 = 3,
    bsMemory = 4 // InputMemory, advancing as it is read (input only)
};

class TReadWriteObj : public TvroMain {
public:
    using ReadBlockFn =
        std::function<int64_t(platform::TStream* file, platform::TStream* stream, int64_t count,
                              TCrcKind crc, bool decrypt, uint8_t* buffer)>;
    using WriteBlockFn =
        std::function<int64_t(platform::TStream* file, platform::TStream* stream, bool addCrc,
                              int64_t count, TCrcKind crc, bool crypt, uint8_t* buffer)>;

    TReadWriteObj();

    // Reads count bytes from the selected input, deciphering them when asked
    // (ARJ garble, ZIP cipher) and adding them to the CRC register of that kind.
    // Returns the bytes read, -1 on a stream error.
    ReadBlockFn ReadBlock;
    // Deciphers (WriteBlock) or enciphers (EncryptBlock) in place when asked, then
    // writes, translating lone LF to CR LF under AsciiTranslation. A short write
    // raises "Error writing to file". Returns count.
    WriteBlockFn WriteBlock;
    WriteBlockFn EncryptBlock;

    bool AsciiTranslation = false;
    TBlockSource InputSource = bsArchiveFile;
    TBlockSource OutputMode = bsArchiveFile;
    platform::TStream* StreamSlot1 = nullptr;
    platform::TStream* StreamSlot3 = nullptr;
    const uint8_t* InputMemory = nullptr;
    int64_t InputMemoryRemaining = 0; // never read past this, whatever count asks

    // The run's CRC registers: CRC-32 starts at 0xFFFFFFFF, CRC-16 at 0.
    uint32_t CrcRegister = 0xFFFFFFFF;
    uint16_t Crc16Register = 0;
    void AddCrc(TCrcKind crc, const uint8_t* data, int64_t n);

    // Per-entry cipher state: the ZIP cipher's keys and the ARJ garble position.
    TZipCipher ZipCipher;
    void ResetGarble() { garbleIndex_ = 0; }

    // Reports and raises a numbered error (defined by TZipCommon).
    [[noreturn]] virtual void RaiseError(int32_t code, const std::string& fn = {},
                                         const std::string& msgEx = {},
                                         const std::string& volumeId = {}) = 0;

protected:
    virtual int64_t DoReadBlock(platform::TStream* file, platform::TStream* stream, int64_t count,
                                TCrcKind crc, bool decrypt, uint8_t* buffer);
    virtual int64_t DoWriteBlock(platform::TStream* file, platform::TStream* stream, bool addCrc,
                                 int64_t count, TCrcKind crc, bool crypt, uint8_t* buffer);
    virtual int64_t DoEncryptBlock(platform::TStream* file, platform::TStream* stream, bool addCrc,
                                   int64_t count, TCrcKind crc, bool crypt, uint8_t* buffer);

private:
    platform::TStream* Select(TBlockSource source, platform::TStream* file,
                              platform::TStream* stream) const;
    void Garble(uint8_t* data, int64_t n);
    bool UsesZipCipher() const;
    int64_t WriteOut(platform::TStream* file, platform::TStream* stream, bool addCrc, int64_t count,
                     TCrcKind crc, const uint8_t* buffer);
    void WriteTranslated(platform::TStream* out, const uint8_t* buffer, int64_t count);
    void WriteAll(platform::TStream* out, const uint8_t* data, int64_t n);

    size_t garbleIndex_ = 0;
    bool lastWrittenWasCr_ = false;
};

class TZipCommon : public TReadWriteObj {
public:
    using Sender = TZipCommon&;

    TZipCommon();

    // Events; an unassigned event is skipped. By-reference arguments are preset
    // before the call, as each notes.
    std::function<void(Sender)> OnActivate, OnDeactivate;
    std::function<void(Sender, const std::string& FN, int32_t RecNum, bool& Extract)> OnBegin;
    std::function<void(Sender, const std::string& FN, bool CRC_PASS)> OnEnd;
    std::function<void(Sender, const std::string& FN, const std::string& MsgEx,
                       const std::string& VolumeID, int32_t ECode)>
        OnError;
    std::function<void(Sender, float ElapsedTime)> OnElapsedTime;
    std::function<void(Sender, const std::string& FN, TDateTime FileDate, bool& Accept)>
        OnFileExists;
    std::function<void(Sender, const std::string& FN, std::string& Password, bool& TryAgain)>
        OnGetPassword;
    std::function<void(Sender, bool&Cancel)> OnGetZipFirstDisk, OnGetZipLastDisk;
    std::function<void(Sender, const std::string& VolumeName, bool& Cancel)> OnGetZipNextDisk;
    // Cancel is preset to true: a handler that supplies the volume clears it.
    std::function<void(Sender, std::string& VolumeName, const std::string& VolumeID, bool FExists,
                       bool& Cancel)>
        OnNextVolume;
    std::function<void(Sender, uint8_t ProgressByFile, uint8_t ProgressByArchive)> OnProgress;
    std::function<void(Sender, int64_t Offset, int32_t Filenum)> OnRead;
    std::function<void(Sender, const std::string& Filename)> OnRemoveTempfile;
    std::function<void(Sender, std::string& Filename)> OnRenameCompressedFile;
    std::function<void(Sender, uint8_t HeadFlag, bool& Cancel)> OnCorruptZipHeader;

    // Name masks; the setters drop empty items and keep each item's name part.
    const std::vector<std::string>& FileSpec() const { return fileSpec_; }
    void SetFileSpec(std::vector<std::string> list);
    const std::vector<std::string>& ExcludeSpec() const { return excludeSpec_; }
    void SetExcludeSpec(std::vector<std::string> list);
    // A name to include: matches a FileSpec item and no ExcludeSpec item.
    bool SpecMatch(const std::string& name, bool namesOnly) const;

    std::string ExtractDir;
    TDateAttribute DateAttribute = daFileDate;
    TProgressNotify ProgressNotify = Ten;
    bool RecurseDirs = false;
    std::string OutputName;

    bool Cancel() const { return cancel_; }
    virtual void SetCancel(bool value); // also lets pending window messages run

    // Errors: RaiseError reports through OnError (unless the active component is
    // cancelled) and throws EVroError; ReportError only reports, with the file-name
    // part of FN.
    [[noreturn]] void RaiseError(int32_t code, const std::string& fn = {},
                                 const std::string& msgEx = {},
                                 const std::string& volumeId = {}) override;
    virtual void ReportError(int32_t code, const std::string& fn = {},
                             const std::string& msgEx = {}, const std::string& volumeId = {});
    // Reports a caught engine error the way RaiseError would have.
    void ReportCaught(const EVroError& e);

    virtual TDateTime DosToDateTime(uint32_t dosDateTime) const;

    // Progress: the two percentages, then messages and OnProgress.
    uint8_t ProgressByFile = 0;
    uint8_t ProgressByArchive = 0;
    void Progress();

    // Multi-volume sets.
    virtual std::string VolumeFileName(const std::string& name, int32_t number) const;
    // Asks the host for the next volume; true when the named file exists. On
    // failure the walk's ReadPosition moves past the end so it stops.
    bool RequestNextVolume(std::string& name, int32_t number);
    // Closes the open volume and opens the next one of an ARJ or ACE set.
    bool OpenNextVolume();

    // Spanned ZIP sets on removable disks.
    int32_t CurrentDisk = 0;
    void ReopenOnCurrentDisk();
    bool ObtainLastDisk();
    bool ObtainFirstDisk();
    void ObtainNextDisk(int32_t wanted);

    // The archive file while a run has it open.
    platform::TFileStream ArcFile;

protected:
    // Marks the start of a run: this component becomes the active one, Cancel clears.
    void BeginRun();

private:
    bool ActiveIsCancelled() const;
    bool RefreshDisk() { return DiskManager().Refresh(); }

    bool cancel_ = false;
    std::vector<std::string> fileSpec_, excludeSpec_;
};

} // namespace vro
