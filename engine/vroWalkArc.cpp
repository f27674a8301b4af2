// Catalogue walk of ARC and PAK archives (SEA ARC 5-7, PKPAK/PKARC, NoGate PAK).
// The layout is in vroArcHeader.h. The walk descends into a folder's nested chain
// instead of skipping it, so every position only grows and the walk always ends.
#include <vector>

#include "engine/vroArcHeader.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

constexpr uint32_t kFolderAttr = 0x10;
constexpr uint32_t kFileAttr = 0x20;
// Folders nest as deep as the file allows; a prefix deeper than this is hostile.
constexpr size_t kMaxFolderDepth = 256;

class ArcWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        folders_.clear();
        isPak_ = v.ArcType() == atPak || v.ArcType() == atPakExe;
        v.BlockSize = TArcHeader::kSize;
    }

    void Step(TVireo& v) override {
        TArcHeader h;
        if (!TArcHeader::Parse(v.Block.data(), v.BlockRead, h)) return v.EndWalk();
        const int64_t header = v.HeaderPosition();

        if (!isPak_ && h.Method == TArcHeader::kFolderClose) {
            if (!folders_.empty()) folders_.pop_back();
            v.Position = header + h.Size;
            return;
        }

        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        v.NameRead(h.Name);

        const bool folder = !isPak_ && h.Method == TArcHeader::kFolderOpen;
        e.DateTime = DosDateTimeToDate(h.DosDateTime);
        e.CRC = h.Crc;
        e.MethodCode = h.Method;
        e.MethodName = MethodName(v.ArcType(), h.Method, folder);
        e.ExternalAttr = folder ? kFolderAttr : kFileAttr;
        e.InternalAttr = static_cast<int16_t>(e.ExternalAttr);

        if (folder) {
            // The folder's data is the nested chain: its entries follow at once.
            if (folders_.size() >= kMaxFolderDepth) return v.EndWalk();
            folders_.push_back(h.Name);
            e.FileName = Prefix();
            v.SetSizes(0, 0);
            walk::ReportByDirectoryRule(v, header, true);
            return;
        }

        e.FileName = Prefix() + h.Name;
        v.SetSizes(h.PackedSize, h.UnpackedSize);
        walk::ReportByDirectoryRule(v, header, false);
        v.Position = header + h.Size + h.PackedSize;
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
