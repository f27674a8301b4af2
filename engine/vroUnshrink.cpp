// Unshrinking: decoding ZIP method 1 ("shrinking"), as the ZIP application note
// describes it. Shrinking is LZW with codes of 9 to 13 bits, least significant
// bit first, where code 256 announces a control code: 1 widens the codes by one
// bit, 2 clears every leaf of the code tree (a partial clear), so that the freed
// codes are reused for new strings instead of the table being thrown away whole.
//
// The code table is a tree kept as parent links: a string is found by walking
// from its last node to its root and reading the characters back to front, so
// each code costs one node and strings are never stored. Every table is fixed in
// size and every index is checked against it, so a hostile stream can neither
// reach outside the tables nor loop: a cycle of parent links (which only damaged
// data makes) ends at the stack limit.
#include <array>
#include <memory>
#include <optional>

#include "engine/vroBitInput.h"
#include "engine/vroLegacyZip.h"
#include "engine/vroOutWindow.h"

namespace vro {
namespace {

// The table holds the 8192 codes of 13 bits, shrinking's widest: 0-255 are the
// single bytes (the roots), 256 announces a control code, 257-8191 name strings.
constexpr int kCodeCount = 8192;
constexpr int32_t kControlCode = 256;
constexpr int32_t kFirstStringCode = 257;
constexpr int kStringCodeCount = kCodeCount - kFirstStringCode;
constexpr int kFirstWidth = 9;
constexpr int32_t kWiden = 1;
constexpr int32_t kPartialClear = 2;
// A string has at most one character per code besides its root, so a longer walk
// can only go round a cycle.
constexpr int kStackLimit = kCodeCount - 1;
constexpr int32_t kNoParent = -1;

// One code of the table. The roots (0-256) and the free codes have no parent; a
// code in use (257 and up) always has one. childCount counts the codes in use
// whose parent is this code, so a leaf (no child) is known without a search.
// It needs 16 bits: a damaged stream may add the same string many times.
struct TNode {
    int32_t parent = kNoParent;
    uint8_t character = 0;
    uint16_t childCount = 0;
};

struct TUnshrinker {
    TUnshrinker(const TCodecInput& input, const TCodecOutput& output, uint64_t maxOutput)
        : bits(input), window(output, maxOutput) {
        for (int code = 0; code < 256; ++code)
            nodes[code].character = static_cast<uint8_t>(code);
        for (int i = 0; i < kStringCodeCount; ++i)
            freeList[i] = static_cast<uint16_t>(kFirstStringCode + i);
    }

    TLegacyResult Run();
    // These return the failure that ends decoding, nothing when it goes on.
    std::optional<TLegacyResult> ReadControlCode();
    std::optional<TLegacyResult> DecodeString(int32_t code);
    void AddString(int32_t code);
    void PartialClear();
    bool IsFree(int32_t code) const;

    TLsbBitInput bits;
    TOutWindow window;
    int width = kFirstWidth;
    std::array<TNode, kCodeCount> nodes{};
    // Invariant: freeList[nextFree, kStringCodeCount) are exactly the free codes
    // of 257-8191, in the order they are handed out; the codes before nextFree
    // are in use, so nextFree also counts the codes in use.
    std::array<uint16_t, kStringCodeCount> freeList{};
    int nextFree = 0;
    // The characters of the string being decoded, last first.
    std::array<uint8_t, kStackLimit> stack{};
    int32_t previousCode = 0;
    uint8_t firstCharacter = 0; // of the string decoded last
};

// A string code not in use: 257 and up without a parent.
bool TUnshrinker::IsFree(int32_t code) const {
    return code >= kFirstStringCode && nodes[code].parent == kNoParent;
}

TLegacyResult TUnshrinker::Run() {
    if (window.Full()) return TLegacyResult::Done;
    // The first code has nothing before it to extend: it is a single byte.
    const int32_t first = bits.Read(width);
    if (first == TLsbBitInput::kEndOfInput) return TLegacyResult::Truncated;
    previousCode = first;
    firstCharacter = static_cast<uint8_t>(first);
    window.Put(firstCharacter);

    while (!window.Full()) {
        if (window.Failed()) return TLegacyResult::OutputFailed;
        const int32_t code = bits.Read(width);
        if (code == TLsbBitInput::kEndOfInput) return TLegacyResult::Truncated;
        const auto failure = code == kControlCode ? ReadControlCode() : DecodeString(code);
        if (failure) return *failure;
    }
    return TLegacyResult::Done;
}

std::optional<TLegacyResult> TUnshrinker::ReadControlCode() {
    const int32_t control = bits.Read(width);
    if (control == TLsbBitInput::kEndOfInput) return TLegacyResult::Truncated;
    if (control == kPartialClear) {
        PartialClear();
        return std::nullopt;
    }
    // Shrinking itself stops at 13 bits; the format sets no bound on widening
    // (wider codes are judged by their value), so the width stops only where a
    // read does.
    if (control != kWiden || width == TLsbBitInput::kMaxReadBits) return TLegacyResult::BadCode;
    ++width;
    return std::nullopt;
}

// Outputs the string of one data code, then adds the previous string plus this
// string's first character to the table.
std::optional<TLegacyResult> TUnshrinker::DecodeString(int32_t code) {
    if (code >= kCodeCount) return TLegacyResult::BadCode;
    const int32_t codeRead = code;
    int depth = 0;
    // A free code is the one the encoder added just before sending it, which
    // this side adds only below: the previous string plus its first character.
    if (IsFree(code)) {
        stack[depth++] = firstCharacter;
        code = previousCode;
    }
    for (; nodes[code].parent != kNoParent; code = nodes[code].parent) {
        if (depth == kStackLimit) return TLegacyResult::StackOverflow;
        stack[depth++] = nodes[code].character;
    }
    firstCharacter = nodes[code].character;
    window.Put(firstCharacter);
    while (depth > 0 && !window.Full())
        window.Put(stack[--depth]);
    if (nextFree < kStringCodeCount) AddString(freeList[nextFree++]);
    previousCode = codeRead;
    return std::nullopt;
}

void TUnshrinker::AddString(int32_t code) {
    nodes[code].parent = previousCode;
    nodes[code].character = firstCharacter;
    ++nodes[previousCode].childCount;
}

// Frees every leaf, that is every code in use without a child when the clear
// starts (a parent whose last child goes now stays until the next clear), and
// puts the freed codes at the front of the free list, lowest first.
void TUnshrinker::PartialClear() {
    std::array<uint16_t, kStringCodeCount> leaves;
    int leafCount = 0;
    for (int32_t code = kFirstStringCode; code < kCodeCount; ++code)
        if (!IsFree(code) && nodes[code].childCount == 0)
            leaves[leafCount++] = static_cast<uint16_t>(code);
    // Each leaf is a code in use, and nextFree counts those: the front has room.
    nextFree -= leafCount;
    for (int i = 0; i < leafCount; ++i) {
        TNode& leaf = nodes[leaves[i]];
        --nodes[leaf.parent].childCount;
        leaf = TNode{};
        freeList[nextFree + i] = leaves[i];
    }
}

} // namespace

TLegacyResult Unshrink(const TCodecInput& input, const TCodecOutput& output, uint64_t maxOutput) {
    // About 100 KiB of tables: on the heap, not the caller's stack.
    auto unshrinker = std::make_unique<TUnshrinker>(input, output, maxOutput);
    const TLegacyResult result = unshrinker->Run();
    if (!unshrinker->window.Flush() && result == TLegacyResult::Done)
        return TLegacyResult::OutputFailed;
    return result;
}

} // namespace vro
