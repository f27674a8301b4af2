#include "engine/vroUnArc.h"

#include <algorithm>
#include <cctype>
#include <memory>

#include "engine/vroArcCodecs.h"
#include "engine/vroArcHeader.h"
#include "engine/vroEntrySink.h"
#include "engine/vroExtractors.h"

namespace vro {

namespace {

constexpr size_t kMaxFolderDepth = 256;
constexpr uint32_t kNoStoredAttributes = 0x20;

int32_t ErrorCode(TArcResult r) {
    switch (r) {
    case TArcResult::BadTree: return E_INVALIDTREE;
    case TArcResult::BadBitCount: return E_INCORRECTBITS;
    case TArcResult::StackOverflow: return E_STACKOVERFLOW;
    default: return E_BADBLOCK;
    }
}

// XORs the data with the key, one character per byte, from the key's start.
TCodecInput Garbled(TCodecInput input, const std::string& key) {
    if (key.empty()) return input;
    return
        [input = std::move(input), key, at = size_t{0}](uint8_t* buffer, size_t capacity) mutable {
            const size_t n = input(buffer, capacity);
            for (size_t i = 0; i < n; ++i, at = (at + 1) % key.size())
                buffer[i] ^= static_cast<uint8_t>(key[at]);
            return n;
        };
}

} // namespace

void TUnARC::ExtractEntries() {
    places_.clear();
    Scan();
    ArchiveRemaining = ArchiveTotal;
    for (size_t i = 0; i < SelectedEntries.size() && !Cancel(); ++i)
        ExtractEntry(SelectedEntries[i], places_[i]);
}

void TUnARC::Scan() {
    const bool pak = ArcType() == atPak || ArcType() == atPakExe;
    std::vector<std::string> folders;
    int64_t pos = StartOffset - 1; // StartOffset counts from 1
    uint8_t block[TArcHeader::kSize];
    TArcHeader h;
    while (!Cancel()) {
        if (ArcFile.Seek(pos, platform::SeekOrigin::Begin) != pos)
            RaiseError(E_FREAD, ArchiveFile());
        if (!TArcHeader::Parse(block, ArcFile.Read(block, TArcHeader::kSize), h)) break;
        const int64_t header = pos;
        pos += h.Size;
        if (!pak && h.Method == TArcHeader::kFolderClose) {
            if (!folders.empty()) folders.pop_back();
            continue;
        }
        if (!pak && h.Method == TArcHeader::kFolderOpen) {
            if (folders.size() == kMaxFolderDepth) break;
            folders.push_back(h.Name);
            continue;
        }
        pos += h.PackedSize;
        std::string name;
        for (const std::string& f : folders)
            name += f + "\\";
        name += h.Name;
        const size_t before = SelectedEntries.size();
        const bool stop = SelectEntry(name,
                                      {0, h.Method, header, h.PackedSize, h.UnpackedSize, h.Crc,
                                       static_cast<int32_t>(kNoStoredAttributes)},
                                      h.DosDateTime);
        if (SelectedEntries.size() != before)
            places_.push_back({name, header + h.Size, h.DosDateTime});
        if (stop) break;
    }
}

void TUnARC::ExtractEntry(const TSelectedEntry& entry, TArcPlace& place) {
    StartEntryProgress(entry.PackedSize, ArchiveTotal);
    Crc16Register = 0;
    std::string& name = place.Name;
    BuildOutputName(name);
    if (!BeginEntry(name, DosToDateTime(place.DosDateTime))) return;
    if (!CreateOutputFile(name)) {
        ReportError(E_WRITE, OutputName);
        return ReportEnd(false, name);
    }
    bool decoded = false;
    try {
        const std::string key = GarbleKey(entry, place);
        Crc16Register = 0;
        const TEntrySink sink(*this, Output(), crc16);
        decoded = Decode(entry, place, key, sink.Output(), false);
        sink.RaiseIfFailed();
    } catch (const ERunEnded&) {
        FinishEntry(kNoStoredAttributes, place.DosDateTime);
        throw;
    } catch (const EVroError&) {
        decoded = false; // reported when raised; the next entry goes on
    }
    FinishEntry(kNoStoredAttributes, place.DosDateTime);
    ReportEnd(decoded && Crc16Register == entry.CRC, name);
}

bool TUnARC::Decode(const TSelectedEntry& entry, const TArcPlace& place, const std::string& key,
                    const TCodecOutput& output, bool trial) {
    if (ArcFile.Seek(place.DataOffset, platform::SeekOrigin::Begin) != place.DataOffset)
        RaiseError(E_SEEK, ArchiveFile());
    TCodecInput input = trial ? TrialInput(entry.PackedSize) : EntryInput(false, entry.PackedSize);
    const TArcResult r =
        DecodeArcMethod(static_cast<uint8_t>(entry.Method), Garbled(std::move(input), key), output,
                        static_cast<uint64_t>(entry.UnpackedSize));
    if (r == TArcResult::UnknownMethod) {
        if (!trial) ReportError(E_UNSUPPORTEDMETHOD, OutputName);
        return false;
    }
    if (r != TArcResult::Done && r != TArcResult::OutputFailed) {
        if (trial) return false;
        RaiseError(ErrorCode(r), OutputName);
    }
    return true;
}

// The first given password under which the entry decodes to its CRC-16, else
// none. ARC upper-cases the key it garbles with, so each password is also tried
// that way.
std::string TUnARC::GarbleKey(const TSelectedEntry& entry, const TArcPlace& place) {
    const TCodecOutput checkOnly = [this](const uint8_t* data, size_t size) {
        AddCrc(crc16, data, static_cast<int64_t>(size));
        return true;
    };
    for (const std::string& password : Passwords()) {
        std::string upper = password;
        std::transform(upper.begin(), upper.end(), upper.begin(),
                       [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        for (const std::string& key : {password, upper}) {
            if (key.empty()) continue;
            Crc16Register = 0;
            if (Decode(entry, place, key, checkOnly, true) && Crc16Register == entry.CRC)
                return key;
        }
    }
    return {};
}

// The packed bytes straight from the archive, without progress: a trial decoding
// is not part of the work the host sees.
TCodecInput TUnARC::TrialInput(int64_t size) {
    return [this, left = size](uint8_t* buffer, size_t capacity) mutable -> size_t {
        const int64_t want = std::min<int64_t>(left, static_cast<int64_t>(capacity));
        const int64_t got = want > 0 ? ArcFile.Read(buffer, want) : 0;
        if (got <= 0) return 0;
        left -= got;
        return static_cast<size_t>(got);
    };
}

std::unique_ptr<TUnBase> MakeArcExtractor() {
    return std::make_unique<TUnARC>();
}

} // namespace vro
