// The ZIP method dispatcher: one entry's packed data, by its method, into the
// entry's output. The decoders pull input through EntryInput and push output
// through WriteBlock, which computes the CRC the end-of-entry check compares.
#include <algorithm>

#include "engine/vroEntrySink.h"
#include "engine/vroInflate.h"
#include "engine/vroLegacyZip.h"
#include "engine/vroUnBase.h"
#include "engine/vroZipPassword.h"

namespace vro {

namespace {

constexpr uint16_t kEncryptedFlag = 0x0001;

enum ZipMethod : uint32_t {
    zmStored = 0,
    zmShrunk = 1,
    zmReduced1 = 2,
    zmReduced4 = 5,
    zmImploded = 6,
    zmDeflated = 8,
};

int32_t InflateErrorCode(TInflateResult r) {
    switch (r) {
    case TInflateResult::TooManyCodes: return E_BADLENGTHS;
    case TInflateResult::BadCodeLengthCode:
    case TInflateResult::LengthRunPastEnd:
    case TInflateResult::BadCodeLengths:
    case TInflateResult::BadDynamicCode: return E_INCOMPLETECODESET;
    default: return E_BADBLOCK;
    }
}

// Legacy streams that end early simply fail their CRC; the others have a message.
std::optional<int32_t> LegacyErrorCode(TLegacyResult r) {
    switch (r) {
    case TLegacyResult::BadCode: return E_BADBLOCK;
    case TLegacyResult::StackOverflow: return E_STACKOVERFLOW;
    case TLegacyResult::AmbiguousTree: return E_AMBIGUOUSTREE;
    default: return std::nullopt;
    }
}

} // namespace

TCodecInput TUnBase::EntryInput(bool decrypt, int64_t entrySize) {
    return [this, decrypt, entrySize](uint8_t* buffer, size_t capacity) -> size_t {
        if (Cancel() || EntryRemaining <= 0) return 0;
        const int64_t want = std::min<int64_t>(EntryRemaining, static_cast<int64_t>(capacity));
        const int64_t got = ReadBlock(&ArcFile, nullptr, want, crcNone, decrypt, buffer);
        if (got <= 0) return 0;
        EntryRemaining -= got;
        ArchiveRemaining -= got;
        ProgressPerByte(got, entrySize, ArchiveTotal);
        return static_cast<size_t>(got);
    };
}

bool TUnBase::DecodeZipMethod(const TSelectedEntry& entry) {
    CrcRegister = 0xFFFFFFFF;
    const bool encrypted = entry.Flags & kEncryptedFlag;
    const int64_t packed = std::max<int64_t>(
        0, encrypted ? entry.PackedSize - kZipEncryptionHeaderSize : entry.PackedSize);
    StartEntryProgress(packed, ArchiveTotal);
    const TCodecInput input = EntryInput(encrypted, packed);
    const TEntrySink sink(*this, Output(), crc32);
    const TCodecOutput& output = sink.Output();
    const uint64_t unpacked = static_cast<uint64_t>(std::max<int64_t>(0, entry.UnpackedSize));

    try {
        if (entry.Method == zmStored) {
            CopyStored(encrypted, crc32);
        } else if (entry.Method == zmDeflated) {
            // One decoder serves every entry of the run: archives of many small
            // files would otherwise spend their time setting decoders up.
            if (!inflater_) inflater_ = std::make_unique<TInflater>();
            const TInflateResult r = inflater_->Inflate(input, output);
            sink.RaiseIfFailed();
            if (r != TInflateResult::Done) RaiseError(InflateErrorCode(r), OutputName);
        } else if (entry.Method == zmShrunk || entry.Method == zmImploded ||
                   (entry.Method >= zmReduced1 && entry.Method <= zmReduced4)) {
            const TLegacyResult r = entry.Method == zmShrunk ? Unshrink(input, output, unpacked)
                                    : entry.Method == zmImploded
                                        ? Explode(input, output, entry.Flags, unpacked)
                                        : Expand(input, output, entry.Method - 1, unpacked);
            sink.RaiseIfFailed();
            if (const auto code = LegacyErrorCode(r)) RaiseError(*code, OutputName);
        } else {
            RaiseError(E_UNSUPPORTEDMETHOD, OutputName);
        }
    } catch (const ERunEnded&) {
        throw;
    } catch (const EVroError&) {
        return false; // reported when raised
    }
    return true;
}

// The component's password, then each candidate, then the host (a limited number
// of times). A password the host gave that works opens the next entries too.
TUnBase::TPasswordOutcome TUnBase::ZipPasswordHandshake(uint16_t flags, uint32_t dosDateTime,
                                                        uint32_t crc) {
    TZipEncryptionHeader header;
    if (ArcFile.Read(header.data(), header.size()) != static_cast<int64_t>(header.size()))
        return TPasswordOutcome::SkipEntry;
    auto matches = [&](const std::string& pw) {
        return ZipPasswordMatches(ZipCipher, header, flags, pw, dosDateTime, crc);
    };
    if (matches(Password)) return TPasswordOutcome::Ready;
    for (const std::string& candidate : Passwords()) {
        if (matches(candidate)) {
            Password = candidate;
            return TPasswordOutcome::Ready;
        }
    }
    if (!OnGetPassword) return TPasswordOutcome::SkipEntry;
    bool tryAgain = true;
    for (int32_t attempt = 0; attempt < PasswordAttempts && tryAgain; ++attempt) {
        OnGetPassword(*this, OutputName, Password, tryAgain);
        if (!tryAgain) break;
        if (matches(Password)) {
            std::vector<std::string> list = Passwords();
            list.insert(list.begin(), Password);
            SetPasswords(list);
            return TPasswordOutcome::Ready;
        }
        Password.clear();
        ReportError(E_INVALIDPASSWORD, OutputName);
    }
    ReportError(E_PASSWORDFAILED, OutputName);
    return TPasswordOutcome::EndRun;
}

} // namespace vro
