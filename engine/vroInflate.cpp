// DEFLATE decoder (RFC 1951): stored, fixed-Huffman and dynamic-Huffman blocks,
// as found in ZIP method 8 entries and GZIP members.
//
// Why it is shaped this way: inflate runs over every byte the engine extracts, so
// the symbol loop is built for speed the way the fast whole-buffer decoders are,
// while keeping a streaming interface (input pulled through a callback, output
// pushed in 32 KiB pieces):
//  - a 64-bit bit buffer refilled with one unaligned 8-byte load, so a whole
//    length/distance pair (at most 48 bits) decodes after a single refill;
//  - decode tables whose 32-bit entries carry the symbol's value, its codeword
//    length and its extra-bit count together, so a length or distance comes out of
//    one lookup, one shift and one mask;
//  - the output buffer keeps the 32 KiB of history in front of the bytes being
//    decoded, so a match copy is a plain forward copy in 8-byte words that never
//    wraps; pieces leave in batches and the history moves to the front once per batch.
// The fast loop runs only while enough input and output room remain that no check
// is needed per symbol; the last bytes of the input go through a careful one-symbol
// path, which tells a stream cut short (Truncated) from a damaged one exactly.
#include "engine/vroInflate.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstring>
#include <memory>

namespace vro {

namespace {

// ---------------------------------------------------------------------------
// Format constants (RFC 1951 3.2.5 - 3.2.7)
// ---------------------------------------------------------------------------

constexpr unsigned kMaxCodeLength = 15;
// 0-255 literals, 256 end of block, 257-285 lengths, 286-287 reserved (never valid).
constexpr unsigned kNumLitLenSymbols = 288;
constexpr unsigned kEndOfBlock = 256;
// 0-29 distances, 30-31 reserved (never valid).
constexpr unsigned kNumDistSymbols = 32;
// The code-length code: 19 symbols with 3-bit lengths, sent in this order.
constexpr unsigned kNumPrecodeSymbols = 19;
constexpr uint8_t kPrecodeOrder[kNumPrecodeSymbols] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                                       11, 4,  12, 3, 13, 2, 14, 1, 15};
constexpr unsigned kMaxMatch = 258;

// Length codes 257-285: base lengths and extra bits. Each base is the previous one
// plus 2^extra of the previous code, except that 285 stands for 258 alone.
constexpr uint16_t kLengthBase[29] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                      15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                      67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr uint8_t kLengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                      2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
// Distance codes 0-29, built the same way; the last reaches 24577 + 8191 = 32768.
constexpr uint16_t kDistBase[30] = {1,    2,    3,    4,    5,    7,    9,    13,    17,    25,
                                    33,   49,   65,   97,   129,  193,  257,  385,   513,   769,
                                    1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr uint8_t kDistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                    6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};

constexpr bool BasesFollowExtras(const uint16_t* base, const uint8_t* extra, unsigned count) {
    for (unsigned i = 1; i < count; ++i)
        if (base[i] != base[i - 1] + (1u << extra[i - 1])) return false;
    return true;
}
static_assert(BasesFollowExtras(kLengthBase, kLengthExtra, 28), "285 (258) is the exception");
static_assert(BasesFollowExtras(kDistBase, kDistExtra, 30));
static_assert(kDistBase[29] + (1 << kDistExtra[29]) - 1 == TInflater::kWindowSize,
              "the farthest distance is exactly the window");

// ---------------------------------------------------------------------------
// Decode tables
//
// A table is indexed by the next ROOT input bits (LSB first, so codewords are
// stored bit-reversed). A codeword no longer than ROOT fills every slot whose low
// bits match it; a longer one goes to a subtable that a link entry in the main
// table points to, indexed by the bits after the first ROOT.
//
// Entry layout (32 bits):
//   bits  0-7   bits the entry consumes: codeword length plus extra bits (for a
//               link: ROOT, the bits consumed before the subtable lookup)
//   bits  8-11  codeword length alone, where a length's or distance's extra bits
//               start (for a link: the subtable's index width)
//   bit  12     literal          bit 13  end of block
//   bit  14     subtable link    bit 15  invalid (reserved symbol or unused codeword)
//   bits 16-31  literal byte, length or distance base, precode symbol, or the
//               subtable's first index for a link
// A symbol's "result" is the entry without its codeword length; the builder adds it.
// ---------------------------------------------------------------------------

constexpr uint32_t kEntryLiteral = 1u << 12;
constexpr uint32_t kEntryEnd = 1u << 13;
constexpr uint32_t kEntryLink = 1u << 14;
constexpr uint32_t kEntryInvalid = 1u << 15;
constexpr unsigned kEntryValueShift = 16;

constexpr uint32_t EntryBits(uint32_t entry) {
    return entry & 0xFF;
}
constexpr uint32_t EntryCodeLength(uint32_t entry) {
    return (entry >> 8) & 0xF;
}
constexpr uint32_t EntryValue(uint32_t entry) {
    return entry >> kEntryValueShift;
}

constexpr std::array<uint32_t, kNumLitLenSymbols> BuildLitLenResults() {
    std::array<uint32_t, kNumLitLenSymbols> r{};
    for (uint32_t sym = 0; sym < 256; ++sym)
        r[sym] = sym << kEntryValueShift | kEntryLiteral;
    r[kEndOfBlock] = kEntryEnd;
    for (unsigned i = 0; i < 29; ++i)
        r[257 + i] = uint32_t{kLengthBase[i]} << kEntryValueShift | kLengthExtra[i];
    r[286] = r[287] = kEntryInvalid;
    return r;
}

constexpr std::array<uint32_t, kNumDistSymbols> BuildDistResults() {
    std::array<uint32_t, kNumDistSymbols> r{};
    for (unsigned i = 0; i < 30; ++i)
        r[i] = uint32_t{kDistBase[i]} << kEntryValueShift | kDistExtra[i];
    r[30] = r[31] = kEntryInvalid;
    return r;
}

constexpr std::array<uint32_t, kNumPrecodeSymbols> BuildPrecodeResults() {
    std::array<uint32_t, kNumPrecodeSymbols> r{};
    for (uint32_t sym = 0; sym < kNumPrecodeSymbols; ++sym)
        r[sym] = sym << kEntryValueShift;
    return r;
}

constexpr auto kLitLenResults = BuildLitLenResults();
constexpr auto kDistResults = BuildDistResults();
constexpr auto kPrecodeResults = BuildPrecodeResults();

// Root widths and table sizes. A wider root makes subtable lookups rarer but costs
// more entries to fill per dynamic block; 11 and 8 put nearly every codeword of
// real data in the main table. The sizes are the most entries any usable code can
// need with these roots, from the `enough` utility of zlib's examples:
// `enough 288 11 15` = 2342, `enough 32 8 15` = 402. The code-length code's
// lengths have 3 bits, so with a 7-bit root it never needs a subtable.
constexpr unsigned kLitLenRootBits = 11;
constexpr size_t kLitLenTableSize = 2342;
constexpr unsigned kDistRootBits = 8;
constexpr size_t kDistTableSize = 402;
constexpr unsigned kPrecodeRootBits = 7;
constexpr size_t kPrecodeTableSize = size_t{1} << kPrecodeRootBits;

// Lengths of the fixed code (RFC 1951 3.2.6); its distance code has 32 codewords
// of 5 bits, of which 30 and 31 are reserved.
constexpr std::array<uint8_t, kNumLitLenSymbols> BuildFixedLitLenLengths() {
    std::array<uint8_t, kNumLitLenSymbols> lengths{};
    for (unsigned sym = 0; sym < kNumLitLenSymbols; ++sym)
        lengths[sym] = sym < 144 ? 8 : sym < 256 ? 9 : sym < 280 ? 7 : 8;
    return lengths;
}
constexpr auto kFixedLitLenLengths = BuildFixedLitLenLengths();

// The codeword after `reversed` among codewords of `length` bits, both stored
// bit-reversed: the canonical code adds 1 at its last bit, which is the highest
// bit here. A longer codeword that follows extends the code with zero bits at
// the end, which leaves the reversed form unchanged.
uint32_t NextReversedCodeword(uint32_t reversed, unsigned length) {
    uint32_t bit = 1u << (length - 1);
    while (reversed & bit)
        bit >>= 1;
    return bit ? (reversed & (bit - 1)) | bit : 0;
}

// Index width of the subtable that starts with a codeword of `length` bits: the
// smallest width the codewords still to place (remaining[n] of each length n)
// fill completely, so that codewords sharing the subtable's ROOT prefix all fit.
unsigned SubtableBits(const unsigned* remaining, unsigned length, unsigned rootBits,
                      unsigned maxLength) {
    unsigned bits = length - rootBits;
    int32_t space = int32_t{1} << bits;
    for (;;) {
        space -= static_cast<int32_t>(remaining[rootBits + bits]);
        if (space <= 0 || rootBits + bits >= maxLength) return bits;
        ++bits;
        space <<= 1;
    }
}

// Builds a decode table for count code lengths (each 0..15, untrusted) with the
// given per-symbol results. Returns false when the lengths cannot form a usable
// code: over-subscribed, incomplete, or all zero unless allowEmpty. One incomplete
// shape is accepted, a single codeword of one bit, which RFC 1951 3.2.7 allows for
// a distance code that has one symbol; the other one-bit pattern decodes as
// invalid. An empty code decodes everything as invalid. Complete codes never need
// more than capacity entries (see the sizes above).
bool BuildDecodeTable(uint32_t* table, [[maybe_unused]] size_t capacity, const uint8_t* lengths,
                      unsigned count, const uint32_t* results, unsigned rootBits, bool allowEmpty) {
    unsigned counts[kMaxCodeLength + 1] = {};
    for (unsigned sym = 0; sym < count; ++sym)
        ++counts[lengths[sym]];

    // Kraft sum, kept as the number of unused codewords at each length.
    int32_t unused = 1;
    unsigned maxLength = 0;
    for (unsigned len = 1; len <= kMaxCodeLength; ++len) {
        unused = 2 * unused - static_cast<int32_t>(counts[len]);
        if (unused < 0) return false;
        if (counts[len]) maxLength = len;
    }
    const size_t rootSize = size_t{1} << rootBits;
    if (maxLength == 0) {
        std::fill(table, table + rootSize, kEntryInvalid);
        return allowEmpty;
    }
    if (unused > 0) {
        if (maxLength != 1) return false; // incomplete beyond the one-codeword case
        std::fill(table, table + rootSize, kEntryInvalid);
    }

    // Symbols sorted by codeword length, then by value: the canonical order.
    unsigned offsets[kMaxCodeLength + 2] = {};
    for (unsigned len = 1; len <= kMaxCodeLength; ++len)
        offsets[len + 1] = offsets[len] + counts[len];
    uint16_t sorted[kNumLitLenSymbols];
    for (unsigned sym = 0; sym < count; ++sym)
        if (lengths[sym]) sorted[offsets[lengths[sym]]++] = static_cast<uint16_t>(sym);
    const unsigned used = count - counts[0];

    unsigned remaining[kMaxCodeLength + 1];
    std::copy(std::begin(counts), std::end(counts), remaining);
    const uint32_t rootMask = static_cast<uint32_t>(rootSize - 1);
    uint32_t reversed = 0;
    uint32_t linkedPrefix = UINT32_MAX;
    size_t subtableStart = rootSize;
    size_t nextFree = rootSize;
    unsigned subtableBits = 0;
    for (unsigned k = 0; k < used; ++k) {
        const unsigned sym = sorted[k];
        const unsigned len = lengths[sym];
        if (len <= rootBits) {
            const uint32_t entry = results[sym] + (len << 8) + len;
            for (size_t i = reversed; i < rootSize; i += size_t{1} << len)
                table[i] = entry;
        } else {
            const uint32_t prefix = reversed & rootMask;
            if (prefix != linkedPrefix) {
                subtableBits = SubtableBits(remaining, len, rootBits, maxLength);
                subtableStart = nextFree;
                nextFree += size_t{1} << subtableBits;
                assert(nextFree <= capacity);
                table[prefix] = static_cast<uint32_t>(subtableStart) << kEntryValueShift |
                                kEntryLink | subtableBits << 8 | rootBits;
                linkedPrefix = prefix;
            }
            const unsigned subLen = len - rootBits;
            const uint32_t entry = results[sym] + (subLen << 8) + subLen;
            for (size_t i = reversed >> rootBits; i < (size_t{1} << subtableBits);
                 i += size_t{1} << subLen)
                table[subtableStart + i] = entry;
        }
        --remaining[len];
        reversed = NextReversedCodeword(reversed, len);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Buffers
// ---------------------------------------------------------------------------

// The fast loop refills at most twice per iteration; each refill loads 8 bytes
// and advances at most 7, so 7 + 8 bytes must stay readable when an iteration starts.
constexpr size_t kFastInputMargin = 16;
// Input arrives in pieces of up to 32 KiB; the tail of the previous piece (less
// than the margin) is kept in front of it.
constexpr size_t kInputBufferSize = 32768 + kFastInputMargin;

// Output buffer: [history: 32 KiB][pieces being decoded: kFlushSpan][room for one
// more symbol]. Decoding continues while the write position is below kOutputLimit;
// then the pieces leave and the last 32 KiB (the new history) and any overflow
// move to the front: one memmove per kPiecesPerFlush pieces keeps its cost small.
constexpr size_t kHistorySize = TInflater::kWindowSize;
constexpr size_t kPiecesPerFlush = 8;
constexpr size_t kFlushSpan = kPiecesPerFlush * TInflater::kWindowSize;
constexpr size_t kOutputLimit = kHistorySize + kFlushSpan;
// The most one symbol writes from the write position: a match copy stores whole
// 8-byte words, at least five of them (the shortest match writes 40 bytes) and
// at most enough to cover 258 bytes (264).
constexpr size_t kMaxCopyWrite = std::max<size_t>(5 * 8, (kMaxMatch + 7) / 8 * 8);
constexpr size_t kOutputBufferSize = kOutputLimit - 1 + kMaxCopyWrite;

// Bits guaranteed after a refill: 56, enough for a 15-bit length code with 5 extra
// bits and a 15-bit distance code with 13 extra bits (48).
constexpr unsigned kRefillBits = 56;
static_assert(kMaxCodeLength + 5 + kMaxCodeLength + 13 <= kRefillBits);

inline uint64_t LoadLE64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big) v = __builtin_bswap64(v);
    return v;
}

inline uint64_t Load64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

inline void Store64(uint8_t* p, uint64_t v) {
    std::memcpy(p, &v, sizeof v);
}

inline uint64_t LowBits(uint64_t bits, uint32_t n) {
    return bits & ((uint64_t{1} << n) - 1);
}

// A length's or distance's value: the entry's base plus its extra bits, which sit
// right after the codeword in `bits` (the bit buffer before the entry was consumed).
inline uint32_t EntryWithExtra(uint32_t entry, uint64_t bits) {
    return EntryValue(entry) +
           static_cast<uint32_t>(LowBits(bits, EntryBits(entry)) >> EntryCodeLength(entry));
}

// Copies a match of length bytes from distance bytes back (1 <= distance <= 32768,
// the source never before the buffer) and returns the new end. Writes
// kMaxCopyWrite bytes at most; those past the end are overwritten by later output.
inline uint8_t* CopyMatch(uint8_t* out, uint32_t distance, uint32_t length) {
    const uint8_t* src = out - distance;
    uint8_t* const end = out + length;
    if (distance >= 8) {
        // Each word is read from bytes already written, so overlap needs no care.
        Store64(out, Load64(src));
        Store64(out + 8, Load64(src + 8));
        Store64(out + 16, Load64(src + 16));
        Store64(out + 24, Load64(src + 24));
        Store64(out + 32, Load64(src + 32));
        out += 40;
        src += 40;
        while (out < end) {
            Store64(out, Load64(src));
            out += 8;
            src += 8;
        }
    } else if (distance == 1) {
        const uint64_t run = 0x0101010101010101ull * src[0];
        Store64(out, run);
        Store64(out + 8, run);
        Store64(out + 16, run);
        Store64(out + 24, run);
        Store64(out + 32, run);
        out += 40;
        while (out < end) {
            Store64(out, run);
            out += 8;
        }
    } else {
        do
            *out++ = *src++;
        while (out < end);
    }
    return end;
}

// A fixed-size buffer in its own heap allocation: an overrun hits the end of the
// allocation, where the address sanitizer (tests, fuzzing) sees it, rather than
// the next member of the decoder state. Left uninitialised, as the ZIP layer makes
// one decoder per entry: every byte is written before it is read (the history is
// zeroed when a stream starts).
template <typename T, size_t N> class THeapArray {
public:
    T* data() { return items_.get(); }
    static constexpr size_t size() { return N; }
    T& operator[](size_t i) { return items_[i]; }

private:
    std::unique_ptr<T[]> items_ = std::make_unique_for_overwrite<T[]>(N);
};

struct TCodeTables {
    const uint32_t* litLen;
    const uint32_t* dist;
};

// Outcome of decoding symbols of one block.
enum class TStep { More, BlockEnd, BadCode, Truncated, OutputFailed };

} // namespace

