#include "engine/vroUnBase.h"

#include <algorithm>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <new>
#include <vector>

#include "engine/vroDates.h"
#include "engine/vroHelpers.h"
#include "engine/vroInflate.h"
#include "engine/vroMasks.h"
#include "engine/vroOutputName.h"
#include "platform/FileSystem.h"
#include "platform/HostHooks.h"

namespace vro {

namespace {

constexpr int64_t kChunkSize = 32768;
constexpr uint32_t kArchiveBitOnly = 0x20;

// Takes every byte and keeps none: the output of a test run.
class TDiscardStream : public platform::TStream {
public:
    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Write(const void*, int64_t n) override { return n; }
    int64_t Seek(int64_t, platform::SeekOrigin) override { return 0; }
};

} // namespace

TUnBase::TUnBase() = default;
TUnBase::~TUnBase() = default;

void TUnBase::SetExtractDir(const std::string& value) {
    std::string dir = value;
    if (dir.empty()) {
        const std::filesystem::path archive(ArchiveFile());
        dir = archive.has_parent_path() ? archive.parent_path().string()
                                        : platform::CurrentDirectory();
    }
    if (!dir.ends_with('/')) dir += '/';
    ExtractDir = dir;
}

bool TUnBase::Extract() {
    return Run(false);
}
bool TUnBase::Test() {
    return Run(true);
}

// ---------------------------------------------------------------------------
// The run

void TUnBase::OpenRun() {
    if (ArchiveFile().empty()) RaiseError(E_FILENOTFOUND);
    if (!IsExtractable(ArcType()) || ArcType() == atUnsupported)
        RaiseError(E_INVALIDARCTYPE, ArchiveFile());
    if (OpensArchive()) {
        if (!ArcFile.Open(ArchiveFile(), platform::FileMode::Read))
            RaiseError(E_FOPEN, ArchiveFile());
        opened_ = true;
        ArchiveSize = ArcFile.Size();
    }
    if (OnActivate) OnActivate(*this);
    if (OnElapsedTime) Timer().Start();
}

bool TUnBase::Run(bool testing) {
    testing_ = testing;
    opened_ = false;
    BeginRun();
    bool completed = false;
    try {
        OpenRun();
        RecNum = 0;
        MaxFileDate = 0;
        ArchiveTotal = ArchiveUnpackedTotal = ArchiveRemaining = EntryRemaining = 0;
        ReadPosition = StartOffset;
        Password.clear();
        stepPercent_ = 5 * (static_cast<int>(ProgressNotify) + 1);
        if (CpuType == cpt80486) CpuType = cptAuto;
        OutputName.clear();
        if (ExtractDir.empty() && !testing) SetExtractDir({});
        extractRoot_ = ExtractDir;
        ProgressByFile = ProgressByArchive = 0;
        Progress();
        SelectedEntries.clear();
        ExtractEntries();
        completed = true;
    } catch (const EVroError&) {
        // Reported through OnError when it was raised.
    } catch (const std::bad_alloc&) {
        ReportError(E_OUTOFMEMORY, ArchiveFile());
    }
    CloseRun();
    return completed;
}

void TUnBase::CloseRun() {
    ProgressByFile = ProgressByArchive = 0;
    Progress();
    Timer().Stop();
    if (OnElapsedTime) OnElapsedTime(*this, Timer().ElapsedTime());
    if (OnDeactivate) OnDeactivate(*this);
    SelectedEntries.clear();
    SelectedEntries.shrink_to_fit();
    output_.reset();
    if (opened_) ArcFile.Close();
    opened_ = false;
}

// ---------------------------------------------------------------------------
// Scan pass

bool TUnBase::SelectEntry(const std::string& name, const TSelectedEntry& entry,
                          uint32_t dosDateTime) {
    // Masks hold no folders (their setter strips them), so they meet the name part.
    if (!SpecMatch(name, true)) return false;
    SelectedEntries.push_back(entry);
    ArchiveTotal += entry.PackedSize;
    ArchiveUnpackedTotal += entry.UnpackedSize;
    MaxFileDate = std::max(MaxFileDate, dosDateTime);
    // A single plain name (no "*") asks for one entry: the first match ends the scan.
    return FileSpec().size() == 1 && FileSpec()[0].find('*') == std::string::npos;
}

// ---------------------------------------------------------------------------
// Extraction pass steps

void TUnBase::BuildOutputName(const std::string& storedName) {
    OutputName.clear();
    if (storedName.empty()) return;
    if (ExtractDir.empty()) SetExtractDir({});
    const TOutputPath out = SafeOutputPath(ExtractDir, storedName, UseStoredDirs);
    if (out.ClimbedOut)
        ReportError(E_INVALIDFILENAME, storedName, "\"..\" leaving the folder was removed");
    OutputName = out.Path;
}

bool TUnBase::BeginEntry(std::string& storedName, TDateTime date) {
    bool extract = true;
    const bool exists = platform::FileExists(OutputName) || platform::DirectoryExists(OutputName);
    if (!testing_ && exists && OnFileExists) OnFileExists(*this, OutputName, date, extract);
    if (!extract) return false;
    ++RecNum;
    std::string announced = testing_ ? storedName : OutputName;
    if (OnBegin) OnBegin(*this, announced, RecNum, extract);
    if (extract && !testing_ && OnRenameCompressedFile) OnRenameCompressedFile(*this, announced);
    if (!extract) return false;
    if (testing_)
        storedName = announced;
    else
        OutputName = announced;
    return true;
}

bool TUnBase::CreateOutputFile(const std::string& storedName) {
    output_.reset();
    if (testing_) {
        output_ = std::make_unique<TDiscardStream>();
        return true;
    }
    if (OutputName.empty() || OutputName.ends_with('/')) return false;
    // Never write through a link an earlier entry (or anyone) left below the folder.
    if (!extractRoot_.empty() && !NoLinksBelow(extractRoot_, OutputName)) {
        ReportError(E_FOPEN, storedName, "a symbolic link is in the way");
        return false;
    }
    const uint32_t attr = platform::FileAttributes(OutputName);
    if (attr != platform::kNoAttributes) {
        if (attr & (platform::faHidden | platform::faSysFile | platform::faDirectory)) return false;
        if ((attr & platform::faReadOnly) &&
            !platform::SetFileAttributes(OutputName, attr & ~platform::faReadOnly))
            return false;
    }
    const std::string folder = std::filesystem::path(OutputName).parent_path().string();
    if (folder.empty()) RaiseError(E_UNABLETOCREATEDIR, storedName);
    if (!platform::DirectoryExists(folder)) ForceDirectories(folder);

    auto file = std::make_unique<platform::TFileStream>();
    for (int attempt = 0; attempt < 2 && !file->IsOpen(); ++attempt) {
        if (!file->Open(OutputName, platform::FileMode::Create)) {
            const uint32_t now = platform::FileAttributes(OutputName);
            if (now == platform::kNoAttributes || !(now & platform::faReadOnly)) break;
            platform::SetFileAttributes(OutputName, now & ~platform::faReadOnly);
        }
    }
    if (!file->IsOpen()) return false;
    output_ = std::move(file);
    return true;
}

platform::TStream& TUnBase::Output() {
    if (!output_) output_ = std::make_unique<TDiscardStream>();
    return *output_;
}

void TUnBase::FinishEntry(uint32_t attributes, uint32_t dosDateTime) {
    if (testing_ || !output_) return;
    auto* file = dynamic_cast<platform::TFileStream*>(output_.get());
    if (file) file->Close();
    output_.reset();
    uint32_t stamp = dosDateTime;
    if (DateAttribute == daSysDate)
        stamp = platform::UnixToDosDateTime(std::time(nullptr));
    else if (DateAttribute == daMaxFileDate)
        stamp = MaxFileDate;
    platform::SetFileDosDateTime(OutputName, stamp);
    if (RestoreFileAttr && attributes != kArchiveBitOnly)
        platform::SetFileAttributes(OutputName, attributes);
}

void TUnBase::ReportEnd(bool crcPass, const std::string& storedName) {
    const std::string& fn = testing_ ? storedName : OutputName;
    if (OnEnd)
        OnEnd(*this, fn, crcPass);
    else if (!crcPass)
        ReportError(E_CRCERROR, fn);
}

void TUnBase::WriteEntry(const std::string& storedName, uint32_t attributes, uint32_t dosDateTime,
                         const std::function<bool()>& decode) {
    bool passed = false;
    try {
        if (!CreateOutputFile(storedName)) RaiseError(E_FOPEN, OutputName);
        passed = decode();
    } catch (const ERunEnded&) {
        FinishEntry(attributes, dosDateTime);
        throw;
    } catch (const EVroError&) {
        passed = false;
    }
    FinishEntry(attributes, dosDateTime);
    ReportEnd(passed, storedName);
}

void TUnBase::CopyStored(bool decrypt, TCrcKind crc) {
    const bool arj = ArcType() == atArj || ArcType() == atArjExe;
    const bool zipFamily = ArcType() == atBh || ArcType() == atBhExe || ArcType() == atJar ||
                           ArcType() == atZip || ArcType() == atZipExe || ArcType() == atZipMV;
    std::vector<uint8_t> chunk(static_cast<size_t>(std::min(EntryRemaining, kChunkSize)));
    const int64_t size = EntryRemaining;
    while (EntryRemaining > 0) {
        const int64_t want = std::min(EntryRemaining, kChunkSize);
        const int64_t got =
            ReadBlock(&ArcFile, nullptr, want, crcNone, decrypt && arj, chunk.data());
        if (got <= 0) break;
        EntryRemaining -= got;
        ArchiveRemaining -= got;
        WriteBlock(&Output(), nullptr, true, got, crc, decrypt && zipFamily, chunk.data());
        ProgressTick(size - EntryRemaining, size, false, ArchiveTotal);
        if (Cancel()) break;
    }
}

// ---------------------------------------------------------------------------
// Progress

void TUnBase::StartEntryProgress(int64_t size, int64_t total) {
    EntryRemaining = size;
    entryStep_ = size * stepPercent_ / 100;
    archiveStep_ = total * stepPercent_ / 100;
    if (entryStep_ == 0) entryStep_ = size;
    if (archiveStep_ == 0) archiveStep_ = total;
}

uint8_t TUnBase::Percent(int64_t part, int64_t whole) const {
    if (whole <= 0) return 0;
    const double p = std::round(100.0 * static_cast<double>(part) / static_cast<double>(whole));
    return static_cast<uint8_t>(std::clamp(p, 0.0, 100.0));
}

void TUnBase::ProgressTick(int64_t done, int64_t size, bool perByte, int64_t total) {
    const bool fileStep = !perByte || (entryStep_ > 0 && EntryRemaining % entryStep_ == 0);
    const bool archiveStep = !perByte || (archiveStep_ > 0 && ArchiveRemaining % archiveStep_ == 0);
    if (fileStep) ProgressByFile = Percent(done, size);
    if (archiveStep) ProgressByArchive = Percent(total - ArchiveRemaining, total);
    if (fileStep || archiveStep) Progress();
}

// One tick per input byte recomputes the file percentage when EntryRemaining is a
// multiple of the entry step and the archive percentage when ArchiveRemaining is a
// multiple of the archive step. A chunk visits those points in the same order.
void TUnBase::ProgressPerByte(int64_t consumed, int64_t size, int64_t total) {
    const int64_t entryEnd = EntryRemaining + consumed, archiveEnd = ArchiveRemaining + consumed;
    // The first k in 1..consumed with (end - k) a multiple of step.
    auto firstHit = [](int64_t end, int64_t step) {
        if (step <= 0) return INT64_MAX;
        const int64_t r = end % step;
        return r == 0 ? step : r;
    };
    int64_t nextEntry = firstHit(entryEnd, entryStep_),
            nextArchive = firstHit(archiveEnd, archiveStep_);
    while (std::min(nextEntry, nextArchive) <= consumed) {
        const int64_t k = std::min(nextEntry, nextArchive);
        if (nextEntry == k) {
            ProgressByFile = Percent(size - (entryEnd - k), size);
            nextEntry += entryStep_;
        }
        if (nextArchive == k) {
            ProgressByArchive = Percent(total - (archiveEnd - k), total);
            nextArchive += archiveStep_;
        }
        Progress();
    }
}

} // namespace vro
