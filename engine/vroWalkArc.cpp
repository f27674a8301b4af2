// Catalogue walk of ARC and PAK archives (SEA ARC 5-7, PKPAK/PKARC, NoGate PAK).
// An archive is a chain of entry headers, each followed by its packed data and
// ended by the two bytes 1A 00. ARC 6 and later nest folders: a header of method 30
// announces a folder whose packed data is itself such a chain, closed by the two
// bytes 1A 1F; the walk descends into it instead of skipping it, so every
// position only grows and the walk always ends.
#include <vector>

#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

// Entry header, as read into the block (little-endian):
//   0  1  marker 0x1A
//   1  1  method; 0 ends the archive (ARC: 30 opens a folder, 31 closes it)
//   2 13  name, zero-terminated (8.3)
//  15  4  packed size
//  19  2  DOS date   } stored date first: "swapped" DOS date-time
//  21  2  DOS time   }
//  23  2  CRC-16
//  25  4  original size (absent for method 1, whose header is 25 bytes long)
constexpr int kHeaderSize = 29;
constexpr int kOldHeaderSize = 25;
constexpr uint8_t kMarker = 0x1A;
constexpr uint8_t kOldStored = 1;
constexpr uint8_t kFolderOpen = 30;
constexpr uint8_t kFolderClose = 31;
constexpr int kCloseHeaderSize = 2;
constexpr size_t kNameField = 13;
constexpr uint32_t kFolderAttr = 0x10;
constexpr uint32_t kFileAttr = 0x20;
// Folders nest as deep as the file allows; a prefix deeper than this is hostile.
constexpr size_t kMaxFolderDepth = 256;

class ArcWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        folders_.clear();
        isPak_ = v.ArcType() == atPak || v.ArcType() == atPakExe;
        v.BlockSize = kHeaderSize;
    }

    void Step(TVireo& v) override {
        const uint8_t* b = v.Block.data();
        const uint8_t method = b[1];
        if (b[0] != kMarker || method == 0) return v.EndWalk();
        const int64_t header = v.HeaderPosition();

        if (!isPak_ && method == kFolderClose) {
            if (!folders_.empty()) folders_.pop_back();
            v.Position = header + kCloseHeaderSize;
            return;
        }

        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        const std::string name = walk::NameFromArchive(walk::ZeroTerminated(b, 2, 2 + kNameField));
        v.NameRead(name);

        const bool folder = !isPak_ && method == kFolderOpen;
        const int64_t packed = GetLE32(b + 15);
        const int64_t unpacked = method == kOldStored ? packed : GetLE32(b + 25);
        e.DateTime = DosDateTimeToDate(SwapHalves(GetLE32(b + 19)));
        e.CRC = GetLE16(b + 23);
        e.MethodCode = method;
        e.MethodName = MethodName(v.ArcType(), method, folder);
        e.ExternalAttr = folder ? kFolderAttr : kFileAttr;
        e.InternalAttr = static_cast<int16_t>(e.ExternalAttr);

        if (folder) {
            // The folder's data is the nested chain: its entries follow at once.
            if (folders_.size() >= kMaxFolderDepth) return v.EndWalk();
            folders_.push_back(name);
            e.FileName = Prefix();
            v.SetSizes(0, 0);
            walk::ReportByDirectoryRule(v, header, true);
            return;
        }

        e.FileName = Prefix() + name;
        v.SetSizes(packed, unpacked);
        walk::ReportByDirectoryRule(v, header, false);
        v.Position = header + (method == kOldStored ? kOldHeaderSize : kHeaderSize) + packed;
    }

private:
    std::string Prefix() const {
        std::string prefix;
        for (const std::string& f : folders_)
            prefix += f + "\\";
        return prefix;
    }

    std::vector<std::string> folders_; // the open ARC folders, outermost first
    bool isPak_ = false;
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeArcWalk() {
    return std::make_unique<ArcWalk>();
}

} // namespace vro