// ---------------------------------------------------------------------------
// Decoder state
//
// Input: bytes [inNext, inEnd) of `input` are not yet in the bit buffer. The
// bitsLeft low bits of bitBuf are the next stream bits; bits above them are zero
// or copies of the bits that follow (the word refill loads ahead). Once the input
// has ended, refills add zero bytes and count them in padBytes; the stream was
// cut short as soon as fewer than 8 * padBytes bits are left, since the padding
// sits at the top.
//
// Output: window[0, outPos) holds decoded bytes, the last kHistorySize of them
// the history matches reach into; outPos >= kHistorySize always, and bytes before
// the stream's first byte are zeros.
// ---------------------------------------------------------------------------

struct TInflater::State {
    THeapArray<uint8_t, kInputBufferSize> input;
    const uint8_t* inNext = nullptr;
    const uint8_t* inEnd = nullptr;
    bool inputEnded = false;
    unsigned padBytes = 0;
    uint64_t bitBuf = 0;
    unsigned bitsLeft = 0;

    THeapArray<uint8_t, kOutputBufferSize> window;
    size_t outPos = kHistorySize;
    uint64_t totalOut = 0;

    const Input* pull = nullptr;
    const Output* sink = nullptr;

    THeapArray<uint32_t, kLitLenTableSize> fixedLitLen;
    THeapArray<uint32_t, kDistTableSize> fixedDist;
    bool fixedBuilt = false;
    THeapArray<uint32_t, kLitLenTableSize> dynamicLitLen;
    THeapArray<uint32_t, kDistTableSize> dynamicDist;
    THeapArray<uint32_t, kPrecodeTableSize> precode;
    THeapArray<uint8_t, kNumLitLenSymbols + kNumDistSymbols> lengths;

