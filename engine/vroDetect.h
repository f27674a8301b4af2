// Archive type detection: decides what kind of archive a file is from its bytes,
// never from its name (except ".JAR" and spanned ".ZIP" disks), and where the
// archive data starts inside it, self-extracting executables included.
#pragma once

#include <cstdint>
#include <string>

#include "engine/vroTypes.h"
#include "engine/vroZipHeaders.h"

namespace platform {
class TStream;
}

namespace vro {

class TDiskManager;

// ZIP verification flags.
enum : uint8_t {
    zfEndRecord = 0x01,   // an end record was found and read in full
    zfCentral = 0x08,     // the central header it points to has its signature
    zfLocalHeaders = 0x10 // the local header verified too, or read through local headers
};

struct TDetection {
    TArcType Type = atNA;
    // 1-based position of the first header, except ZIP types, where it is the
    // 0-based offset, the central directory offset, or 0 (see the steps).
    int64_t StartOffset = 1;
    int64_t ReadPosition = 1; // 1-based; moved only for a spanned disk
    int64_t ArchiveSize = 0;
    uint8_t ZipFlags = 0;
    // Bytes to add to the offsets a ZIP records: non-zero for an archive appended
    // to a stub without its offsets being adjusted.
    int64_t ZipOffsetShift = 0;
    TZipEndRecord ZipEnd;
    TZipCentralHeader ZipCentral;
    TZipLocalHeader ZipLocal;
};

// Detects the type of an open file. fileName gives the extension rules and the
// drive (for removable-disk spans); zipCmntBufSize sizes the end-record window.
// Never throws: read failures become atFileOpenErr or an unrecognised type.
TDetection DetectArchiveType(platform::TStream& file, const std::string& fileName,
                             int32_t zipCmntBufSize, TDiskManager& disk);

} // namespace vro
