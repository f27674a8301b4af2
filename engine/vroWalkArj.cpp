// Catalogue walk of ARJ archives (ARJ 2.x by Robert Jung, ARJ32 3.x), following the
// header description of ARJ's TECHNOTE.DOC (headers read by the shared ARJ header
// reader). An archive is a main header and a chain of local file headers, each
// followed by its packed data, ended by a header of size 0.
// A file split over volumes (x.arj, x.a01, x.a02, ...) carries flag 0x04 in every
// part but the last; the walk follows it into the next volumes and reports the
// file once, with the sizes of all its parts summed.
#include "engine/vroArjHeader.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

constexpr int kIdSize = 4; // id and basic header size: the loop's block

// One local header as the walk reads it: the shared fields and where the data
// after it ends.
struct LocalHeader : TArjHeader {
    int64_t next = 0; // the following header
};

class ArjWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        walk::StartVolumeNumbering(v);
        int64_t first;
        if (!SkipMainHeader(v, v.StartOffset - 1, first))
            v.RaiseError(E_BADHEADER, v.ArchiveFile());
        v.ReadPosition = first + 1;
        v.BlockSize = kIdSize;
    }

    void Step(TVireo& v) override {
        LocalHeader h;
        if (!ReadLocalHeader(v, v.HeaderPosition(), h)) return v.EndWalk();

        int64_t packed = h.PackedSize, unpacked = h.UnpackedSize;
        bool complete = true;
        while (h.Flags & kArjFlagVolume) {
            v.NameRead(walk::NameFromArchive(h.Name));
            LocalHeader part;
            if (!NextVolumePart(v, part)) {
                complete = false;
                break;
            }
            h = part;
            packed += h.PackedSize;
            unpacked += h.UnpackedSize;
        }

        Report(v, h, packed, unpacked);
        v.Position = complete ? h.next : v.EndPosition;
    }

private:
    static TArjReadAt ReaderOf(TVireo& v) {
        return
            [&v](int64_t pos, void* buffer, int64_t count) { return v.ReadAt(pos, buffer, count); };
    }

    bool SkipMainHeader(TVireo& v, int64_t pos, int64_t& first) {
        TArjHeader h;
        if (ReadArjHeader(ReaderOf(v), pos, h) != TArjRead::Ok) return false;
        first = h.DataStart;
        return true;
    }

    bool ReadLocalHeader(TVireo& v, int64_t pos, LocalHeader& h) {
        if (ReadArjHeader(ReaderOf(v), pos, h) != TArjRead::Ok || h.BasicSize < kArjMinBasicHeader)
            return false;
        h.next = h.DataStart + h.PackedSize;
        return true;
    }

    // Opens the next volume and reads the continuing part of the current file
    // (the first local header after that volume's main header). A volume whose
    // main header is damaged is a fatal "Bad file header", as the first one is.
    bool NextVolumePart(TVireo& v, LocalHeader& part) {
        if (!v.OpenNextVolume()) return false;
        v.VolumeChanged();
        int64_t first;
        if (!SkipMainHeader(v, 0, first)) v.RaiseError(E_BADHEADER, v.EntryInfo.VolumeName);
        return ReadLocalHeader(v, first, part);
    }

    void Report(TVireo& v, const LocalHeader& h, int64_t packed, int64_t unpacked) {
        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        e.FileName = walk::NameFromArchive(h.Name);
        v.NameRead(e.FileName);
        if (h.FileType >= kArjTypeVolumeLabel) return;
        const bool directory = h.FileType == kArjTypeDirectory;
        const bool unixHost = h.HostOs == kArjHostUnix;
        e.DateTime =
            unixHost ? UnixToDate(static_cast<int32_t>(h.DateTime)) : DosDateTimeToDate(h.DateTime);
        e.VersionMadeBy = h.ArchiverVersion;
        e.VersionNeeded = h.MinimumVersion;
        v.SetSizes(packed, unpacked);
        e.CRC = h.Crc;
        e.Encrypted = h.Flags & kArjFlagGarbled;
        e.MethodCode = h.Method;
        e.MethodName = MethodName(v.ArcType(), h.Method, directory);
        e.InternalAttr = static_cast<int16_t>(h.AccessMode);
        e.ExternalAttr = unixHost ? DosAttributes(h.AccessMode, directory) : h.AccessMode;
        walk::ReportByDirectoryRule(v, h.Position, directory);
    }

    // The DOS attribute bits of a Unix file mode: directory, or archive; read-only
    // when the owner may not write.
    static uint32_t DosAttributes(uint16_t mode, bool directory) {
        constexpr uint16_t kOwnerWrite = 0200;
        uint32_t attr = directory ? 0x10 : 0x20;
        if (!(mode & kOwnerWrite)) attr |= 0x01;
        return attr;
    }
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeArjWalk() {
    return std::make_unique<ArjWalk>();
}

} // namespace vro