    void Begin(const Input& in, const Output& out);
    TInflateResult DecodeStream();
    TInflateResult FlushRest(TInflateResult result);

private:
    // Input and bits.
    void PullInput(size_t limit);
    void FillInput();
    size_t Available() const { return static_cast<size_t>(inEnd - inNext); }
    void RefillBytewise();
    void Drop(unsigned n) {
        bitBuf >>= n;
        bitsLeft -= n;
    }
    uint32_t ReadBits(unsigned n);
    bool PaddingUsed() const { return bitsLeft < 8 * padBytes; }
    uint32_t LookUp(const uint32_t* table, unsigned rootBits);

    // Output.
    bool Emit(const uint8_t* data, size_t size);
    bool FlushFullPieces();

    // Blocks.
    TInflateResult CopyStoredBlock();
    TInflateResult DecodeDynamicBlock();
    TInflateResult ReadCodeLengths(unsigned total);
    TInflateResult DecodeCodes(const TCodeTables& tables, TInflateResult badCode);
    TCodeTables FixedTables();
    TStep DecodeFast(const TCodeTables& tables);
    TStep DecodeOneSymbol(const TCodeTables& tables);
};

void TInflater::State::Begin(const Input& in, const Output& out) {
    pull = &in;
    sink = &out;
    inNext = inEnd = input.data();
    inputEnded = false;
    padBytes = 0;
    bitBuf = 0;
    bitsLeft = 0;
    std::fill_n(window.data(), kHistorySize, uint8_t{0});
    outPos = kHistorySize;
    totalOut = 0;
}

