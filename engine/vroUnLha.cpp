#include "engine/vroUnLha.h"

#include <algorithm>
#include <vector>

#include "engine/vroDates.h"
#include "engine/vroExtractors.h"
#include "engine/vroHelpers.h"
#include "engine/vroOutputName.h"
#include "engine/vroWalkUtilA.h"
#include "platform/FileSystem.h"

namespace vro {

namespace {

constexpr int64_t kMacBinaryHeader = 128; // a MacBinary wrapper before the archive

bool IsMethod(const std::string& method, const char* id) {
    return method == id;
}

// The decoder of a method; false for one this extractor cannot decode (-lh2-,
// -lh3-, -lzs-, -lz5- and the other families).
bool MethodDecoder(const std::string& method, TUnLzhFamily::TLzhMethod& decoder) {
    using M = TUnLzhFamily::TLzhMethod;
    if (IsMethod(method, "-lz4-")) return decoder = M::Stored, true;
    if (method.compare(0, 3, "-lh") != 0 || method[4] != '-') return false;
    switch (method[3]) {
    case '0': decoder = M::Stored; return true;
    case '1': decoder = M::Dynamic; return true;
    case '4': decoder = M::Lh4; return true;
    case '5': decoder = M::Lh5; return true;
    case '6': decoder = M::Lh6; return true;
    case '7': decoder = M::Lh7; return true;
    default: return false;
    }
}

// MacLHA stores a Mac file as MacBinary: a 128-byte header, then the data fork
// and the resource fork, each padded to 128 bytes. Such an entry yields its data
// fork alone, as other LHA readers of this system do; the CRC still covers all of
// it. Anything that does not read as MacBinary passes unchanged.
class TMacBinaryFilter : public platform::TStream {
public:
    static constexpr uint8_t kMacOs = 'm';

    TMacBinaryFilter(platform::TStream& out, int64_t total) : out_(out), total_(total) {}

    int64_t Read(void*, int64_t) override { return 0; }
    int64_t Seek(int64_t, platform::SeekOrigin) override { return 0; }
    int64_t Write(const void* buffer, int64_t n) override {
        const auto* b = static_cast<const uint8_t*>(buffer);
        for (int64_t left = n; left > 0;) {
            int64_t take = left;
            if (state_ == State::Collecting) {
                take = std::min<int64_t>(left, kHeader - static_cast<int64_t>(head_.size()));
                head_.insert(head_.end(), b, b + take);
                if (head_.size() == kHeader && !Decide()) return 0;
            } else if (state_ == State::DataFork) {
                const int64_t keep = std::min(take, dataLeft_);
                if (keep > 0 && out_.Write(b, keep) != keep) return 0;
                dataLeft_ -= keep;
            } else if (out_.Write(b, take) != take) {
                return 0;
            }
            b += take;
            left -= take;
        }
        return n;
    }

    // Passes on a beginning too short to be MacBinary; false when that write failed.
    bool Finish() {
        if (state_ != State::Collecting || head_.empty()) return true;
        const auto size = static_cast<int64_t>(head_.size());
        return out_.Write(head_.data(), size) == size;
    }

private:
    static constexpr int64_t kHeader = 128;
    enum class State { Collecting, DataFork, Unchanged };

    static int64_t Padded(int64_t n) { return (n + kHeader - 1) / kHeader * kHeader; }

    bool Decide() {
        const uint8_t* h = head_.data();
        const int64_t data = GetBE32(h + 83), resource = GetBE32(h + 87);
        const bool macBinary = h[0] == 0 && h[1] >= 1 && h[1] <= 63 && h[74] == 0 && h[82] == 0 &&
                               kHeader + Padded(data) + Padded(resource) == total_;
        if (macBinary) {
            state_ = State::DataFork;
            dataLeft_ = data;
            return true;
        }
        state_ = State::Unchanged;
        return out_.Write(h, kHeader) == kHeader;
    }

    static int64_t GetBE32(const uint8_t* p) {
        return (int64_t{p[0]} << 24) | (p[1] << 16) | (p[2] << 8) | p[3];
    }

