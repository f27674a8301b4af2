// CRC-32 and CRC-16 over byte buffers and streams: the checksums every archive
// format stores per entry (ZIP, GZIP, ARJ, LHA and CAB use CRC-32; ARC, ZOO and
// LHA headers use CRC-16).
//
// Both are reflected CRCs: bit 0 of each byte is the highest-degree coefficient,
// so the register shifts right and the polynomials appear bit-reversed
// (0xEDB88320 for x^32 + x^26 + ... + 1, 0xA001 for x^16 + x^15 + x^2 + 1).
// The register is the caller's: no pre- or post-inversion happens here.
//
// CRC-32 runs on every byte the engine extracts, so it has two paths: the
// carry-less-multiply folding of vroCrcClmul.cpp where the CPU has it, and a
// portable slice-by-8 that handles eight bytes per step with eight tables
// (bench/crc32_bench.cpp times both against zlib).
#include "engine/vroCrc.h"

#include <algorithm>
#include <array>
#include <atomic>

#include "platform/Stream.h"

namespace vro {

namespace {

constexpr uint32_t kCrc32Poly = 0xEDB88320;
constexpr uint16_t kCrc16Poly = 0xA001;

// The register after feeding one byte value b into a zero register, bit by bit.
template <typename Reg> constexpr Reg ReflectedByteRemainder(Reg b, Reg poly) {
    for (int bit = 0; bit < 8; ++bit)
        b = static_cast<Reg>((b >> 1) ^ ((b & 1) ? poly : 0));
    return b;
}

constexpr uint32_t Crc32OfByte(uint32_t b) {
    return ReflectedByteRemainder<uint32_t>(b, kCrc32Poly);
}

// Slice k maps a byte to its effect on the register when k zero bytes follow it,
// so eight bytes combine by XOR of eight lookups: slice[k][b] is slice[k-1][b]
// pushed through one more zero byte.
using Crc32Slices = std::array<std::array<uint32_t, 256>, 8>;

constexpr Crc32Slices BuildCrc32Slices() {
    Crc32Slices slices{};
    for (uint32_t b = 0; b < 256; ++b)
        slices[0][b] = Crc32OfByte(b);
    for (size_t k = 1; k < slices.size(); ++k)
        for (uint32_t b = 0; b < 256; ++b) {
            const uint32_t prev = slices[k - 1][b];
            slices[k][b] = (prev >> 8) ^ slices[0][prev & 0xFF];
        }
    return slices;
}

constexpr Crc32Slices kCrc32Slices = BuildCrc32Slices();

constexpr std::array<uint16_t, 256> BuildCrc16Table() {
    std::array<uint16_t, 256> table{};
    for (uint16_t b = 0; b < 256; ++b)
        table[b] = ReflectedByteRemainder<uint16_t>(b, kCrc16Poly);
    return table;
}

constexpr std::array<uint16_t, 256> kCrc16Table = BuildCrc16Table();

uint32_t LoadLE32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

using Crc32Function = uint32_t (*)(uint32_t, const void*, size_t);

Crc32Function FastestCrc32() {
    static const Crc32Function fastest =
        Crc32ClmulSupported() ? Crc32UpdateClmul : Crc32UpdatePortable;
    return fastest;
}

std::atomic<bool> g_forcePortable{false};

// Crc32OfStream's read size; callers' work buffers hold at least this much.
constexpr int64_t kStreamBlockSize = 32768;

} // namespace

// kCrc32Table is declared as a plain array so decoders can index it directly; a
// plain array needs a brace list, which these expand to: Crc32OfByte(0..255).
#define VRO_CRC4(n) Crc32OfByte(n), Crc32OfByte(n + 1), Crc32OfByte(n + 2), Crc32OfByte(n + 3)
#define VRO_CRC16(n) VRO_CRC4(n), VRO_CRC4(n + 4), VRO_CRC4(n + 8), VRO_CRC4(n + 12)
#define VRO_CRC64(n) VRO_CRC16(n), VRO_CRC16(n + 16), VRO_CRC16(n + 32), VRO_CRC16(n + 48)
constinit const uint32_t kCrc32Table[256] = {VRO_CRC64(0), VRO_CRC64(64), VRO_CRC64(128),
                                             VRO_CRC64(192)};
#undef VRO_CRC64
#undef VRO_CRC16
#undef VRO_CRC4

uint32_t Crc32UpdatePortable(uint32_t crc, const void* data, size_t len) {
    const auto* p = static_cast<const uint8_t*>(data);
    const Crc32Slices& s = kCrc32Slices;
    for (; len >= 8; p += 8, len -= 8) {
        const uint32_t lo = crc ^ LoadLE32(p);
        const uint32_t hi = LoadLE32(p + 4);
        crc = s[7][lo & 0xFF] ^ s[6][(lo >> 8) & 0xFF] ^ s[5][(lo >> 16) & 0xFF] ^ s[4][lo >> 24] ^
              s[3][hi & 0xFF] ^ s[2][(hi >> 8) & 0xFF] ^ s[1][(hi >> 16) & 0xFF] ^ s[0][hi >> 24];
    }
    for (; len > 0; --len)
        crc = Crc32Byte(crc, *p++);
    return crc;
}

uint32_t Crc32Update(uint32_t crc, const void* data, size_t len) {
    if (g_forcePortable.load(std::memory_order_relaxed)) return Crc32UpdatePortable(crc, data, len);
    return FastestCrc32()(crc, data, len);
}

void Crc32ForcePortable(bool force) {
    g_forcePortable.store(force, std::memory_order_relaxed);
}

uint16_t Crc16Update(uint16_t crc, const void* data, size_t len) {
    const auto* p = static_cast<const uint8_t*>(data);
    for (; len > 0; --len)
        crc = static_cast<uint16_t>(kCrc16Table[(crc ^ *p++) & 0xFF] ^ (crc >> 8));
    return crc;
}

uint32_t Crc32OfStream(platform::TStream& stream, uint8_t* workBuffer, int64_t count) {
    uint32_t crc = 0xFFFFFFFF;
    stream.Seek(0, platform::SeekOrigin::Begin);
    while (count > 0) {
        const int64_t wanted = std::min(count, kStreamBlockSize);
        const int64_t got = stream.Read(workBuffer, wanted);
        if (got > 0) crc = Crc32Update(crc, workBuffer, static_cast<size_t>(got));
        if (got < wanted) break;
        count -= got;
    }
    stream.Seek(0, platform::SeekOrigin::Begin);
    return crc;
}

} // namespace vro