// ---- Input ----------------------------------------------------------------

// Moves the unread tail to the front and asks for as much as fits, up to limit
// bytes. An answer of 0 ends the input for good.
void TInflater::State::PullInput(size_t limit) {
    const size_t kept = Available();
    std::memmove(input.data(), inNext, kept);
    const size_t room = std::min(input.size() - kept, limit);
    const size_t got = std::min((*pull)(input.data() + kept, room), room);
    if (got == 0) inputEnded = true;
    inNext = input.data();
    inEnd = inNext + kept + got;
}

// Makes at least kFastInputMargin bytes available unless the input has ended.
void TInflater::State::FillInput() {
    while (!inputEnded && Available() < kFastInputMargin)
        PullInput(SIZE_MAX);
}

// Tops the bit buffer up to at least kRefillBits bits a byte at a time, with zero
// padding once the input has ended. Pulls only the bytes it needs, so that when a
// stored block follows, its data is still with the caller, who then writes it
// straight into the window (see CopyStoredBlock).
void TInflater::State::RefillBytewise() {
    while (bitsLeft < kRefillBits) {
        if (inNext == inEnd && !inputEnded) PullInput((kRefillBits - bitsLeft + 7) / 8);
        if (inNext != inEnd)
            bitBuf |= uint64_t{*inNext++} << bitsLeft;
        else
            ++padBytes; // nothing past the input was ever loaded, so these bits are 0
        bitsLeft += 8;
    }
}

