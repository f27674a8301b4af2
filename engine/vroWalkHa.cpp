// Catalogue walk of HA archives (Harri Hirvola's HA 0.98/0.999). After the four
// bytes "HA" and the 16-bit file count, entries follow back to back: a 17-byte
// fixed header, the path and the name (both zero-terminated; the path uses the
// byte 0xFF between folders), a machine-dependent block with its length byte
// first, then the packed data. The layout is HA's own archive.c (getheader).
#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

// Entry header, as offsets from its first byte:
//   0  1  version (high 4 bits) and method (low 4 bits); 0xFF marks a deleted entry
//   1  4  packed size                 9  4  CRC-32
//   5  4  original size              13  4  time stamp (Unix seconds)
//  17     path, name (zero-terminated), machine-data length (1), machine data
// The walk reads its block one byte early, at the position the generic loop starts
// from (the last byte of the archive header, then the last byte of the previous
// entry), so that block offset n + 1 holds header offset n.
constexpr int kBlockSize = 18;
constexpr int kFirstHeader = 4;
constexpr uint8_t kDeleted = 0xFF;
constexpr int kMethodDirectory = 14;
constexpr size_t kMaxPathLength = 1024;
constexpr uint8_t kPathSeparator = 0xFF;
constexpr uint32_t kFileAttr = 0x20;
constexpr uint32_t kDirectoryAttr = 0x10;

class HaWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override {
        v.BlockSize = kBlockSize;
        v.ReadPosition = v.StartOffset - 1 + kFirstHeader; // 1-based: the byte before
    }

    void Step(TVireo& v) override {
        const uint8_t* h = v.Block.data() + 1; // the entry header itself
        const int64_t header = v.HeaderPosition() + 1;
        int64_t pos = v.Position;
        std::string path, name;
        uint8_t machineLength;
        if (v.BlockRead < kBlockSize || !walk::ReadZeroTerminated(v, pos, kMaxPathLength, path) ||
            !walk::ReadZeroTerminated(v, pos, kMaxPathLength, name) ||
            !v.ReadAt(pos, &machineLength, 1))
            return v.EndWalk();
        const int64_t packed = GetLE32(h + 1);
        const int64_t next = pos + 1 + machineLength + packed;

        if (h[0] != kDeleted) {
            const int method = h[0] & 0x0F;
            TEntryInfo& e = v.EntryInfo;
            walk::ResetEntry(e);
            e.FileName = walk::NameFromArchive(JoinPath(path, name));
            v.NameRead(e.FileName);
            e.DateTime = UnixToDate(static_cast<int32_t>(GetLE32(h + 13)));
            e.VersionMadeBy = e.VersionNeeded = h[0] >> 4;
            v.SetSizes(packed, GetLE32(h + 5));
            e.CRC = GetLE32(h + 9);
            e.MethodCode = static_cast<int16_t>(method);
            e.MethodName = MethodName(v.ArcType(), method);
            const bool directory = method == kMethodDirectory;
            e.ExternalAttr = directory ? kDirectoryAttr : kFileAttr;
            walk::ReportByDirectoryRule(v, header, directory);
        }
        v.Position = next - 1;
    }

private:
    // HA's path ("dir" 0xFF "sub", with or without a closing 0xFF) before the name.
    static std::string JoinPath(std::string path, const std::string& name) {
        for (char& c : path)
            if (static_cast<uint8_t>(c) == kPathSeparator) c = '\\';
        if (!path.empty() && path.back() != '\\' && path.back() != '/') path += '\\';
        return path + name;
    }
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeHaWalk() {
    return std::make_unique<HaWalk>();
}

} // namespace vro
