#include "engine/vroUnZip.h"

#include <algorithm>

#include "engine/vroReadAhead.h"
#include "engine/vroZipExtra.h"
#include "engine/vroZipHeaders.h"
#include "engine/vroZipPassword.h"

namespace vro {

namespace {

constexpr uint8_t kAllVerified = zfEndRecord | zfCentral | zfLocalHeaders;
constexpr uint32_t kDirectoryOrVolume = 0x18;
constexpr uint16_t kEncryptedFlag = 0x0001;
constexpr int32_t kNoStoredAttributes = 0x20;

bool IsDirectoryName(const std::string& name) {
    return !name.empty() && name.back() == '\\';
}

} // namespace

void TUnZIP::ExtractEntries() {
    extras_.clear();
    headerOffsets_.clear();
    directoryStart_ = -1;
    if (ArcType() == atZipMV && !ObtainFirstDisk()) return;
    if (OnCorruptZipHeader && ZipFlags != kAllVerified) {
        bool cancel = true;
        OnCorruptZipHeader(*this, ZipFlags, cancel);
        if (cancel) return;
    }
    if (ZipFlags & zfCentral)
        ScanCentralDirectory();
    else
        ScanLocalHeaders();
    std::sort(headerOffsets_.begin(), headerOffsets_.end());
    ArchiveRemaining = ArchiveTotal;

    for (size_t i = 0; i < SelectedEntries.size() && !Cancel(); ++i)
        ExtractEntry(SelectedEntries[i], extras_[i]);
}

void TUnZIP::AddEntry(const std::string& name, const TSelectedEntry& entry, const TZipExtra& extra,
                      bool& stop) {
    headerOffsets_.push_back(entry.HeaderOffset);
    if (stop) return;
    const size_t before = SelectedEntries.size();
    stop = SelectEntry(name, entry, extra.DosDateTime);
    if (SelectedEntries.size() == before) return;
    extras_.push_back(extra);
    // The encryption header is not part of the data to decode.
    if (entry.Flags & kEncryptedFlag) ArchiveTotal -= kZipEncryptionHeaderSize;
}

// Central headers from the directory's start; every entry's local header offset is
// kept (selected or not) for the overlap check.
void TUnZIP::ScanCentralDirectory() {
    TReadAhead in;
    in.Attach(&ArcFile);
    int64_t pos = StartOffset;
    directoryStart_ = StartOffset;
    bool stop = false;
    uint8_t block[TZipCentralHeader::kSize];
    std::string stored;
    std::vector<uint8_t> extra;
    while (!Cancel() && in.ReadAt(pos, block, sizeof block)) {
        const TZipCentralHeader h = TZipCentralHeader::Parse(block);
        if (h.Signature != kZipCentralSig) break;
        stored.resize(h.NameLength);
        extra.resize(h.ExtraLength);
        const int64_t namePos = pos + TZipCentralHeader::kSize;
        if (!in.ReadAt(namePos, stored.data(), h.NameLength) ||
            !in.ReadAt(namePos + h.NameLength, extra.data(), h.ExtraLength))
            break;
        pos = namePos + h.NameLength + h.ExtraLength + h.CommentLength;

        const std::string name = ZipEntryName(stored, h.Flags, extra, h.VersionMadeBy >> 8);
        TZipSizes sizes{h.UnpackedSize, h.PackedSize, h.LocalOffset};
        ApplyZip64Extra(extra, false, sizes);
        const int64_t offset = static_cast<int64_t>(sizes.LocalOffset) + ZipOffsetShift;
        if ((h.ExternalAttr & kDirectoryOrVolume) || IsDirectoryName(name)) {
            headerOffsets_.push_back(offset);
            continue;
        }
        const TSelectedEntry entry{h.Flags,
                                   h.Method,
                                   offset,
                                   static_cast<int64_t>(sizes.Packed),
                                   static_cast<int64_t>(sizes.Unpacked),
                                   h.Crc,
                                   static_cast<int32_t>(h.ExternalAttr & 0xFFFF)};
        AddEntry(name, entry, {static_cast<uint8_t>(h.VersionMadeBy >> 8), h.DosDateTime}, stop);
    }
}

// Without a usable directory: local header after local header from the start.
// Entries whose sizes follow their data (flag bit 3) end this walk.
void TUnZIP::ScanLocalHeaders() {
    TReadAhead in;
    in.Attach(&ArcFile);
    int64_t pos = StartOffset;
    bool stop = false;
    uint8_t block[TZipLocalHeader::kSize];
    std::string stored;
    std::vector<uint8_t> extra;
    while (!Cancel() && in.ReadAt(pos, block, sizeof block)) {
        const TZipLocalHeader h = TZipLocalHeader::Parse(block);
        if (h.Signature != kZipLocalSig) break;
        stored.resize(h.NameLength);
        extra.resize(h.ExtraLength);
        const int64_t namePos = pos + TZipLocalHeader::kSize;
        if (!in.ReadAt(namePos, stored.data(), h.NameLength) ||
            !in.ReadAt(namePos + h.NameLength, extra.data(), h.ExtraLength))
            break;
        const std::string name = ZipEntryName(stored, h.Flags, extra, kZipHostUnknown);
        TZipSizes sizes{h.UnpackedSize, h.PackedSize, 0};
        ApplyZip64Extra(extra, true, sizes);
        const TSelectedEntry entry{h.Flags,
                                   h.Method,
                                   pos,
                                   static_cast<int64_t>(sizes.Packed),
                                   static_cast<int64_t>(sizes.Unpacked),
                                   h.Crc,
                                   kNoStoredAttributes};
        if (IsDirectoryName(name))
            headerOffsets_.push_back(pos);
        else
            AddEntry(name, entry, {kZipHostUnknown, h.DosDateTime}, stop);
        const int64_t next = namePos + h.NameLength + h.ExtraLength + entry.PackedSize;
        if (next <= pos) break;
        pos = next;
    }
}

// An entry whose data runs into another entry's local header or into the
// directory is refused: such overlaps only serve to multiply output (zip bombs).
bool TUnZIP::OverlapsOtherData(int64_t headerOffset, int64_t dataEnd) const {
    auto next = std::upper_bound(headerOffsets_.begin(), headerOffsets_.end(), headerOffset);
    if (next != headerOffsets_.end() && *next < dataEnd) return true;
    return directoryStart_ >= 0 && dataEnd > directoryStart_;
}

void TUnZIP::ExtractEntry(const TSelectedEntry& entry, const TZipExtra& extra) {
    uint8_t block[TZipLocalHeader::kSize];
    if (ArcFile.Seek(entry.HeaderOffset, platform::SeekOrigin::Begin) != entry.HeaderOffset)
        return ReportError(E_SEEK, ArchiveFile());
    if (ArcFile.Read(block, sizeof block) != sizeof block ||
        TZipLocalHeader::Parse(block).Signature != kZipLocalSig)
        return ReportError(E_INCONSISTENTLOCAL, ArchiveFile());
    const TZipLocalHeader local = TZipLocalHeader::Parse(block);
    std::string stored(local.NameLength, '\0');
    std::vector<uint8_t> extraField(local.ExtraLength);
    if (ArcFile.Read(stored.data(), local.NameLength) != local.NameLength ||
        ArcFile.Read(extraField.data(), local.ExtraLength) != local.ExtraLength)
        return ReportError(E_INCONSISTENTLOCAL, ArchiveFile());

    std::string name = ZipEntryName(stored, local.Flags, extraField, extra.Host);
    BuildOutputName(name);
    if (!BeginEntry(name, DosToDateTime(local.DosDateTime))) {
        CrcRegister = ~entry.CRC; // a skipped entry reads as its own CRC
        return;
    }
    const int64_t dataStart =
        entry.HeaderOffset + TZipLocalHeader::kSize + local.NameLength + local.ExtraLength;
    if (OverlapsOtherData(entry.HeaderOffset, dataStart + entry.PackedSize)) {
        ReportError(E_BADHEADER, name, "entry data overlaps another entry");
        return ReportEnd(false, name);
    }
    if (entry.Flags & kEncryptedFlag) {
        const TPasswordOutcome p = ZipPasswordHandshake(entry.Flags, local.DosDateTime, entry.CRC);
        if (p != TPasswordOutcome::Ready) {
            ReportEnd(false, name);
            if (p == TPasswordOutcome::EndRun) throw ERunEnded(E_PASSWORDFAILED, name);
            return;
        }
    }

    WriteEntry(name, entry.Attributes, local.DosDateTime,
               [&] { return DecodeZipMethod(entry) && ~CrcRegister == entry.CRC; });
}

} // namespace vro