// The next n (<= 32) bits; zeros past the end of the input, which PaddingUsed() reveals.
uint32_t TInflater::State::ReadBits(unsigned n) {
    if (bitsLeft < n) RefillBytewise();
    const auto value = static_cast<uint32_t>(LowBits(bitBuf, n));
    Drop(n);
    return value;
}

// Looks up the next codeword, following a subtable link. Needs kMaxCodeLength
// bits in the buffer; consumes only a link's root bits, not the codeword.
uint32_t TInflater::State::LookUp(const uint32_t* table, unsigned rootBits) {
    uint32_t entry = table[LowBits(bitBuf, rootBits)];
    if (entry & kEntryLink) {
        Drop(EntryBits(entry));
        entry = table[EntryValue(entry) + LowBits(bitBuf, EntryCodeLength(entry))];
    }
    return entry;
}

// ---- Output ---------------------------------------------------------------

bool TInflater::State::Emit(const uint8_t* data, size_t size) {
    if (!(*sink)(data, size)) return false;
    totalOut += size;
    return true;
}

// Sends the kPiecesPerFlush whole pieces after the history and moves the new
// history (and what was decoded past the pieces) to the front.
bool TInflater::State::FlushFullPieces() {
    for (size_t k = 0; k < kPiecesPerFlush; ++k)
        if (!Emit(window.data() + kHistorySize + k * kWindowSize, kWindowSize)) return false;
    std::memmove(window.data(), window.data() + kFlushSpan, outPos - kFlushSpan);
    outPos -= kFlushSpan;
    return true;
}

