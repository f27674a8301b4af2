// CRC-32 by folding with carry-less multiplication (x86 PCLMULQDQ), after
// Intel's white paper "Fast CRC Computation for Generic Polynomials Using
// PCLMULQDQ Instruction". Several times faster than table lookups because four
// independent 128-bit lanes consume 64 bytes per step with eight multiplies and
// no memory lookups (bench/crc32_bench.cpp measures it).
//
// Why folding works: the register after a message depends only on the message
// polynomial modulo P(x). A 128-bit block H * x^64 + L followed by d more bits
// contributes H * x^(d+64) + L * x^d, which is congruent to
// H * (x^(d+64) mod P) + L * (x^d mod P): two 64x32-bit carry-less products that
// fit in 128 bits. So a block can be pushed forward by d bits and XORed onto the
// block it lands on without changing the final remainder. What remains is one
// 16-byte block (plus a tail under 16 bytes), whose CRC the table path computes.
#include "engine/vroCrc.h"

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

namespace vro {

namespace {

// x^n mod P(x) in normal (non-reflected) bit order; P without its x^32 term.
constexpr uint32_t XPowModP(unsigned n) {
    uint32_t r = 1;
    for (unsigned i = 0; i < n; ++i)
        r = (r << 1) ^ ((r & 0x80000000u) ? 0x04C11DB7u : 0);
    return r;
}

constexpr uint32_t Reflect32(uint32_t v) {
    uint32_t r = 0;
    for (int i = 0; i < 32; ++i)
        if ((v >> i) & 1) r |= 1u << (31 - i);
    return r;
}

// The multiplier for one half: x^n mod P, bit-reflected like the data and shifted
// left once. Read as a reflected quadword that value stands for (x^n mod P) * x^31,
// and a carry-less product of reflected operands gains one more x, so each product
// carries a spare x^32: the half holding the higher-degree terms (the low
// quadword) takes n = d + 64 - 32, the other n = d - 32.
constexpr uint64_t FoldMultiplier(unsigned n) {
    return uint64_t(Reflect32(XPowModP(n))) << 1;
}

constexpr unsigned kLaneBits = 128;
constexpr unsigned kLanes = 4;
constexpr unsigned kStepBits = kLanes * kLaneBits;
constexpr size_t kStepBytes = kStepBits / 8;

// Below this the set-up costs more than the table path.
constexpr size_t kMinClmulLength = kStepBytes;

struct FoldPair {
    uint64_t lowHalf, highHalf;
};
constexpr FoldPair kFoldByStep = {FoldMultiplier(kStepBits + 32), FoldMultiplier(kStepBits - 32)};
constexpr FoldPair kFoldByLane = {FoldMultiplier(kLaneBits + 32), FoldMultiplier(kLaneBits - 32)};

__attribute__((target("pclmul,sse2"))) inline __m128i Multipliers(FoldPair pair) {
    return _mm_set_epi64x(static_cast<long long>(pair.highHalf),
                          static_cast<long long>(pair.lowHalf));
}

__attribute__((target("pclmul,sse2"))) inline __m128i Load(const uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// acc pushed forward by the distance the multipliers encode, XORed onto next.
__attribute__((target("pclmul,sse2"))) inline __m128i Fold(__m128i acc, __m128i multipliers,
                                                           __m128i next) {
    const __m128i low = _mm_clmulepi64_si128(acc, multipliers, 0x00);
    const __m128i high = _mm_clmulepi64_si128(acc, multipliers, 0x11);
    return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

} // namespace

bool Crc32ClmulSupported() {
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse2");
}

__attribute__((target("pclmul,sse2"))) uint32_t Crc32UpdateClmul(uint32_t crc, const void* data,
                                                                 size_t len) {
    const auto* p = static_cast<const uint8_t*>(data);
    if (len < kMinClmulLength) return Crc32UpdatePortable(crc, p, len);

    // Feeding the register in equals XORing it onto the first four bytes.
    __m128i lane0 = _mm_xor_si128(Load(p), _mm_cvtsi32_si128(static_cast<int>(crc)));
    __m128i lane1 = Load(p + 16), lane2 = Load(p + 32), lane3 = Load(p + 48);
    p += kStepBytes, len -= kStepBytes;

    const __m128i byStep = Multipliers(kFoldByStep);
    for (; len >= kStepBytes; p += kStepBytes, len -= kStepBytes) {
        lane0 = Fold(lane0, byStep, Load(p));
        lane1 = Fold(lane1, byStep, Load(p + 16));
        lane2 = Fold(lane2, byStep, Load(p + 32));
        lane3 = Fold(lane3, byStep, Load(p + 48));
    }

    const __m128i byLane = Multipliers(kFoldByLane);
    __m128i acc = Fold(Fold(Fold(lane0, byLane, lane1), byLane, lane2), byLane, lane3);
    for (; len >= 16; p += 16, len -= 16)
        acc = Fold(acc, byLane, Load(p));

    alignas(16) uint8_t folded[16];
    _mm_store_si128(reinterpret_cast<__m128i*>(folded), acc);
    return Crc32UpdatePortable(Crc32UpdatePortable(0, folded, sizeof folded), p, len);
}

} // namespace vro

#else // no carry-less multiply on this architecture

namespace vro {

bool Crc32ClmulSupported() {
    return false;
}

uint32_t Crc32UpdateClmul(uint32_t crc, const void* data, size_t len) {
    return Crc32UpdatePortable(crc, data, len);
}

} // namespace vro

#endif
