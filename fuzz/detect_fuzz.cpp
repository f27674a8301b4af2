// Type detection over arbitrary bytes. The first byte picks the ZIP comment window
// (none, or the catalogue's) so both end-record search shapes get exercised.
#include <cstddef>
#include <cstdint>

#include "engine/vroDetect.h"
#include "engine/vroDiskMan.h"
#include "platform/Stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const int32_t window = (data[0] & 1) ? 32000 : 0;
    platform::TMemoryStream file(data + 1, size - 1);
    vro::TDiskManager disk;
    vro::DetectArchiveType(file, "fuzz.zip", window, disk);
    return 0;
}
