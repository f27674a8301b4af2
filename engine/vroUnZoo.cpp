#include "engine/vroUnZoo.h"

#include <memory>

#include "engine/vroArcCodecs.h"
#include "engine/vroEntrySink.h"
#include "engine/vroExtractors.h"
#include "engine/vroLzh.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroZooHeader.h"

namespace vro {

namespace {

constexpr int kArchiveHeaderSize = 43;
constexpr uint32_t kNoStoredAttributes = 0x20; // the archive bit alone: nothing to restore

enum ZooMethod : uint8_t { zmStored = 0, zmLzw = 1, zmLzh = 2 };

int32_t LzwErrorCode(TArcResult r) {
    switch (r) {
    case TArcResult::StackOverflow: return E_STACKOVERFLOW;
    default: return E_BADBLOCK;
    }
}

} // namespace

void TUnZOO::ExtractEntries() {
    uint8_t header[kZooBlockSize] = {};
    if (ArcFile.Seek(0, platform::SeekOrigin::Begin) != 0 ||
        ArcFile.Read(header, kArchiveHeaderSize) != kArchiveHeaderSize)
        RaiseError(E_FREAD, ArchiveFile());
    const uint32_t first = ZooFirstEntry(header);
    if (first == 0) RaiseError(E_BADHEADER, ArchiveFile());
    Scan(first);
    ArchiveRemaining = ArchiveTotal;
    for (size_t i = 0; i < SelectedEntries.size() && !Cancel(); ++i)
        ExtractEntry(SelectedEntries[i]);
}

bool TUnZOO::ReadEntry(int64_t pos, TZooEntry& entry, std::string& name) {
    uint8_t block[kZooBlockSize];
    if (ArcFile.Seek(pos, platform::SeekOrigin::Begin) != pos) RaiseError(E_SEEK, ArchiveFile());
    if (ArcFile.Read(block, sizeof block) != sizeof block) return false;
    entry = TZooEntry::Parse(block);
    if (!entry.TagOk) RaiseError(E_BADHEADER, ArchiveFile());
    std::string variablePart;
    if (entry.HasVariablePart()) {
        variablePart.resize(entry.VariablePartSize());
        const auto size = static_cast<int64_t>(variablePart.size());
        if (ArcFile.Read(variablePart.data(), size) != size) return false;
    }
    name = walk::NameFromArchive(entry.StoredName(variablePart));
    return true;
}

// The chain ends at an entry whose "next" is 0 (it is no entry itself), at a
// pointer that does not lead further into the file, or at a header cut short.
// Deleted entries are passed over: zoo keeps them until the archive is packed.
void TUnZOO::Scan(int64_t firstEntry) {
    TZooEntry entry;
    std::string name;
    for (int64_t pos = firstEntry; !Cancel() && ReadEntry(pos, entry, name) && entry.Next != 0;
         pos = entry.Next) {
        if (!entry.Deleted) {
            const TSelectedEntry selected{
                0, entry.Method, pos, entry.PackedSize, entry.UnpackedSize, entry.Crc};
            if (SelectEntry(name, selected, entry.DosDateTime)) break;
        }
        if (!ZooPointerMovesOn(pos, entry.Next)) break;
    }
}

void TUnZOO::ExtractEntry(const TSelectedEntry& selected) {
    TZooEntry entry;
    std::string name;
    if (!ReadEntry(selected.HeaderOffset, entry, name)) RaiseError(E_SEEK, ArchiveFile());
    Crc16Register = 0;
    BuildOutputName(name);
    if (!BeginEntry(name, DosToDateTime(entry.DosDateTime))) return;
    WriteEntry(name, kNoStoredAttributes, entry.DosDateTime, [&] {
        Decode(entry);
        return Crc16Register == entry.Crc;
    });
}

void TUnZOO::Decode(const TZooEntry& entry) {
    if (ArcFile.Seek(entry.DataPosition, platform::SeekOrigin::Begin) != entry.DataPosition)
        RaiseError(E_SEEK, ArchiveFile());
    StartEntryProgress(entry.PackedSize, ArchiveTotal);
    if (entry.Method == zmStored) return CopyStored(false, crc16);
    if (entry.Method != zmLzw && entry.Method != zmLzh) RaiseError(E_UNSUPPORTEDMETHOD, OutputName);

    const TCodecInput input = EntryInput(false, entry.PackedSize);
    const TEntrySink sink(*this, Output(), crc16);
    if (entry.Method == zmLzw) {
        const TArcResult r = DecodeZooLzw(input, sink.Output(), entry.UnpackedSize);
        sink.RaiseIfFailed();
        if (r != TArcResult::Done) RaiseError(LzwErrorCode(r), OutputName);
    } else {
        const TLzhResult r =
            DecodeStatic(input, sink.Output(), kLh5Params, TLzhHistory::Zeros, entry.UnpackedSize);
        sink.RaiseIfFailed();
        if (r == TLzhResult::BadHuffmanCode) RaiseError(E_BADHUFFMANCODE, OutputName);
    }
}

std::unique_ptr<TUnBase> MakeZooExtractor() {
    return std::make_unique<TUnZOO>();
}

} // namespace vro
