// UU- and XX-encoded text lists the first encoded file only: its name from the
// "begin MODE NAME" line, its size as the text's. The generic loop does not run.
#include <algorithm>
#include <cstring>

#include "engine/vroDates.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

constexpr int64_t kScanBytes = 32768;
constexpr size_t kMaxNameLength = 255;
constexpr uint32_t kPlainFileAttr = 0x20;

// The name of the first "begin " line at the start of the text or of a line.
std::string BeginLineName(const std::string& text) {
    size_t at = text.rfind("begin ", 0) == 0 ? 0 : text.find("\nbegin ");
    if (at == std::string::npos) return {};
    if (text[at] == '\n') ++at;
    at += 6;                 // past the word
    at = text.find(' ', at); // past the mode
    if (at == std::string::npos) return {};
    std::string rest = text.substr(at + 1, kMaxNameLength);
    rest = rest.substr(0, rest.find_first_of("\r\n"));
    return rest.substr(0, rest.find(' '));
}

class UueWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        std::string text(static_cast<size_t>(std::min(v.ArchiveSize, kScanBytes)), '\0');
        text.resize(v.ReadSomeAt(0, text.data(), text.size()));
        TEntryInfo& e = v.EntryInfo;
        e.FileName = BeginLineName(text);
        v.NameRead(e.FileName);
        e.DateTime = DosDateTimeToDate(v.ArchiveDate);
        v.SetSizes(v.ArchiveSize, v.ArchiveSize);
        e.InternalAttr = kPlainFileAttr;
        e.ExternalAttr = kPlainFileAttr;
        v.ReportEntry(0);
    }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeUueWalk() {
    return std::make_unique<UueWalk>();
}

} // namespace vro
