#include "engine/vroBase.h"

#include <algorithm>
#include <filesystem>

#include "engine/vroCrc.h"
#include "engine/vroDates.h"
#include "engine/vroMasks.h"
#include "platform/FileSystem.h"
#include "platform/HostHooks.h"

namespace vro {

// ---------------------------------------------------------------------------
// Block input and output

TReadWriteObj::TReadWriteObj() {
    ReadBlock = [this](auto* file, auto* stream, int64_t count, TCrcKind crc, bool decrypt,
                       uint8_t* buffer) {
        return DoReadBlock(file, stream, count, crc, decrypt, buffer);
    };
    WriteBlock = [this](auto* file, auto* stream, bool addCrc, int64_t count, TCrcKind crc,
                        bool crypt, uint8_t* buffer) {
        return DoWriteBlock(file, stream, addCrc, count, crc, crypt, buffer);
    };
    EncryptBlock = [this](auto* file, auto* stream, bool addCrc, int64_t count, TCrcKind crc,
                          bool crypt, uint8_t* buffer) {
        return DoEncryptBlock(file, stream, addCrc, count, crc, crypt, buffer);
    };
}

void TReadWriteObj::AddCrc(TCrcKind crc, const uint8_t* data, int64_t n) {
    if (crc == crc32)
        CrcRegister = Crc32Update(CrcRegister, data, static_cast<size_t>(n));
    else if (crc == crc16)
        Crc16Register = Crc16Update(Crc16Register, data, static_cast<size_t>(n));
}

platform::TStream* TReadWriteObj::Select(TBlockSource source, platform::TStream* file,
                                         platform::TStream* stream) const {
    switch (source) {
    case bsArchiveFile: return file;
    case bsStreamSlot1: return StreamSlot1;
    case bsCallerStream: return stream;
    case bsStreamSlot3: return StreamSlot3;
    case bsMemory: break;
    }
    return nullptr;
}

// ARJ garbling XORs each byte with the password, one character per byte, the
// cycle running on across calls.
void TReadWriteObj::Garble(uint8_t* data, int64_t n) {
    if (Password.empty()) return;
    for (int64_t i = 0; i < n; ++i) {
        data[i] ^= static_cast<uint8_t>(Password[garbleIndex_]);
        garbleIndex_ = (garbleIndex_ + 1) % Password.size();
    }
}

// ZIP, JAR and BH archives (plain, self-extracting or spanned) share the ZIP cipher.
bool TReadWriteObj::UsesZipCipher() const {
    switch (ArcType()) {
    case atBh:
    case atBhExe:
    case atJar:
    case atZip:
    case atZipExe:
    case atZipMV: return true;
    default: return false;
    }
}

int64_t TReadWriteObj::DoReadBlock(platform::TStream* file, platform::TStream* stream,
                                   int64_t count, TCrcKind crc, bool decrypt, uint8_t* buffer) {
    int64_t got;
    if (InputSource == bsMemory) {
        got = std::clamp<int64_t>(count, 0, InputMemoryRemaining);
        if (got > 0) std::copy_n(InputMemory, got, buffer);
        InputMemory += got;
        InputMemoryRemaining -= got;
    } else {
        platform::TStream* in = Select(InputSource, file, stream);
        if (!in) return -1;
        got = 0;
        while (got < count) {
            const int64_t n = in->Read(buffer + got, count - got);
            if (n < 0) return -1;
            if (n == 0) break;
            got += n;
        }
    }
    if (decrypt) {
        if (ArcType() == atArj || ArcType() == atArjExe)
            Garble(buffer, got);
        else if (UsesZipCipher())
            ZipCipher.Decrypt(buffer, got);
    }
    AddCrc(crc, buffer, got);
    return got;
}

int64_t TReadWriteObj::DoWriteBlock(platform::TStream* file, platform::TStream* stream, bool addCrc,
                                    int64_t count, TCrcKind crc, bool crypt, uint8_t* buffer) {
    if (crypt && UsesZipCipher()) ZipCipher.Decrypt(buffer, count);
    return WriteOut(file, stream, addCrc, count, crc, buffer);
}

int64_t TReadWriteObj::DoEncryptBlock(platform::TStream* file, platform::TStream* stream,
                                      bool addCrc, int64_t count, TCrcKind crc, bool crypt,
                                      uint8_t* buffer) {
    // The CRC covers the plain bytes, so take it before they are enciphered.
    if (addCrc) AddCrc(crc, buffer, count);
    if (crypt && UsesZipCipher()) ZipCipher.Encrypt(buffer, count);
    return WriteOut(file, stream, false, count, crc, buffer);
}

int64_t TReadWriteObj::WriteOut(platform::TStream* file, platform::TStream* stream, bool addCrc,
                                int64_t count, TCrcKind crc, const uint8_t* buffer) {
    platform::TStream* out = Select(OutputMode, file, stream);
    if (!out) RaiseError(E_WRITE);
    if (AsciiTranslation)
        WriteTranslated(out, buffer, count);
    else
        WriteAll(out, buffer, count);
    if (addCrc) AddCrc(crc, buffer, count);
    return count;
}

// Writes runs of bytes between lone line feeds, and CR LF in place of each lone
// LF. A CR at the end of the previous block still pairs with an LF opening this one.
void TReadWriteObj::WriteTranslated(platform::TStream* out, const uint8_t* buffer, int64_t count) {
    static constexpr uint8_t kCrLf[2] = {'\r', '\n'};
    int64_t runStart = 0;
    for (int64_t i = 0; i < count; ++i) {
        if (buffer[i] != '\n') continue;
        const bool pairedWithCr = i > 0 ? buffer[i - 1] == '\r' : lastWrittenWasCr_;
        if (pairedWithCr) continue;
        WriteAll(out, buffer + runStart, i - runStart);
        WriteAll(out, kCrLf, 2);
        runStart = i + 1;
    }
    WriteAll(out, buffer + runStart, count - runStart);
    if (count > 0) lastWrittenWasCr_ = buffer[count - 1] == '\r';
}

void TReadWriteObj::WriteAll(platform::TStream* out, const uint8_t* data, int64_t n) {
    if (n > 0 && out->Write(data, n) != n) RaiseError(E_WRITE);
}

// ---------------------------------------------------------------------------
// Component base

TZipCommon::TZipCommon() = default;

void TZipCommon::SetFileSpec(std::vector<std::string> list) {
    NormalizeSpecList(list);
    fileSpec_ = std::move(list);
}

void TZipCommon::SetExcludeSpec(std::vector<std::string> list) {
    NormalizeSpecList(list);
    excludeSpec_ = std::move(list);
}

bool TZipCommon::SpecMatch(const std::string& name, bool namesOnly) const {
    auto matches = [&](const std::string& mask, bool flag) {
        return WildcardMatch(mask, name, flag);
    };
    if (!std::any_of(fileSpec_.begin(), fileSpec_.end(),
                     [&](const std::string& m) { return matches(m, namesOnly); }))
        return false;
    return std::none_of(excludeSpec_.begin(), excludeSpec_.end(),
                        [&](const std::string& m) { return matches(m, false); });
}

void TZipCommon::SetCancel(bool value) {
    cancel_ = value;
    platform::ProcessMessages();
}

void TZipCommon::BeginRun() {
    ActiveComponent = this;
    cancel_ = false;
}

bool TZipCommon::ActiveIsCancelled() const {
    return ActiveComponent && ActiveComponent->Cancel();
}

void TZipCommon::RaiseError(int32_t code, const std::string& fn, const std::string& msgEx,
                            const std::string& volumeId) {
    if (OnError && !ActiveIsCancelled()) OnError(*this, fn, msgEx, volumeId, code);
    throw EVroError(code, fn, msgEx, volumeId);
}

// Stored names use "\" and host paths "/"; either separates the name part.
static std::string NamePart(const std::string& path) {
    const size_t cut = path.find_last_of("\\/:");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

void TZipCommon::ReportError(int32_t code, const std::string& fn, const std::string& msgEx,
                             const std::string& volumeId) {
    if (OnError && !ActiveIsCancelled()) OnError(*this, NamePart(fn), msgEx, volumeId, code);
}

void TZipCommon::ReportCaught(const EVroError& e) {
    if (OnError && !ActiveIsCancelled()) OnError(*this, e.FileName, e.MsgEx, e.VolumeID, e.Code);
}

TDateTime TZipCommon::DosToDateTime(uint32_t dosDateTime) const {
    return DosDateTimeToDate(dosDateTime);
}

void TZipCommon::Progress() {
    platform::ProcessMessages();
    if (OnProgress) OnProgress(*this, ProgressByFile, ProgressByArchive);
}

// ---------------------------------------------------------------------------
// Multi-volume sets

std::string TZipCommon::VolumeFileName(const std::string& name, int32_t number) const {
    if (name.empty() || number < 0) return {};
    const std::filesystem::path path(name);
    std::string stem = path.filename().string();
    stem = stem.substr(0, stem.find('.'));
    std::string suffix;
    if (number <= 9)
        suffix = std::string(".") + VolumeLetter + "0" + std::to_string(number);
    else if (VolumeNumber >= 100)
        suffix = "." + std::to_string(number);
    else
        suffix = std::string(".") + VolumeLetter + std::to_string(number);
    return (path.parent_path() / (stem + suffix)).string();
}

bool TZipCommon::RequestNextVolume(std::string& name, int32_t number) {
    auto fail = [this] {
        ReadPosition = ArchiveSize + 1; // past the end: the walk stops here
        return false;
    };
    if (number > 999) return ReportError(E_MAXVOLUMES), fail();
    if (name.empty()) return ReportError(E_INVALIDFILENAME), fail();
    if (!OnNextVolume) return fail();

    if (!std::filesystem::path(name).has_parent_path())
        name = (std::filesystem::path(platform::CurrentDirectory()) / name).string();
    for (;;) {
        bool cancel = true;
        OnNextVolume(*this, name, std::to_string(number), platform::FileExists(name), cancel);
        if (cancel) return fail();
        if (platform::FileExists(name)) break;
    }
    ++VolumeNumber;
    return true;
}

bool TZipCommon::OpenNextVolume() {
    if (!OnNextVolume) return false;
    const std::string current = EntryInfo.VolumeName.empty() ? ArchiveFile() : EntryInfo.VolumeName;
    std::string name = VolumeFileName(current, VolumeNumber);
    const int32_t number = VolumeNumber;
    if (!RequestNextVolume(name, number)) return false;
    if (!ArcFile.Close()) RaiseError(E_CLOSE, name, {}, std::to_string(number));
    if (!ArcFile.Open(name, platform::FileMode::Read)) {
        ArcFile.Open(ArchiveFile(), platform::FileMode::Read);
        RaiseError(E_FREAD, name);
    }
    ArchiveSize = ArcFile.Size();
    EntryInfo.VolumeName = name;
    return true;
}

// ---------------------------------------------------------------------------
// Spanned ZIP sets: one disk per removable volume, labelled "PKBACK# nnn".

void TZipCommon::ReopenOnCurrentDisk() {
    if (ArcFile.IsOpen() && !ArcFile.Close()) RaiseError(E_CLOSE, ArchiveFile());
    if (!ArcFile.Open(ArchiveFile(), platform::FileMode::Read)) RaiseError(E_FREAD, ArchiveFile());
    ArchiveSize = ArcFile.Size();
    if (!RefreshDisk()) RaiseError(E_USERABORT);
    EntryInfo.VolumeName = DiskManager().VolumeLabel();
    CurrentDisk = DiskManager().VolumeNumber();
}

bool TZipCommon::ObtainLastDisk() {
    if (!RefreshDisk()) return false;
    if (!DiskManager().IsRemovable()) {
        ZipEnd.CentralDisk = 0;
    } else if (OnGetZipLastDisk) {
        const TArcType typeBefore = arcType_;
        while (!(ZipFlags & zfEndRecord)) {
            bool cancel = true;
            OnGetZipLastDisk(*this, cancel);
            if (cancel) return false;
            const std::string same = ArchiveFile();
            SetArchiveFile(same);
        }
        arcType_ = typeBefore;
    }
    ReadPosition = StartOffset = ZipEnd.CentralOffset;
    ReopenOnCurrentDisk();
    return true;
}

bool TZipCommon::ObtainFirstDisk() {
    if (ZipFlags & zfLocalHeaders) {
        ReopenOnCurrentDisk();
        return true;
    }
    if (!OnGetZipFirstDisk) RaiseError(E_REQUIREDEVENT);
    do {
        bool cancel = true;
        OnGetZipFirstDisk(*this, cancel);
        if (cancel) return false;
        const std::string same = ArchiveFile();
        SetArchiveFile(same);
        ReopenOnCurrentDisk();
    } while (CurrentDisk != 1);
    return true;
}

void TZipCommon::ObtainNextDisk(int32_t wanted) {
    if (!RefreshDisk()) RaiseError(E_USERABORT);
    while (DiskManager().VolumeNumber() != wanted) {
        if (!OnGetZipNextDisk) RaiseError(E_REQUIREDEVENT);
        bool cancel = true;
        OnGetZipNextDisk(*this, std::to_string(wanted), cancel);
        if (cancel) {
            cancel_ = true;
            RaiseError(E_USERABORT);
        }
        if (!RefreshDisk()) RaiseError(E_USERABORT);
    }
    ReopenOnCurrentDisk();
}

} // namespace vro
