// Display names of compression methods, by archive type and the format's raw
// method value (the "Method" column of a listing).
#pragma once

#include <cstdint>
#include <string>

#include "engine/vroTypes.h"

namespace vro {

// method: the format's raw value (ZIP method, ARC method byte, the LHA method
// digit as a character, the RAR method character, the ACE quality byte, the low 4
// bits of the cabinet or HA method). isDirectory: the entry is a directory by the
// format's own mark. deflateOption: ZIP general-purpose bits 1 and 2 as
// TEntryInfo keeps them. gzipMagic: the GZIP family's first two bytes (1F 8B as 0x8B1F).
std::string MethodName(TArcType type, int32_t method, bool isDirectory = false,
                       uint8_t deflateOption = 0, uint16_t gzipMagic = 0);

} // namespace vro
