// Catalogue walk of BH (BlakHole) archives, the format the BH writer produces; the
// layout is in vroBhHeader.h. A header without an entry ends the walk.
#include "engine/vroBhHeader.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

class BhWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = TBhHeader::kSize; }

    void Step(TVireo& v) override {
        TBhHeader h;
        if (!TBhHeader::Parse(v.Block.data(), v.BlockRead, h) || !h.HasEntry) return v.EndWalk();
        const int64_t header = v.HeaderPosition();
        std::string raw(h.NameLength, '\0');
        if (!v.ReadAt(v.Position, raw.data(), h.NameLength)) return v.EndWalk();

        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        e.FileName = walk::NameFromArchive(raw.substr(0, raw.find('\0')));
        v.NameRead(e.FileName);
        e.DateTime = DosDateTimeToDate(h.DosDateTime);
        e.VersionMadeBy = h.VersionMadeBy;
        e.VersionNeeded = h.VersionNeeded;
        v.SetSizes(h.PackedSize, h.UnpackedSize);
        e.CRC = h.Crc;
        e.Encrypted = h.Flags & TBhHeader::kEncrypted;
        e.MethodCode = h.Method;
        e.MethodName = MethodName(v.ArcType(), h.Method);
        e.InternalAttr = static_cast<int16_t>(h.Attributes);
        e.ExternalAttr = h.Attributes;
        walk::ReportByDirectoryRule(v, header, false);
        v.Position = header + TBhHeader::kSize + h.NameLength + h.PackedSize;
    }
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeBhWalk() {
    return std::make_unique<BhWalk>();
}

} // namespace vro