// Sends what is left after decoding ended with `result`: whole pieces, then the
// short last one. A refused whole piece is an output failure whatever happened
// later in the stream, since it was complete before that; a refused last piece
// only when the stream itself was fine.
TInflateResult TInflater::State::FlushRest(TInflateResult result) {
    size_t pos = kHistorySize;
    for (; outPos - pos >= kWindowSize; pos += kWindowSize)
        if (!Emit(window.data() + pos, kWindowSize)) return TInflateResult::OutputFailed;
    if (outPos > pos && !Emit(window.data() + pos, outPos - pos) && result == TInflateResult::Done)
        return TInflateResult::OutputFailed;
    return result;
}

// ---- Blocks ---------------------------------------------------------------

// Each block function returns Done when its block ended cleanly.
TInflateResult TInflater::State::DecodeStream() {
    for (;;) {
        const uint32_t header = ReadBits(3); // BFINAL, then BTYPE
        if (PaddingUsed()) return TInflateResult::Truncated;
        TInflateResult result;
        switch (header >> 1) {
        case 0: result = CopyStoredBlock(); break;
        case 1: result = DecodeCodes(FixedTables(), TInflateResult::BadFixedCode); break;
        case 2: result = DecodeDynamicBlock(); break;
        default: return TInflateResult::BadBlockType;
        }
        if (result != TInflateResult::Done || (header & 1)) return result;
    }
}

// Stored block: skip to a byte boundary, LEN and its complement NLEN, LEN bytes.
TInflateResult TInflater::State::CopyStoredBlock() {
    Drop(bitsLeft % 8);
    const uint32_t len = ReadBits(16);
    const uint32_t nlen = ReadBits(16);
    if (PaddingUsed()) return TInflateResult::Truncated;
    if (len != (~nlen & 0xFFFF)) return TInflateResult::StoredLengthMismatch;

    size_t left = len;
    // Whole bytes still in the bit buffer come first.
    for (; left > 0 && bitsLeft > 0; --left) {
        if (bitsLeft <= 8 * padBytes) return TInflateResult::Truncated;
        if (outPos >= kOutputLimit && !FlushFullPieces()) return TInflateResult::OutputFailed;
        window[outPos++] = static_cast<uint8_t>(bitBuf);
        Drop(8);
    }
    if (bitsLeft == 0) bitBuf = 0; // forget bits loaded ahead of bytes copied directly
    while (left > 0) {
        if (outPos >= kOutputLimit && !FlushFullPieces()) return TInflateResult::OutputFailed;
        const size_t room = std::min(left, kOutputLimit - outPos);
        size_t n;
        if (Available() > 0) {
            n = std::min(room, Available());
            std::memcpy(window.data() + outPos, inNext, n);
            inNext += n;
        } else {
            // Nothing buffered: the caller writes the bytes straight into the
            // window, which saves a copy of incompressible data.
            if (inputEnded) return TInflateResult::Truncated;
            n = std::min((*pull)(window.data() + outPos, room), room);
            if (n == 0) {
                inputEnded = true;
                return TInflateResult::Truncated;
            }
        }
        outPos += n;
        left -= n;
    }
    return TInflateResult::Done;
}

TCodeTables TInflater::State::FixedTables() {
    if (!fixedBuilt) {
        // Both codes are complete, so neither build can fail.
        constexpr auto fixedDistLengths = [] {
            std::array<uint8_t, kNumDistSymbols> lengths{};
            lengths.fill(5);
            return lengths;
        }();
        BuildDecodeTable(fixedLitLen.data(), fixedLitLen.size(), kFixedLitLenLengths.data(),
                         kNumLitLenSymbols, kLitLenResults.data(), kLitLenRootBits, false);
        BuildDecodeTable(fixedDist.data(), fixedDist.size(), fixedDistLengths.data(),
                         kNumDistSymbols, kDistResults.data(), kDistRootBits, false);
        fixedBuilt = true;
    }
    return {fixedLitLen.data(), fixedDist.data()};
}

