// CRC-32 (IEEE 802.3, reflected polynomial 0xEDB88320) and CRC-16 (reflected
// polynomial 0xA001, the "ARC" CRC). Callers keep the register: CRC-32 starts at
// 0xFFFFFFFF and is inverted by the caller at the end; CRC-16 starts at 0.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {
class TStream;
}

namespace vro {

// Returns the register after adding len bytes.
uint32_t Crc32Update(uint32_t crc, const void* data, size_t len);
uint16_t Crc16Update(uint16_t crc, const void* data, size_t len);

// Table lookup for one byte, for decoders that update the CRC symbol by symbol.
extern const uint32_t kCrc32Table[256];
inline uint32_t Crc32Byte(uint32_t crc, uint8_t b) {
    return kCrc32Table[(crc ^ b) & 0xFF] ^ (crc >> 8);
}

// CRC-32 of the first count bytes of a stream (fewer when a read comes short):
// rewinds, reads in blocks of at most 32768 bytes through the work buffer (which
// holds at least that much), rewinds again. Starts at 0xFFFFFFFF; the result is not inverted.
uint32_t Crc32OfStream(platform::TStream& stream, uint8_t* workBuffer, int64_t count);

// Test switch: force the portable path even where a faster one is available.
void Crc32ForcePortable(bool force);

// The variants Crc32Update picks from once, named so the benchmark can time each.
uint32_t Crc32UpdatePortable(uint32_t crc, const void* data, size_t len); // slice-by-8
bool Crc32ClmulSupported(); // the CPU has carry-less multiply (PCLMULQDQ)
// Folds 64 bytes per step with carry-less multiplies; only when Crc32ClmulSupported().
uint32_t Crc32UpdateClmul(uint32_t crc, const void* data, size_t len);

} // namespace vro
