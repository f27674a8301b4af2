#include "engine/vroUnUue.h"

#include <optional>

#include "engine/vroExtractors.h"
#include "engine/vroUuCodec.h"
#include "platform/FileSystem.h"

namespace vro {

namespace {

constexpr int32_t kNoStoredAttributes = 0x20;

int32_t UuErrorCode(TUuResult r) {
    switch (r) {
    case TUuResult::NoBegin: return E_BADHEADER;
    case TUuResult::UnknownEncoding: return E_UNSUPPORTEDMETHOD;
    case TUuResult::BadLine: return E_UNEXPECTEDEOL;
    case TUuResult::NoEnd: return E_EOLNOTFOUND;
    default: return E_WRITE;
    }
}

} // namespace

// Closes the open volume and opens the next one, when the host grants it.
bool TUUDecode::OpenVolume(int32_t number) {
    std::string name = UuVolumeName(ArchiveFile(), number);
    if (!RequestNextVolume(name, number)) return false;
    if (!ArcFile.Close()) RaiseError(E_CLOSE, name, {}, std::to_string(number));
    if (!ArcFile.Open(name, platform::FileMode::Read)) {
        ArcFile.Open(ArchiveFile(), platform::FileMode::Read);
        RaiseError(E_FOPEN, name);
    }
    return true;
}

void TUUDecode::ExtractEntries() {
    uint32_t dosDate = 0;
    platform::FileDosDateTime(ArchiveFile(), dosDate);
    ArchiveTotal = ArchiveRemaining = ArchiveSize;
    StartEntryProgress(ArchiveSize, ArchiveTotal);
    int64_t read = 0;
    const TCodecInput input = [&](uint8_t* buffer, size_t capacity) -> size_t {
        if (Cancel()) return 0;
        const int64_t got = ArcFile.Read(buffer, static_cast<int64_t>(capacity));
        if (got <= 0) return 0;
        read += got;
        EntryRemaining = std::max<int64_t>(0, EntryRemaining - got);
        ArchiveRemaining = std::max<int64_t>(0, ArchiveRemaining - got);
        ProgressTick(std::min(read, ArchiveSize), ArchiveSize, false, ArchiveTotal);
        return static_cast<size_t>(got);
    };
    TUuLineReader lines(input);
    int32_t volume = 0;
    std::string stored;
    bool begun = false;

    TUuText text;
    text.MaxHeaderLines = MaxHeaderLines;
    text.ReadLine = [&](std::string& line) { return lines.Next(line); };
    text.NextVolume = [&] {
        if (Cancel() || !OpenVolume(++volume)) return false;
        lines.Restart();
        return true;
    };
    text.Begin = [&](const std::string& name) {
        stored = name;
        BuildOutputName(stored);
        if (!BeginEntry(stored, DosToDateTime(dosDate))) return false;
        begun = true;
        if (!CreateOutputFile(stored)) RaiseError(E_FOPEN, ArchiveFile());
        return true;
    };
    std::optional<EVroError> writeError;
    const TCodecOutput output = [&](const uint8_t* data, size_t size) {
        try {
            WriteBlock(&Output(), nullptr, true, static_cast<int64_t>(size), crcNone, false,
                       const_cast<uint8_t*>(data));
            return true;
        } catch (const EVroError& e) {
            writeError = e;
            return false;
        }
    };

    TUuOutcome outcome;
    outcome.Result = TUuResult::OutputFailed;
    try {
        outcome = DecodeUuText(text, output);
        if (writeError) throw *writeError;
        if (outcome.Result != TUuResult::Done && !outcome.Stopped)
            RaiseError(UuErrorCode(outcome.Result), begun ? stored : ArchiveFile(), outcome.Line);
    } catch (const EVroError&) {
        // Reported when raised; before "begin" there is no entry to fail, so the
        // run fails.
        if (!begun) throw;
    }
    if (!begun) return;
    FinishEntry(kNoStoredAttributes, dosDate);
    ReportEnd(outcome.Result == TUuResult::Done, stored);
}

std::unique_ptr<TUnBase> MakeUueExtractor() {
    return std::make_unique<TUUDecode>();
}

} // namespace vro