// Dynamic block header: HLIT, HDIST, HCLEN, the code-length code, then the
// literal/length and distance code lengths coded with it.
TInflateResult TInflater::State::DecodeDynamicBlock() {
    // HLIT and HDIST are 5-bit fields, so no stream can declare more codes than
    // the tables hold (TooManyCodes is unreachable in this format).
    static_assert(257 + 31 <= kNumLitLenSymbols && 1 + 31 <= kNumDistSymbols);
    const unsigned numLitLen = ReadBits(5) + 257;
    const unsigned numDist = ReadBits(5) + 1;
    const unsigned numPrecode = ReadBits(4) + 4;

    uint8_t precodeLengths[kNumPrecodeSymbols] = {};
    for (unsigned i = 0; i < numPrecode; ++i)
        precodeLengths[kPrecodeOrder[i]] = static_cast<uint8_t>(ReadBits(3));
    if (PaddingUsed()) return TInflateResult::Truncated;
    if (!BuildDecodeTable(precode.data(), precode.size(), precodeLengths, kNumPrecodeSymbols,
                          kPrecodeResults.data(), kPrecodeRootBits, false))
        return TInflateResult::BadCodeLengthCode;

    const TInflateResult lengthsResult = ReadCodeLengths(numLitLen + numDist);
    if (lengthsResult != TInflateResult::Done) return lengthsResult;
    // The RFC lets a block use no distance codes at all (all-literal data).
    if (!BuildDecodeTable(dynamicLitLen.data(), dynamicLitLen.size(), lengths.data(), numLitLen,
                          kLitLenResults.data(), kLitLenRootBits, false) ||
        !BuildDecodeTable(dynamicDist.data(), dynamicDist.size(), lengths.data() + numLitLen,
                          numDist, kDistResults.data(), kDistRootBits, true))
        return TInflateResult::BadCodeLengths;
    return DecodeCodes({dynamicLitLen.data(), dynamicDist.data()}, TInflateResult::BadDynamicCode);
}

// Decodes `total` code lengths into `lengths`: symbols 0-15 are lengths, 16
// repeats the previous length 3-6 times, 17 and 18 give 3-10 and 11-138 zeros.
// A repeat before any length repeats zero. Runs may cross from the literal/length
// lengths into the distance lengths, as RFC 1951 3.2.7 allows.
TInflateResult TInflater::State::ReadCodeLengths(unsigned total) {
    uint8_t previous = 0;
    for (unsigned i = 0; i < total;) {
        if (bitsLeft < kPrecodeRootBits + 7) RefillBytewise();
        const uint32_t entry = precode[LowBits(bitBuf, kPrecodeRootBits)];
        Drop(EntryBits(entry));
        if (entry & kEntryInvalid)
            return PaddingUsed() ? TInflateResult::Truncated : TInflateResult::BadCodeLengthCode;
        const uint32_t sym = EntryValue(entry);
        if (sym < 16) {
            lengths[i++] = previous = static_cast<uint8_t>(sym);
            continue;
        }
        unsigned run;
        if (sym == 16) {
            run = 3 + ReadBits(2);
        } else {
            run = sym == 17 ? 3 + ReadBits(3) : 11 + ReadBits(7);
            previous = 0;
        }
        if (run > total - i)
            return PaddingUsed() ? TInflateResult::Truncated : TInflateResult::LengthRunPastEnd;
        std::fill_n(lengths.data() + i, run, previous);
        i += run;
    }
    return PaddingUsed() ? TInflateResult::Truncated : TInflateResult::Done;
}

// Decodes the block's symbols until its end-of-block code. The fast loop runs
// while a whole iteration's input and output fit without checks; the careful
// path takes one symbol at a time at the very end of the input.
TInflateResult TInflater::State::DecodeCodes(const TCodeTables& tables, TInflateResult badCode) {
    for (;;) {
        if (outPos >= kOutputLimit && !FlushFullPieces()) return TInflateResult::OutputFailed;
        FillInput();
        const TStep step =
            Available() >= kFastInputMargin ? DecodeFast(tables) : DecodeOneSymbol(tables);
        switch (step) {
        case TStep::More: break;
        case TStep::BlockEnd: return TInflateResult::Done;
        case TStep::BadCode: return badCode;
        case TStep::Truncated: return TInflateResult::Truncated;
        case TStep::OutputFailed: return TInflateResult::OutputFailed;
        }
    }
}

// One symbol (a literal, the end of the block, or a length with its distance)
// near the end of the input, where refills may run into the zero padding: nothing
// is written unless all of the symbol's bits were real input.
TStep TInflater::State::DecodeOneSymbol(const TCodeTables& tables) {
    RefillBytewise();
    uint32_t entry = LookUp(tables.litLen, kLitLenRootBits);
    if (!(entry & (kEntryLiteral | kEntryEnd | kEntryInvalid))) {
        const uint64_t lengthBits = bitBuf;
        Drop(EntryBits(entry));
        const uint32_t length = EntryWithExtra(entry, lengthBits);
        entry = LookUp(tables.dist, kDistRootBits);
        if (entry & kEntryInvalid) return PaddingUsed() ? TStep::Truncated : TStep::BadCode;
        const uint64_t distBits = bitBuf;
        Drop(EntryBits(entry));
        if (PaddingUsed()) return TStep::Truncated;
        CopyMatch(window.data() + outPos, EntryWithExtra(entry, distBits), length);
        outPos += length;
        return TStep::More;
    }
    Drop(EntryBits(entry));
    if (PaddingUsed()) return TStep::Truncated;
    if (entry & kEntryInvalid) return TStep::BadCode;
    if (entry & kEntryEnd) return TStep::BlockEnd;
    window[outPos++] = static_cast<uint8_t>(EntryValue(entry));
    return TStep::More;
}

