#include "engine/vroUnArj.h"

#include <algorithm>

#include "engine/vroDates.h"
#include "engine/vroExtractors.h"
#include "engine/vroWalkUtilA.h"
#include "platform/FileSystem.h"

namespace vro {

namespace {

constexpr uint8_t kId0 = 0x60, kId1 = 0xEA;
constexpr int64_t kStubSearch = 25000; // how far a self-extracting stub may reach
constexpr uint16_t kFolderAttribute = 0x10;
constexpr uint8_t kMaxMinimumVersion = 3;
constexpr uint8_t kMethodStored = 0, kMethodFast = 4;
constexpr uint32_t kKeepAttributes = 0x20;

// The garble key: each password character with the header's modifier added.
std::string GarbleKey(const std::string& password, uint8_t modifier) {
    std::string key = password;
    for (char& c : key)
        c = static_cast<char>(static_cast<uint8_t>(c) + modifier);
    return key;
}

} // namespace

TArjRead TUnARJ::ReadHeader(int64_t pos, TArjHeader& h) {
    const TArjReadAt readAt = [this](int64_t at, void* buffer, int64_t count) {
        return ReadArchiveAt(at, buffer, count);
    };
    return ReadArjHeader(readAt, pos, h);
}

bool TUnARJ::ReadLocalHeader(int64_t pos, TArjHeader& h) {
    return ReadHeader(pos, h) == TArjRead::Ok && h.Crc32Ok && h.BasicSize >= kArjMinBasicHeader;
}

// The first position in [from, limit] holding a header whose CRC matches; -1
// when there is none.
int64_t TUnARJ::FindMainHeader(int64_t from, int64_t limit) {
    limit = std::min(limit, ArchiveSize - 2);
    if (from < 0 || from > limit) return -1;
    std::vector<uint8_t> area(static_cast<size_t>(limit - from + 2));
    if (ArcFile.Seek(from, platform::SeekOrigin::Begin) != from ||
        ArcFile.Read(area.data(), static_cast<int64_t>(area.size())) !=
            static_cast<int64_t>(area.size()))
        return -1;
    for (size_t i = 0; i + 1 < area.size(); ++i) {
        if (area[i] != kId0 || area[i + 1] != kId1) continue;
        TArjHeader h;
        const int64_t at = from + static_cast<int64_t>(i);
        if (ReadHeader(at, h) == TArjRead::Ok && h.Crc32Ok) return at;
    }
    return -1;
}

// Finds this volume's main header and selects its entries.
void TUnARJ::OpenVolume(int64_t from, int64_t limit) {
    SelectedEntries.clear();
    const int64_t main = FindMainHeader(from, limit);
    if (main < 0) RaiseError(E_INVALIDARCTYPE, ArchiveFile(), {}, VolumeId());
    TArjHeader h;
    ReadHeader(main, h);
    multiVolume_ = h.Flags & kArjFlagVolume;
    ScanVolume(h.DataStart);
}

// Local header after local header until the end marker; a damaged header ends
// the run, since nothing after it can be trusted.
void TUnARJ::ScanVolume(int64_t pos) {
    bool stop = false;
    while (!stop && !Cancel()) {
        TArjHeader h;
        const TArjRead read = ReadHeader(pos, h);
        if (read == TArjRead::End || read == TArjRead::Short) return;
        if (read != TArjRead::Ok || h.BasicSize < kArjMinBasicHeader)
            RaiseError(E_BADHEADER, ArchiveFile(), {}, VolumeId());
        if (!h.Crc32Ok) RaiseError(E_HEADERCRC, ArchiveFile(), {}, VolumeId());
        if (h.MinimumVersion > kMaxMinimumVersion)
            RaiseError(E_VERSION, ArchiveFile(), {}, VolumeId());
        if (h.Method > kMethodFast || (h.Method == kMethodFast && h.ArchiverVersion == 1))
            RaiseError(E_UNSUPPORTEDMETHOD, walk::NameFromArchive(h.Name), {}, VolumeId());
        // Unix hosts keep a Unix mode in the access mode, where 0x10 is no folder bit.
        const bool folder = h.FileType >= kArjTypeDirectory ||
                            (h.HostOs != kArjHostUnix && (h.AccessMode & kFolderAttribute));
        if (!folder) {
            const uint32_t attributes = h.HostOs == kArjHostUnix ? kKeepAttributes : h.AccessMode;
            const TSelectedEntry entry{h.Flags,
                                       h.Method,
                                       pos,
                                       h.PackedSize,
                                       h.UnpackedSize,
                                       h.Crc,
                                       static_cast<int32_t>(attributes)};
            const uint32_t dos =
                h.HostOs == kArjHostUnix
                    ? platform::UnixToDosDateTime(static_cast<std::time_t>(h.DateTime))
                    : h.DateTime;
            stop = SelectEntry(walk::NameFromArchive(h.Name), entry, dos);
        }
        pos = h.DataStart + h.PackedSize;
    }
}

bool TUnARJ::NextVolume() {
    if (!OpenNextVolume()) return false;
    OpenVolume(0, kStubSearch);
    return true;
}

void TUnARJ::ExtractEntries() {
    const int64_t start = StartOffset - 1;
    OpenVolume(start, ArcType() == atArjExe ? start + kStubSearch : kStubSearch);
    ArchiveRemaining = ArchiveTotal;
    for (;;) {
        size_t i = 0;
        while (i < SelectedEntries.size() && !Cancel()) {
            const TSelectedEntry entry = SelectedEntries[i];
            // An entry that went on into the next volume leaves that volume's
            // entries in the list; its own last piece there is passed over.
            i = ExtractEntry(entry) ? 0 : i + 1;
        }
        if (!multiVolume_ || Cancel() || !NextVolume()) return;
        ArchiveRemaining = ArchiveTotal;
    }
}

// The component's password, a candidate, or the host's; false when there is none.
bool TUnARJ::ObtainPassword(std::string& password) {
    password = Password;
    if (password.empty() && !Passwords().empty()) password = Passwords().front();
    if (!password.empty()) return true;
    if (!OnGetPassword) return false;
    bool tryAgain = true;
    for (int32_t attempt = 0; attempt < PasswordAttempts && tryAgain; ++attempt) {
        OnGetPassword(*this, OutputName, password, tryAgain);
        if (!password.empty()) return true;
    }
    return false;
}

// One piece of an entry (the whole entry unless it spans volumes) into Output(),
// with a fresh CRC-32; true when it decoded and matches its header's CRC.
bool TUnARJ::DecodePiece(const TArjHeader& h, bool garbled, const std::string& password) {
    CrcRegister = 0xFFFFFFFF;
    if (ArcFile.Seek(h.DataStart, platform::SeekOrigin::Begin) != h.DataStart)
        RaiseError(E_SEEK, ArchiveFile(), {}, VolumeId());
    StartEntryProgress(h.PackedSize, ArchiveTotal);
    if (garbled) Password = GarbleKey(password, h.PasswordModifier);
    ResetGarble();
    bool decoded = false;
    try {
        if (h.Method == kMethodStored)
            CopyStored(garbled, crc32);
        else if (h.Method < kMethodFast)
            DecodeLzhEntry(TLzhMethod::ArjStatic, garbled, crc32, h.UnpackedSize);
        else
            DecodeLzhEntry(TLzhMethod::ArjFast, garbled, crc32, h.UnpackedSize);
        decoded = true;
    } catch (const ERunEnded&) {
        Password = password;
        throw;
    } catch (const EVroError&) {
        // Reported when raised; this piece fails.
    }
    Password = password;
    return decoded && ~CrcRegister == h.Crc;
}

// Returns true when the entry continued into the next volume, which is now open.
bool TUnARJ::ExtractEntry(const TSelectedEntry& entry) {
    TArjHeader h;
    if (!ReadLocalHeader(entry.HeaderOffset, h))
        RaiseError(E_BADHEADER, ArchiveFile(), {}, VolumeId());
    // A piece continuing a file begun in an earlier volume is written only with
    // its beginning; met on its own, that beginning was not extracted.
    if (h.FileType == kArjTypeDirectory || (h.Flags & kArjFlagContinued)) return false;
    const bool garbled = h.Flags & kArjFlagGarbled;
    const bool unixHost = h.HostOs == kArjHostUnix;
    const uint32_t dos =
        unixHost ? platform::UnixToDosDateTime(static_cast<std::time_t>(h.DateTime)) : h.DateTime;
    std::string name = walk::NameFromArchive(h.Name);
    BuildOutputName(name);
    if (!BeginEntry(name, unixHost ? UnixToDate(static_cast<int32_t>(h.DateTime))
                                   : DosDateTimeToDate(h.DateTime)))
        return false;
    if (!CreateOutputFile(name)) {
        ReportError(E_FOPEN, OutputName, {}, VolumeId());
        ReportEnd(false, name);
        return false;
    }
    std::string password;
    if (garbled && !ObtainPassword(password)) {
        SetCancel(true);
        FinishEntry(entry.Attributes, dos);
        ReportEnd(false, name);
        return false;
    }
    bool pass = DecodePiece(h, garbled, password);
    bool movedOn = false;
    while ((h.Flags & kArjFlagVolume) && !Cancel()) {
        if (!NextVolume()) {
            pass = false;
            break;
        }
        movedOn = true;
        // The next volume starts with the rest of this file.
        if (SelectedEntries.empty() || !ReadLocalHeader(SelectedEntries.front().HeaderOffset, h) ||
            !(h.Flags & kArjFlagContinued)) {
            ReportError(E_BADHEADER, ArchiveFile(), {}, VolumeId());
            pass = false;
            break;
        }
        pass = DecodePiece(h, garbled, password) && pass;
    }
    FinishEntry(entry.Attributes, dos);
    ReportEnd(pass, name);
    if (!pass && garbled) {
        ReportError(E_INVALIDPASSWORD, name, {}, VolumeId());
        throw ERunEnded(E_INVALIDPASSWORD, name);
    }
    return movedOn;
}

std::unique_ptr<TUnBase> MakeArjExtractor() {
    return std::make_unique<TUnARJ>();
}

} // namespace vro
