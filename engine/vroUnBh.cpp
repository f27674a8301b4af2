#include "engine/vroUnBh.h"

#include <algorithm>
#include <memory>

#include "engine/vroBhHeader.h"
#include "engine/vroEntrySink.h"
#include "engine/vroExtractors.h"
#include "engine/vroLzh.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroZipPassword.h"

namespace vro {

namespace {

constexpr uint8_t kEncrypted = TBhHeader::kEncrypted;
enum BhMethod : uint8_t { bmStored = 0, bmFused = 1, bmDeflated2 = 2, bmDeflated = 8 };

} // namespace

void TUnBH::ExtractEntries() {
    Scan();
    ArchiveRemaining = ArchiveTotal;
    for (size_t i = 0; i < SelectedEntries.size() && !Cancel(); ++i)
        ExtractEntry(SelectedEntries[i]);
}

bool TUnBH::ReadHeader(int64_t pos, TBhHeader& header, std::string& name) {
    uint8_t block[TBhHeader::kSize];
    if (ArcFile.Seek(pos, platform::SeekOrigin::Begin) != pos) RaiseError(E_SEEK, ArchiveFile());
    if (!TBhHeader::Parse(block, ArcFile.Read(block, sizeof block), header)) return false;
    std::string raw(header.NameLength, '\0');
    if (ArcFile.Read(raw.data(), header.NameLength) != header.NameLength) return false;
    name = walk::NameFromArchive(raw.substr(0, raw.find('\0')));
    return true;
}

// Headers without an entry are passed over; the header's own size keeps every
// step moving forward.
void TUnBH::Scan() {
    TBhHeader h;
    std::string name;
    for (int64_t pos = StartOffset - 1; // StartOffset counts from 1
         !Cancel() && ReadHeader(pos, h, name);
         pos += TBhHeader::kSize + h.NameLength + int64_t{h.PackedSize}) {
        if (!h.HasEntry) continue;
        const TSelectedEntry entry{h.Flags,
                                   h.Method,
                                   pos,
                                   h.PackedSize,
                                   h.UnpackedSize,
                                   h.Crc,
                                   static_cast<int32_t>(h.Attributes)};
        const size_t before = SelectedEntries.size();
        const bool stop = SelectEntry(name, entry, h.DosDateTime);
        // The cipher header is not part of the data to decode.
        if (SelectedEntries.size() != before && (h.Flags & kEncrypted))
            ArchiveTotal -= std::min<int64_t>(h.PackedSize, kZipEncryptionHeaderSize);
        if (stop) break;
    }
}

void TUnBH::ExtractEntry(const TSelectedEntry& entry) {
    TBhHeader h;
    std::string name;
    if (!ReadHeader(entry.HeaderOffset, h, name) || !h.HasEntry) return;
    BuildOutputName(name);
    if (!BeginEntry(name, DosToDateTime(h.DosDateTime))) return;
    if (h.Flags & kEncrypted) {
        const TPasswordOutcome p = ZipPasswordHandshake(entry.Flags, h.DosDateTime, entry.CRC);
        if (p != TPasswordOutcome::Ready) {
            ReportEnd(false, name);
            if (p == TPasswordOutcome::EndRun) throw ERunEnded(E_PASSWORDFAILED, name);
            return;
        }
    }
    WriteEntry(name, h.Attributes, h.DosDateTime,
               [&] { return Decode(entry) && ~CrcRegister == h.Crc; });
}

bool TUnBH::Decode(const TSelectedEntry& entry) {
    const bool encrypted = entry.Flags & kEncrypted;
    switch (entry.Method) {
    case bmDeflated2:
    case bmDeflated: {
        TSelectedEntry deflated = entry;
        deflated.Method = bmDeflated;
        return DecodeZipMethod(deflated);
    }
    case bmStored:
    case bmFused: break;
    default: RaiseError(E_UNSUPPORTEDMETHOD, OutputName);
    }
    CrcRegister = 0xFFFFFFFF;
    const int64_t packed = std::max<int64_t>(
        0, encrypted ? entry.PackedSize - kZipEncryptionHeaderSize : entry.PackedSize);
    StartEntryProgress(packed, ArchiveTotal);
    if (entry.Method == bmStored) {
        CopyStored(encrypted, crc32);
        return true;
    }
    const TEntrySink sink(*this, Output(), crc32);
    const TLzhResult r =
        DecodeStatic(EntryInput(encrypted, packed), sink.Output(), kLh5Params, TLzhHistory::Zeros,
                     static_cast<uint64_t>(entry.UnpackedSize));
    sink.RaiseIfFailed();
    if (r == TLzhResult::BadHuffmanCode) RaiseError(E_BADHUFFMANCODE, OutputName);
    return true;
}

std::unique_ptr<TUnBase> MakeBhExtractor() {
    return std::make_unique<TUnBH>();
}

} // namespace vro
