// The ZIP directory walk (ZIP application note, sections 4.3.7 and 4.3.12). A ZIP
// whose end record, central header and first local header verified is listed from
// its central directory; otherwise from its local headers, one entry after another.
// ZIP64 sizes and offsets and UTF-8 names are honoured in both modes.
#include <vector>

#include "engine/vroMethodNames.h"
#include "engine/vroWalks.h"
#include "engine/vroZipExtra.h"
#include "engine/vroZipHeaders.h"

namespace vro {

namespace {

constexpr uint8_t kAllVerified = zfEndRecord | zfCentral | zfLocalHeaders;
constexpr uint16_t kEncryptedFlag = 0x0001;
constexpr uint16_t kDeflateOptionBits = 0x0006;
constexpr uint32_t kDirectoryAttr = 0x10;

class ZipWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override;
    void Step(TVireo& v) override;

private:
    bool ReadVariableParts(TVireo& v, uint16_t nameLength, uint16_t extraLength,
                           uint16_t commentLength);
    void CentralStep(TVireo& v);
    void LocalStep(TVireo& v);
    void FollowSpan(TVireo& v);

    bool centralMode_ = false;
    std::string storedName_;
    std::vector<uint8_t> extra_;
};

void ZipWalk::Prepare(TVireo& v) {
    if (v.ArcType() == atZipMV) {
        if (!v.ObtainLastDisk()) return;
        v.VolumeChanged();
    }
    if (v.OnCorruptZipHeader && v.ZipFlags != kAllVerified) {
        bool cancel = true;
        v.OnCorruptZipHeader(v, v.ZipFlags, cancel);
        if (cancel) return; // nothing is listed
    }
    v.ReadPosition += 1; // the start offset of ZIP types is 0-based
    if (!(v.ZipFlags & zfCentral)) v.ZipFlags = zfLocalHeaders;
    centralMode_ = v.ZipFlags != zfLocalHeaders;
    v.BlockSize = centralMode_ ? TZipCentralHeader::kSize : TZipLocalHeader::kSize;
}

void ZipWalk::Step(TVireo& v) {
    const uint32_t wanted = centralMode_ ? kZipCentralSig : kZipLocalSig;
    if (GetLE32(v.Block.data()) != wanted) {
        // The normal end: the directory follows the last local header, the end
        // record the last central header.
        v.EndWalk();
        if (v.FileNum == 0) v.ReportError(E_BADHEADER, v.ArchiveFile());
        return;
    }
    if (centralMode_)
        CentralStep(v);
    else
        LocalStep(v);
}

// Reads the name, extra field and comment that follow the header block; false
// (and the walk ends) when the file ends first.
bool ZipWalk::ReadVariableParts(TVireo& v, uint16_t nameLength, uint16_t extraLength,
                                uint16_t commentLength) {
    storedName_.resize(nameLength);
    extra_.resize(extraLength);
    v.FileComment.resize(commentLength);
    const bool complete =
        v.ReadAt(v.Position, storedName_.data(), nameLength) &&
        v.ReadAt(v.Position + nameLength, extra_.data(), extraLength) &&
        v.ReadAt(v.Position + nameLength + extraLength, v.FileComment.data(), commentLength);
    if (!complete) v.EndWalk();
    return complete;
}

void ZipWalk::CentralStep(TVireo& v) {
    const TZipCentralHeader h = TZipCentralHeader::Parse(v.Block.data());
    if (!ReadVariableParts(v, h.NameLength, h.ExtraLength, h.CommentLength)) return;
    v.Position += h.NameLength + h.ExtraLength + h.CommentLength;

    const std::string name = ZipEntryName(storedName_, h.Flags, extra_, h.VersionMadeBy >> 8);
    v.NameRead(name);
    TZipSizes sizes{h.UnpackedSize, h.PackedSize, h.LocalOffset};
    ApplyZip64Extra(extra_, false, sizes);

    const bool isDirectory =
        (h.ExternalAttr & kDirectoryAttr) || (!name.empty() && name.back() == '\\');
    if (v.Matches(name) && (!isDirectory || v.ShowBlankDirs)) {
        TEntryInfo& e = v.EntryInfo;
        e.FileName = name;
        e.DateTime = v.DosToDateTime(h.DosDateTime);
        e.VersionMadeBy = static_cast<int16_t>(h.VersionMadeBy);
        e.VersionNeeded = static_cast<int16_t>(h.VersionNeeded);
        v.SetSizes(static_cast<int64_t>(sizes.Packed), static_cast<int64_t>(sizes.Unpacked));
        e.CRC = h.Crc;
        e.Encrypted = h.Flags & kEncryptedFlag;
        e.MethodCode = static_cast<int16_t>(h.Method);
        e.DeflateOption = h.Flags & kDeflateOptionBits;
        e.MethodName = MethodName(v.ArcType(), h.Method, isDirectory, e.DeflateOption);
        e.InternalAttr = static_cast<int16_t>(h.InternalAttr);
        e.ExternalAttr = h.ExternalAttr & 0xFFFF;
        v.ReportEntry(static_cast<int64_t>(sizes.LocalOffset) + v.ZipOffsetShift, !isDirectory);
    }
    if (v.ArcType() == atZipMV) FollowSpan(v);
}

void ZipWalk::LocalStep(TVireo& v) {
    const TZipLocalHeader h = TZipLocalHeader::Parse(v.Block.data());
    if (!ReadVariableParts(v, h.NameLength, h.ExtraLength, 0)) return;
    v.Position += h.NameLength;

    const std::string name = ZipEntryName(storedName_, h.Flags, extra_, kZipHostUnknown);
    v.NameRead(name);
    TZipSizes sizes{h.UnpackedSize, h.PackedSize, 0};
    ApplyZip64Extra(extra_, true, sizes);

    if (v.Matches(name)) {
        TEntryInfo& e = v.EntryInfo;
        e.FileName = name;
        e.DateTime = v.DosToDateTime(h.DosDateTime);
        e.VersionMadeBy = e.VersionNeeded = static_cast<int16_t>(h.VersionNeeded);
        v.SetSizes(static_cast<int64_t>(sizes.Packed), static_cast<int64_t>(sizes.Unpacked));
        e.CRC = h.Crc;
        e.Encrypted = h.Flags & kEncryptedFlag;
        e.MethodCode = static_cast<int16_t>(h.Method);
        e.DeflateOption = h.Flags & kDeflateOptionBits;
        const bool isDirectory = !name.empty() && name.back() == '\\';
        e.MethodName = MethodName(v.ArcType(), h.Method, isDirectory, e.DeflateOption);
        e.InternalAttr = 0;
        e.ExternalAttr = 0;
        v.ReportEntry(v.HeaderPosition());
    }
    // Entries with a data descriptor have zero sizes here: the next block read is
    // their data, which ends the walk.
    v.Position += static_cast<int64_t>(sizes.Packed) + h.ExtraLength;
}

// A central directory running over the end of one disk of a spanned set goes on
// at the start of the next disk.
void ZipWalk::FollowSpan(TVireo& v) {
    if (v.Position <= v.EndPosition || v.ZipEnd.CentralDisk < v.CurrentDisk || !v.OnGetZipNextDisk)
        return;
    const int64_t previousSize = v.EndPosition;
    v.ObtainNextDisk(v.CurrentDisk + 1);
    v.VolumeChanged();
    v.Position -= previousSize;
}

} // namespace

std::unique_ptr<TCatalogueWalk> MakeZipWalk() {
    return std::make_unique<ZipWalk>();
}

} // namespace vro
