// Little-endian field access for header byte maps. Archive headers are read into
// byte buffers first and decoded field by field from named offsets, so a short
// read can never leave a half-filled struct behind.
#pragma once

#include <cstdint>
#include <cstring>

namespace vro {

inline uint16_t GetLE16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
inline uint32_t GetLE32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint64_t GetLE64(const uint8_t* p) {
    return static_cast<uint64_t>(GetLE32(p)) | static_cast<uint64_t>(GetLE32(p + 4)) << 32;
}
inline void PutLE16(uint8_t* p, uint16_t v) {
    p[0] = uint8_t(v), p[1] = uint8_t(v >> 8);
}
inline void PutLE32(uint8_t* p, uint32_t v) {
    PutLE16(p, uint16_t(v)), PutLE16(p + 2, uint16_t(v >> 16));
}

} // namespace vro
