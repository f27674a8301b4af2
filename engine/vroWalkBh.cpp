// Catalogue walk of BH (BlakHole) archives, the format the BH writer produces: a
// chain of 37-byte entry headers, each followed by the name and the packed data
// (which includes the 12-byte ZIP cipher header of an encrypted entry).
#include "engine/vroBytes.h"
#include "engine/vroDates.h"
#include "engine/vroWalkUtilA.h"
#include "engine/vroWalks.h"

namespace vro {

namespace {

// Entry header (little-endian):
//   0  4  signature 42 48 05 07        15  4  packed size
//   4  2  header size with the name;   19  4  original size
//         0 ends the archive           23  4  CRC-32
//   6  1  37                            27  2  attributes (DOS bits)
//   7  1  version made by               29  4  0
//   8  1  version needed                33  2  name length
//   9  1  flags (0x01 encrypted)        35  2  comment length (0)
//  10  1  method (0 stored, 1 fused, 8 deflate)
//  11  4  DOS date-time
constexpr int kHeaderSize = 37;
constexpr uint32_t kSignature = 0x07054842;
constexpr uint8_t kFlagEncrypted = 0x01;

class BhWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = kHeaderSize; }

    void Step(TVireo& v) override {
        const uint8_t* b = v.Block.data();
        if (v.BlockRead < kHeaderSize || GetLE32(b) != kSignature || GetLE16(b + 4) == 0)
            return v.EndWalk();
        const int64_t header = v.HeaderPosition();
        const uint16_t nameLength = GetLE16(b + 33);
        std::string raw(nameLength, '\0');
        if (!v.ReadAt(v.Position, raw.data(), nameLength)) return v.EndWalk();

        TEntryInfo& e = v.EntryInfo;
        walk::ResetEntry(e);
        e.FileName = walk::NameFromArchive(raw.substr(0, raw.find('\0')));
        v.NameRead(e.FileName);
        e.DateTime = DosDateTimeToDate(GetLE32(b + 11));
        e.VersionMadeBy = b[7];
        e.VersionNeeded = b[8];
        const int64_t packed = GetLE32(b + 15);
        v.SetSizes(packed, GetLE32(b + 19));
        e.CRC = GetLE32(b + 23);
        e.Encrypted = b[9] & kFlagEncrypted;
        e.MethodCode = b[10];
        e.MethodName = MethodName(v.ArcType(), b[10]);
        e.InternalAttr = static_cast<int16_t>(GetLE16(b + 27));
        e.ExternalAttr = GetLE16(b + 27);
        walk::ReportByDirectoryRule(v, header, false);
        v.Position = header + kHeaderSize + nameLength + packed;
    }
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeBhWalk() {
    return std::make_unique<BhWalk>();
}

} // namespace vro
