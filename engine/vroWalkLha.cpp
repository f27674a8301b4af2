// Catalogue walk of LHA / LZH archives, header levels 0 to 3: header after header
// (read by the shared LHA header reader) until the end marker or a header that
// does not fit, each reported with its name, sizes, date and method.
#include <algorithm>
#include <cstring>

#include "engine/vroDates.h"
#include "engine/vroLhaHeader.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

constexpr int kBlockSize = 22; // the part common to all header levels

// A MacBinary wrapper (first byte 0) puts the archive 128 bytes further on.
constexpr int64_t kMacBinaryHeader = 128;

// The key the method-name table is looked up by: the -lh?- digit; the LArc
// (-lz?-) and PMarc (-pm?-) families only share "stored" with it.
int32_t MethodTableKey(const std::string& id) {
    if (id[1] == 'l' && id[2] == 'h') return static_cast<uint8_t>(id[3]);
    if (id == "-lz4-" || id == "-pm0-") return '0';
    return -1;
}

class LhaWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        uint8_t first = 0;
        if (v.ReadAt(v.StartOffset - 1, &first, 1) && first == 0)
            v.ReadPosition = v.StartOffset + kMacBinaryHeader;
        v.BlockSize = kBlockSize;
    }

    void Step(TVireo& v) override {
        const TLhaReadAt readAt = [&v](int64_t pos, void* buffer, int64_t count) {
            return v.ReadAt(pos, buffer, count);
        };
        TLhaHeader h;
        if (!ReadLhaHeader(readAt, v.HeaderPosition(), v.EndPosition, h)) return v.EndWalk();
        Report(v, h);
        v.Position = h.Next;
    }

private:
    void Report(TVireo& v, const TLhaHeader& h) {
        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        const bool directory = h.IsDirectory();
        std::string path = h.JoinedPath();
        // A symbolic link is a directory entry whose path reads "link|target" (the
        // bar may sit in the directory header or in the name).
        const size_t bar = path.find('|');
        const bool link = directory && bar != std::string::npos;
        if (link) path.resize(bar);
        if (h.DosWriter()) path = DosCase(path);
        e.FileName = walk::NameFromArchive(path);
        v.NameRead(e.FileName);
        if (link) return; // links are not listed, as in the TAR walk

        e.DateTime = h.UnixTime() ? UnixToDate(static_cast<int32_t>(h.TimeStamp))
                                  : DosDateTimeToDate(h.TimeStamp);
        v.SetSizes(h.PackedSize, h.UnpackedSize);
        e.PackedSize = std::min(h.PackedSize, h.UnpackedSize); // the ratio keeps the true size
        e.CRC = h.Crc;
        e.MethodCode = static_cast<uint8_t>(h.Method[3]);
        e.MethodName = MethodName(v.ArcType(), MethodTableKey(h.Method));
        e.InternalAttr = 32;
        e.ExternalAttr = h.Attributes;
        walk::ReportByDirectoryRule(v, h.Position, directory);
    }
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeLhaWalk() {
    return std::make_unique<LhaWalk>();
}

} // namespace vro
