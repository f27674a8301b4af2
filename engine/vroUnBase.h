// The extraction driver shared by every extractor: checks, opening, the scan and
// extraction passes' common steps (selection, output naming, the begin and
// file-exists handshake, output creation, stored copies, dates and attributes,
// progress, the end-of-entry report) and the run's closing steps. A format only
// writes ExtractEntries and strings these steps together.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "engine/vroBase.h"
#include "engine/vroCodec.h"

namespace vro {

class TInflater;

// One entry chosen by the scan pass, copied from the format's header.
struct TSelectedEntry {
    uint16_t Flags = 0; // the format's header flags (ZIP: bit 0 encrypted)
    uint32_t Method = 0;
    int64_t HeaderOffset = 0;
    int64_t PackedSize = 0;
    int64_t UnpackedSize = 0;
    uint32_t CRC = 0;
    int32_t Attributes = 32; // formats without stored attributes keep the archive bit
};

class TUnBase : public TZipCommon {
public:
    TUnBase();
    ~TUnBase() override;

    // One run over the archive writing files (Extract) or nothing (Test). Returns
    // false when the run was refused or ended by an error; every error has been
    // passed to OnError before.
    bool Extract();
    bool Test();

    bool RestoreFileAttr = true;
    TCpuType CpuType = cptAuto;
    // The output folder (host path, kept with a trailing "/"); empty means the
    // archive's own folder.
    void SetExtractDir(const std::string& value);

    // The counters of the run in progress.
    int32_t RecNum = 0;
    uint32_t MaxFileDate = 0;
    int64_t ArchiveTotal = 0, ArchiveUnpackedTotal = 0;
    int64_t ArchiveRemaining = 0, EntryRemaining = 0;
    bool Testing() const { return testing_; }

protected:
    // Walks the archive and extracts the selected entries; each format overrides it.
    virtual void ExtractEntries() {}
    // The archive is opened by the run (false for formats whose library opens it).
    virtual bool OpensArchive() const { return true; }

    // Scan pass: selects the entry when its name passes the masks; true when the
    // scan may stop here (a single plain name found).
    bool SelectEntry(const std::string& name, const TSelectedEntry& entry, uint32_t dosDateTime);
    TvroFileList<TSelectedEntry> SelectedEntries;

    // Extraction pass steps.
    void BuildOutputName(const std::string& storedName);
    bool BeginEntry(std::string& storedName, TDateTime date);
    bool CreateOutputFile(const std::string& storedName);
    void FinishEntry(uint32_t attributes, uint32_t dosDateTime);
    void ReportEnd(bool crcPass, const std::string& storedName);
    // One entry's output: creates the file, runs decode (which returns whether the
    // data checked out), always finishes the file, then reports the entry's end. An
    // engine error fails this entry only (it was reported when raised); ERunEnded
    // still ends the run.
    void WriteEntry(const std::string& storedName, uint32_t attributes, uint32_t dosDateTime,
                    const std::function<bool()>& decode);
    // Copies EntryRemaining bytes of stored data to the output in 32 KiB chunks.
    void CopyStored(bool decrypt, TCrcKind crc);
    void StartEntryProgress(int64_t size, int64_t total);
    void ProgressTick(int64_t done, int64_t size, bool perByte, int64_t total);

    // Where the current entry's bytes go: the output file, or a sink when testing.
    platform::TStream& Output();

    // Decodes one entry stored by a ZIP method (ZIP, GZIP and BH entries) into
    // Output() with a fresh CRC-32: stored, shrunk, reduced, imploded or deflated.
    // False when decoding failed (the error was reported); throws only to end the run.
    bool DecodeZipMethod(const TSelectedEntry& entry);
    // The traditional ZIP cipher's password handshake (ZIP and BH entries), for the
    // entry whose 12-byte encryption header is next in ArcFile: the password in
    // use, then each candidate, then the host up to PasswordAttempts times (a
    // password the host gave that works goes first in Passwords). Ready leaves the
    // cipher set for the data; EndRun follows "Password failed" after asking.
    enum class TPasswordOutcome { Ready, SkipEntry, EndRun };
    TPasswordOutcome ZipPasswordHandshake(uint16_t flags, uint32_t dosDateTime, uint32_t crc);
    // The decoders' input: the entry's remaining packed bytes through ReadBlock,
    // with progress; nothing more once Cancel is set.
    TCodecInput EntryInput(bool decrypt, int64_t entrySize);
    // Progress for a decoder that takes its input in chunks: the same events, in
    // the same order, as one tick per input byte would give.
    void ProgressPerByte(int64_t consumed, int64_t size, int64_t total);

private:
    bool Run(bool testing);
    void OpenRun();
    void CloseRun();
    uint8_t Percent(int64_t part, int64_t whole) const;

    std::unique_ptr<TInflater> inflater_; // made on the first deflated entry
    bool testing_ = false;
    bool opened_ = false;
    std::string extractRoot_;
    std::unique_ptr<platform::TStream> output_;
    int32_t stepPercent_ = 10;
    int64_t entryStep_ = 0, archiveStep_ = 0;
};

} // namespace vro
