// UU- and XX-encoded text lists the first encoded file only: its name from the
// "begin MODE NAME" line, its size as the decoded data's (the text is decoded into
// a counter, following further volumes as the host grants them). The generic
// loop does not run.
#include "engine/vroDates.h"
#include "engine/vroUuCodec.h"
#include "engine/vroWalks.h"
#include "platform/Stream.h"

namespace vro {

namespace {

constexpr uint32_t kPlainFileAttr = 0x20;

class UueWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        TEntryInfo& e = v.EntryInfo;
        const TUuOutcome decoded = Decode(v, e.FileName);
        v.NameRead(e.FileName);
        e.DateTime = DosDateTimeToDate(v.ArchiveDate);
        const bool sized = decoded.Result == TUuResult::Done;
        v.SetSizes(v.ArchiveSize, sized ? static_cast<int64_t>(decoded.Size) : v.ArchiveSize);
        e.InternalAttr = kPlainFileAttr;
        e.ExternalAttr = kPlainFileAttr;
        v.ReportEntry(0);
    }
    void Step(TVireo&) override {}

private:
    static TUuOutcome Decode(TVireo& v, std::string& name) {
        platform::TFileStream file(v.ArchiveFile(), platform::FileMode::Read);
        const TCodecInput input = [&](uint8_t* buffer, size_t capacity) -> size_t {
            const int64_t got = file.Read(buffer, static_cast<int64_t>(capacity));
            return got > 0 ? static_cast<size_t>(got) : 0;
        };
        TUuLineReader lines(input);
        int32_t volume = 0;
        TUuText text;
        text.ReadLine = [&](std::string& line) { return lines.Next(line); };
        text.NextVolume = [&] {
            std::string next = UuVolumeName(v.ArchiveFile(), ++volume);
            if (!v.RequestNextVolume(next, volume)) return false;
            file.Close();
            lines.Restart();
            return file.Open(next, platform::FileMode::Read);
        };
        text.Begin = [&](const std::string& found) {
            name = found;
            return true;
        };
        return DecodeUuText(text, [](const uint8_t*, size_t) { return true; });
    }
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeUueWalk() {
    return std::make_unique<UueWalk>();
}

} // namespace vro
