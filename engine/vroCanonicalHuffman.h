// A canonical Huffman code read most-significant bit first (LHA and ARJ blocks):
// codes are handed out shortest first and, within one length, in symbol order.
// Codes up to the table width resolve with one lookup; longer ones (up to 16
// bits) are found by counting through the lengths, so no tree is kept and no
// input can send a lookup outside the tables. A code set is accepted only when it
// fills the code space exactly; a single symbol may instead be given a code of
// no bits at all.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/vroMsbBitInput.h"

namespace vro {

class TCanonicalHuffman {
public:
    static constexpr int kMaxLength = 16;

    // lengths[0, count): 0 for an unused symbol, else 1 to kMaxLength. False when
    // the lengths do not make a complete code (the table is then unusable).
    bool Build(const uint8_t* lengths, int count, int tableBits) {
        tableBits_ = tableBits;
        counts_.fill(0);
        for (int s = 0; s < count; ++s) {
            if (lengths[s] > kMaxLength) return false;
            ++counts_[lengths[s]];
        }
        counts_[0] = 0;
        uint32_t space = 0; // the code space used, in units of 2^-kMaxLength
        for (int len = 1; len <= kMaxLength; ++len)
            space += counts_[len] << (kMaxLength - len);
        if (space != (uint32_t{1} << kMaxLength)) return false;

        std::array<uint32_t, kMaxLength + 2> offset{}, nextCode{};
        uint32_t code = 0;
        for (int len = 1; len <= kMaxLength; ++len) {
            offset[len + 1] = offset[len] + counts_[len];
            nextCode[len] = code;
            code = (code + counts_[len]) << 1;
        }
        symbols_.assign(offset[kMaxLength + 1], 0);
        table_.assign(size_t{1} << tableBits, kLongCode);
        for (int s = 0; s < count; ++s) {
            const int len = lengths[s];
            if (len == 0) continue;
            symbols_[offset[len]++] = static_cast<uint16_t>(s);
            const uint32_t c = nextCode[len]++;
            if (len > tableBits) continue;
            const uint32_t first = c << (tableBits - len), span = uint32_t{1} << (tableBits - len);
            for (uint32_t i = 0; i < span; ++i)
                table_[first + i] = Entry(s, len);
        }
        return true;
    }

    // A code of one symbol and no bits.
    void BuildSingle(int symbol) {
        tableBits_ = 0;
        table_.assign(1, Entry(symbol, 0));
    }

    int Decode(TMsbBitInput& in) const {
        const uint32_t window = in.Peek(kMaxLength);
        const uint32_t entry = table_[window >> (kMaxLength - tableBits_)];
        if (entry != kLongCode) {
            in.Skip(static_cast<int>(entry & 0x1F));
            return static_cast<int>(entry >> 5);
        }
        // Past the table: count through the lengths (the code is complete, so one
        // of them holds it).
        uint32_t code = 0, first = 0, index = 0;
        for (int len = 1; len <= kMaxLength; ++len) {
            code |= (window >> (kMaxLength - len)) & 1;
            if (code - first < counts_[len]) {
                in.Skip(len);
                return symbols_[index + code - first];
            }
            index += counts_[len];
            first = (first + counts_[len]) << 1;
            code <<= 1;
        }
        return 0; // unreachable for a complete code
    }

private:
    static constexpr uint32_t kLongCode = 0xFFFFFFFF;
    static uint32_t Entry(int symbol, int length) {
        return (static_cast<uint32_t>(symbol) << 5) | static_cast<uint32_t>(length);
    }

    int tableBits_ = 0;
    std::array<uint32_t, kMaxLength + 1> counts_{};
    std::vector<uint16_t> symbols_; // by length, then by symbol
    std::vector<uint32_t> table_;   // symbol << 5 | length, or kLongCode
};

} // namespace vro
