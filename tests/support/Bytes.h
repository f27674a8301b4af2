// Little-endian fields for fixtures built byte by byte.
#pragma once

#include <cstdint>
#include <string>

namespace testing_support {

inline std::string Le16(uint32_t v) {
    return {char(v & 0xFF), char(v >> 8 & 0xFF)};
}
inline std::string Le32(uint32_t v) {
    return Le16(v & 0xFFFF) + Le16(v >> 16);
}
inline std::string Le64(uint64_t v) {
    return Le32(static_cast<uint32_t>(v)) + Le32(static_cast<uint32_t>(v >> 32));
}

} // namespace testing_support