// The hot loop: bench/inflate_bench.cpp measures it against zlib and libdeflate,
// which is why it is one function with the bit buffer and both positions in
// locals, takes up to three literals per refill (a literal codeword has at most
// 15 bits; 3 x 15 <= 56), and looks up the next symbol before copying a match so
// the table load overlaps the copy. Each iteration starts with the bit buffer
// refilled and the next literal/length entry looked up, and refills at most twice
// (hence kFastInputMargin). Runs while that margin of input remains and the write
// position is below kOutputLimit, so it never reads the padding and every symbol
// has room.
TStep TInflater::State::DecodeFast(const TCodeTables& tables) {
    const uint32_t* const litLen = tables.litLen;
    const uint32_t* const dist = tables.dist;
    constexpr uint64_t litLenMask = (uint64_t{1} << kLitLenRootBits) - 1;
    constexpr uint64_t distMask = (uint64_t{1} << kDistRootBits) - 1;
    uint64_t bits = bitBuf;
    // Only the low 8 bits of `left` count: whole entries are subtracted from it
    // (their low byte is the bits they consume), which only disturbs the bits above.
    uint32_t left = bitsLeft;
    const uint8_t* in = inNext;
    const uint8_t* const inEndLocal = inEnd;
    uint8_t* out = window.data() + outPos;
    uint8_t* const outLimit = window.data() + kOutputLimit;

    // Loads 8 bytes above the valid bits and counts the whole bytes that fit,
    // leaving 56 to 63 valid bits.
    auto refill = [&] {
        bits |= LoadLE64(in) << static_cast<uint8_t>(left);
        in += 7 - ((left >> 3) & 7);
        left |= kRefillBits;
    };
    auto consume = [&](uint32_t entry) {
        bits >>= static_cast<uint8_t>(entry);
        left -= entry;
    };

    TStep step = TStep::More;
    refill();
    uint32_t entry = litLen[bits & litLenMask];
    do {
        if (entry & kEntryLiteral) {
            consume(entry);
            *out++ = static_cast<uint8_t>(EntryValue(entry));
            entry = litLen[bits & litLenMask];
            if (entry & kEntryLiteral) {
                consume(entry);
                *out++ = static_cast<uint8_t>(EntryValue(entry));
                entry = litLen[bits & litLenMask];
                if (entry & kEntryLiteral) {
                    consume(entry);
                    *out++ = static_cast<uint8_t>(EntryValue(entry));
                    refill();
                    entry = litLen[bits & litLenMask];
                    continue;
                }
            }
            // At least 26 bits were left for this entry's root lookup; top up for
            // the length and distance that may follow.
            refill();
        }
        if (entry & kEntryLink) {
            consume(entry & 0xFF);
            entry = litLen[EntryValue(entry) + LowBits(bits, EntryCodeLength(entry))];
            if (entry & kEntryLiteral) {
                consume(entry);
                *out++ = static_cast<uint8_t>(EntryValue(entry));
                refill();
                entry = litLen[bits & litLenMask];
                continue;
            }
        }
        if (entry & (kEntryEnd | kEntryInvalid)) {
            if (entry & kEntryInvalid) {
                step = TStep::BadCode;
                break;
            }
            consume(entry);
            step = TStep::BlockEnd;
            break;
        }
        const uint32_t length = EntryWithExtra(entry, bits);
        consume(entry);

        entry = dist[bits & distMask];
        if (entry & kEntryLink) {
            consume(entry & 0xFF);
            entry = dist[EntryValue(entry) + LowBits(bits, EntryCodeLength(entry))];
        }
        if (entry & kEntryInvalid) {
            step = TStep::BadCode;
            break;
        }
        const uint32_t distance = EntryWithExtra(entry, bits);
        consume(entry);
        refill();
        entry = litLen[bits & litLenMask];
        out = CopyMatch(out, distance, length);
    } while (static_cast<size_t>(inEndLocal - in) >= kFastInputMargin && out < outLimit);

    bitBuf = bits;
    bitsLeft = static_cast<uint8_t>(left);
    inNext = in;
    outPos = static_cast<size_t>(out - window.data());
    return step;
}

// ---------------------------------------------------------------------------

TInflater::TInflater() : state_(std::make_unique<State>()) {}

TInflater::~TInflater() = default;

TInflateResult TInflater::Inflate(const Input& input, const Output& output) {
    State& s = *state_;
    s.Begin(input, output);
    TInflateResult result = s.DecodeStream();
    if (result != TInflateResult::OutputFailed) result = s.FlushRest(result);
    s.pull = nullptr;
    s.sink = nullptr;
    return result;
}

uint64_t TInflater::TotalOut() const {
    return state_->totalOut;
}

} // namespace vro