    platform::TStream& out_;
    const int64_t total_;
    std::vector<uint8_t> head_;
    State state_ = State::Collecting;
    int64_t dataLeft_ = 0;
};

// The stored path as the engine's names read: "\" between folders, DOS capitals
// in lower case.
std::string EntryName(const TLhaHeader& h) {
    std::string path = h.JoinedPath();
    std::replace(path.begin(), path.end(), '/', '\\');
    return walk::NameFromArchive(h.DosWriter() ? DosCase(path) : path);
}

uint32_t DosDateTimeOf(const TLhaHeader& h) {
    if (!h.UnixTime()) return h.TimeStamp;
    return platform::UnixToDosDateTime(static_cast<std::time_t>(h.TimeStamp));
}

} // namespace

bool TUnLHA::ReadHeader(int64_t pos, TLhaHeader& h) {
    const TLhaReadAt readAt = [this](int64_t at, void* buffer, int64_t count) {
        return ReadArchiveAt(at, buffer, count);
    };
    return ReadLhaHeader(readAt, pos, ArchiveSize, h);
}

// A folder entry becomes a folder when files are written with their folders.
void TUnLHA::MakeFolder(const std::string& name) {
    if (Testing() || !UseStoredDirs || !SpecMatch(name, true)) return;
    BuildOutputName(name);
    if (OutputName.empty() || !NoLinksBelow(ExtractDir, OutputName)) return;
    ForceDirectories(OutputName);
}

void TUnLHA::ExtractEntries() {
    int64_t pos = StartOffset - 1;
    uint8_t first = 0;
    if (ReadArchiveAt(pos, &first, 1) && first == 0) pos += kMacBinaryHeader;
    bool stop = false;
    TLhaHeader h;
    while (!stop && !Cancel() && ReadHeader(pos, h)) {
        const std::string name = EntryName(h);
        if (h.IsDirectory()) {
            // A symbolic link is a folder entry whose path reads "link|target".
            if (name.find('|') == std::string::npos) MakeFolder(name);
        } else {
            const TSelectedEntry entry{0,     0,           pos, h.PackedSize, h.UnpackedSize,
                                       h.Crc, h.Attributes};
            stop = SelectEntry(name, entry, DosDateTimeOf(h));
        }
        if (h.Next <= pos) break;
        pos = h.Next;
    }
    ArchiveRemaining = ArchiveTotal;
    for (size_t i = 0; i < SelectedEntries.size() && !Cancel(); ++i) {
        OutputName.clear();
        ExtractEntry(SelectedEntries[i]);
    }
}

void TUnLHA::ExtractEntry(const TSelectedEntry& entry) {
    TLhaHeader h;
    if (!ReadHeader(entry.HeaderOffset, h)) RaiseError(E_BADHEADER, ArchiveFile());
    std::string name = EntryName(h);
    BuildOutputName(name);
    const TDateTime date = h.UnixTime() ? UnixToDate(static_cast<int32_t>(h.TimeStamp))
                                        : DosDateTimeToDate(h.TimeStamp);
    if (!BeginEntry(name, date)) return;
    Crc16Register = 0;
    WriteEntry(name, h.Attributes, DosDateTimeOf(h), [&] {
        if (ArcFile.Seek(h.DataStart, platform::SeekOrigin::Begin) != h.DataStart)
            RaiseError(E_SEEK, ArchiveFile());
        StartEntryProgress(h.PackedSize, ArchiveTotal);
        TLzhMethod method;
        if (!MethodDecoder(h.Method, method)) RaiseError(E_UNSUPPORTEDMETHOD, OutputName, h.Method);
        if (h.Os == TMacBinaryFilter::kMacOs) {
            TMacBinaryFilter filter(Output(), h.UnpackedSize);
            DecodeLzhEntry(method, false, crc16, h.UnpackedSize, &filter);
            if (!filter.Finish()) RaiseError(E_WRITE, OutputName);
        } else {
            DecodeLzhEntry(method, false, crc16, h.UnpackedSize);
        }
        return Crc16Register == h.Crc;
    });
}

std::unique_ptr<TUnBase> MakeLhaExtractor() {
    return std::make_unique<TUnLHA>();
}

} // namespace vro
