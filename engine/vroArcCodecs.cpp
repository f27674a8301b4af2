#include "engine/vroArcCodecs.h"

#include <algorithm>
#include <array>
#include <memory>

#include "engine/vroBitInput.h"
#include "engine/vroLzw.h"
#include "engine/vroOutWindow.h"

namespace vro {

namespace {

constexpr int32_t kEnd = TLsbBitInput::kEndOfInput;

// ---------------------------------------------------------------------------
// Output: the window, optionally behind ARC's run-length expansion

// 0x90 n repeats the previous byte n - 1 more times; 0x90 0 is a literal 0x90
// (which does not become the byte to repeat).
class TArcSink {
public:
    TArcSink(TOutWindow& window, bool runLength) : window_(window), runLength_(runLength) {}

    void Put(uint8_t byte) {
        if (!runLength_) return PutRaw(byte);
        if (afterMarker_) {
            afterMarker_ = false;
            if (byte == 0) return PutRaw(kRunMarker);
            for (int i = 1; i < byte; ++i)
                PutRaw(previous_);
            return;
        }
        if (byte == kRunMarker) {
            afterMarker_ = true;
            return;
        }
        previous_ = byte;
        PutRaw(byte);
    }

    // No more output is wanted: the declared size is reached or the sink failed.
    bool Stopped() const { return window_.Full() || window_.Failed(); }

private:
    static constexpr uint8_t kRunMarker = 0x90;

    void PutRaw(uint8_t byte) {
        if (!window_.Full()) window_.Put(byte);
    }

    TOutWindow& window_;
    const bool runLength_;
    bool afterMarker_ = false;
    uint8_t previous_ = 0;
};

// Emits a string unwound onto a stack (last character first) in reading order.
template <typename Stack> void PutReversed(TArcSink& out, const Stack& stack, size_t depth) {
    while (depth > 0)
        out.Put(stack[--depth]);
}

// ---------------------------------------------------------------------------
// Methods 1-3: the bytes as they are (run-length expanded for method 3)

TArcResult CopyBytes(TLsbBitInput& in, TArcSink& out) {
    for (int32_t byte; !out.Stopped() && (byte = in.Read(8)) != kEnd;)
        out.Put(static_cast<uint8_t>(byte));
    return TArcResult::Done;
}

// ---------------------------------------------------------------------------
// Method 4: squeezed. A node count, the nodes (two 16-bit children each: a
// negative child -(b + 1) is the leaf for byte b, 256 being the end of data), then
// the codes, least significant bit first.

constexpr int kMaxNodes = 256;
constexpr int kSqueezeEnd = 256;

TArcResult Unsqueeze(TLsbBitInput& in, TArcSink& out) {
    const int32_t count = in.Read(16);
    if (count == kEnd) return TArcResult::Done;
    if (count > kMaxNodes) return TArcResult::BadTree;
    std::array<std::array<int16_t, 2>, kMaxNodes> nodes{};
    for (int32_t n = 0; n < count; ++n) {
        for (int16_t& child : nodes[n]) {
            const int32_t v = in.Read(16);
            if (v == kEnd) return TArcResult::Done;
            child = static_cast<int16_t>(v);
        }
    }
    if (count == 0) return TArcResult::Done;
    while (!out.Stopped()) {
        int32_t node = 0;
        while (node >= 0) {
            const int32_t bit = in.Read(1);
            if (bit == kEnd) return TArcResult::Done;
            node = nodes[node][bit];
            if (node >= count) return TArcResult::BadTree;
        }
        const int32_t leaf = -(node + 1);
        if (leaf == kSqueezeEnd) return TArcResult::Done;
        if (leaf > kSqueezeEnd) return TArcResult::BadTree;
        out.Put(static_cast<uint8_t>(leaf));
    }
    return TArcResult::Done;
}

// ---------------------------------------------------------------------------
// Methods 5-7: crunched with a hashed string table. Every string lives in the
// slot its (predecessor, follower) pair hashes to; collisions chain to a slot
// found by probing from 101 past the chain's end. 12-bit codes, two in three
// bytes, high bits first.

constexpr int kHashSlots = 4096;
constexpr uint16_t kNoPredecessor = 0xFFFF;
constexpr size_t kHashedStack = 4095;

class THashedTable {
public:
    explicit THashedTable(bool newerHash) : newerHash_(newerHash) {
        for (int c = 0; c < 256; ++c)
            Add(kNoPredecessor, static_cast<uint8_t>(c));
    }

    struct TSlot {
        bool Used = false;
        uint16_t Next = 0; // chain link; 0 ends the chain
        uint16_t Predecessor = 0;
        uint8_t Follower = 0;
    };

    const TSlot& operator[](uint32_t code) const { return slots_[code]; }

    void Add(uint16_t predecessor, uint8_t follower) {
        TSlot& s = slots_[Place(predecessor, follower)];
        s = {true, 0, predecessor, follower};
    }

private:
    uint32_t Hash(uint16_t predecessor, uint8_t follower) const {
        const uint32_t key = (predecessor + follower) & 0xFFFF;
        if (newerHash_) return (key * 15073) & 0xFFF;
        // The older hash: the middle twelve bits of the square.
        const uint32_t v = key | 0x800;
        return ((v * v) >> 6) & 0xFFF;
    }

    // The caller adds at most kHashSlots entries, so a free slot always exists.
    uint32_t Place(uint16_t predecessor, uint8_t follower) {
        uint32_t slot = Hash(predecessor, follower);
        if (!slots_[slot].Used) return slot;
        for (int hops = 0; slots_[slot].Next != 0 && hops < kHashSlots; ++hops)
            slot = slots_[slot].Next;
        uint32_t free = (slot + 101) & 0xFFF;
        while (slots_[free].Used)
            free = (free + 1) & 0xFFF;
        slots_[slot].Next = static_cast<uint16_t>(free);
        return free;
    }

    const bool newerHash_;
    std::array<TSlot, kHashSlots> slots_{};
};

// Reads the 12-bit codes: the first of a pair is a byte and the high nibble of
// the next; the second is that byte's low nibble and one more byte.
class TCodePairs {
public:
    explicit TCodePairs(TLsbBitInput& in) : in_(in) {}
    int32_t Next() {
        const int32_t a = in_.Read(8);
        if (a == kEnd) return kEnd;
        if ((first_ = !first_)) {
            const int32_t b = in_.Read(8);
            if (b == kEnd) return kEnd;
            held_ = b & 0x0F;
            return a << 4 | b >> 4;
        }
        return held_ << 8 | a;
    }

private:
    TLsbBitInput& in_;
    bool first_ = false;
    int32_t held_ = 0;
};

TArcResult Uncrunch(TLsbBitInput& in, TArcSink& out, bool newerHash) {
    THashedTable table(newerHash);
    TCodePairs codes(in);
    int32_t oldCode = codes.Next();
    if (oldCode == kEnd) return TArcResult::Done;
    uint8_t finChar = table[oldCode].Follower;
    out.Put(finChar);
    int additionsLeft = kHashSlots - 256;
    std::array<uint8_t, kHashedStack> stack;
    for (int32_t code; !out.Stopped() && (code = codes.Next()) != kEnd;) {
        const int32_t newCode = code;
        const bool known = table[code].Used;
        const uint8_t lastChar = finChar;
        if (!known) code = oldCode;
        size_t depth = 0;
        while (table[code].Predecessor != kNoPredecessor) {
            if (depth == stack.size()) return TArcResult::StackOverflow;
            stack[depth++] = table[code].Follower;
            code = table[code].Predecessor;
        }
        finChar = table[code].Follower;
        out.Put(finChar);
        PutReversed(out, stack, depth);
        if (!known) out.Put(lastChar);
        if (additionsLeft > 0) {
            table.Add(static_cast<uint16_t>(oldCode), finChar);
            --additionsLeft;
        }
        oldCode = newCode;
    }
    return TArcResult::Done;
}

// ---------------------------------------------------------------------------
// Methods 8 and 9: the Unix compress format in block mode, widest code 12 or 13
// bits, without its header (method 8 keeps the width byte). The engine's compress
// decoder reads them behind the missing header; its output goes on through this
// method's stage (run-length expansion for method 8, the declared size).

constexpr int kCrunchBits = 12;
constexpr int kSquashBits = 13;
constexpr uint8_t kBlockMode = 0x80;

TArcResult DecodeCompressed(const TCodecInput& input, TArcSink& out, int maxBits) {
    const std::array<uint8_t, 3> header{0x1F, 0x9D, static_cast<uint8_t>(kBlockMode | maxBits)};
    size_t headerSent = 0;
    const TCodecInput framed = [&](uint8_t* buffer, size_t capacity) {
        if (headerSent == header.size()) return input(buffer, capacity);
        const size_t n = std::min(capacity, header.size() - headerSent);
        std::copy_n(header.data() + headerSent, n, buffer);
        headerSent += n;
        return n;
    };
    // Refusing a piece stops the decoder once no more output is wanted.
    const TCodecOutput stage = [&](const uint8_t* data, size_t size) {
        for (size_t i = 0; i < size && !out.Stopped(); ++i)
            out.Put(data[i]);
        return !out.Stopped();
    };
    const TLzwResult r = DecompressLzw(framed, stage);
    return r == TLzwResult::Done || r == TLzwResult::OutputFailed ? TArcResult::Done
                                                                  : TArcResult::BadCode;
}

TArcResult DecodeCrunch8(const TCodecInput& input, TArcSink& out) {
    uint8_t bits = 0;
    if (input(&bits, 1) == 0) return TArcResult::Done;
    if (bits != kCrunchBits) return TArcResult::BadBitCount;
    return DecodeCompressed(input, out, kCrunchBits);
}

// ---------------------------------------------------------------------------
// ZOO's LZW: 9 to 13 bit codes read straight on (no groups); 256 clears the
// table and is followed by a literal, 257 ends the data, 258 is the first string.

constexpr uint32_t kZooClear = 256;
constexpr uint32_t kZooEnd = 257;
constexpr uint32_t kZooFirstFree = 258;
constexpr int kZooMaxBits = 13;
constexpr uint32_t kZooTableSize = 1u << kZooMaxBits;

class TZooLzw {
public:
    TZooLzw(TLsbBitInput& in, TArcSink& out) : in_(in), out_(out) {}

    TArcResult Run() {
        bool started = false;
        while (!out_.Stopped()) {
            const int32_t code = in_.Read(width_);
            if (code == kEnd || static_cast<uint32_t>(code) == kZooEnd) return TArcResult::Done;
            if (static_cast<uint32_t>(code) == kZooClear) {
                if (!Restart()) return TArcResult::BadCode;
                started = true;
                continue;
            }
            if (!started && code >= 256) return TArcResult::BadCode;
            const TArcResult r = started ? String(code) : Literal(code);
            if (r != TArcResult::Done) return r;
            started = true;
        }
        return TArcResult::Done;
    }

private:
    // Fresh table; the next code is a character, output as it is.
    bool Restart() {
        width_ = 9;
        limit_ = 512;
        nextFree_ = kZooFirstFree;
        const int32_t code = in_.Read(width_);
        if (code == kEnd) return true;
        if (code >= 256) return false;
        Literal(code);
        return true;
    }

    TArcResult Literal(int32_t code) {
        oldCode_ = static_cast<uint32_t>(code);
        finChar_ = static_cast<uint8_t>(code);
        out_.Put(finChar_);
        return TArcResult::Done;
    }

    TArcResult String(int32_t code) {
        const auto inCode = static_cast<uint32_t>(code);
        uint32_t cur = inCode;
        size_t depth = 0;
        if (cur >= nextFree_) {
            if (cur > nextFree_) return TArcResult::BadCode;
            stack_[depth++] = finChar_;
            cur = oldCode_;
        }
        while (cur > 255) {
            if (depth == stack_.size()) return TArcResult::StackOverflow;
            stack_[depth++] = suffix_[cur];
            cur = prefix_[cur];
        }
        finChar_ = static_cast<uint8_t>(cur);
        out_.Put(finChar_);
        PutReversed(out_, stack_, depth);
        Add();
        oldCode_ = inCode;
        return TArcResult::Done;
    }

    // A full table takes no more strings: codes cannot name a slot beyond it.
    void Add() {
        if (nextFree_ >= kZooTableSize) return;
        prefix_[nextFree_] = static_cast<uint16_t>(oldCode_);
        suffix_[nextFree_] = finChar_;
        if (++nextFree_ >= limit_ && width_ < kZooMaxBits) {
            ++width_;
            limit_ <<= 1;
        }
    }

    TLsbBitInput& in_;
    TArcSink& out_;
    int width_ = 9;
    uint32_t limit_ = 512;
    uint32_t nextFree_ = kZooFirstFree;
    uint32_t oldCode_ = 0;
    uint8_t finChar_ = 0;
    std::array<uint16_t, kZooTableSize> prefix_{};
    std::array<uint8_t, kZooTableSize> suffix_{};
    std::array<uint8_t, kZooTableSize> stack_{};
};

TArcResult Finish(TArcResult r, TOutWindow& window) {
    const bool flushed = window.Flush();
    return r == TArcResult::Done && !flushed ? TArcResult::OutputFailed : r;
}

bool UsesRunLength(uint8_t method) {
    return method == 3 || method == 4 || (method >= 6 && method <= 8);
}

TArcResult ByMethod(uint8_t method, const TCodecInput& input, TArcSink& out) {
    if (method == 8) return DecodeCrunch8(input, out);
    if (method == 9) return DecodeCompressed(input, out, kSquashBits);
    TLsbBitInput in(input);
    switch (method) {
    case 1:
    case 2:
    case 3: return CopyBytes(in, out);
    case 4: return Unsqueeze(in, out);
    case 5:
    case 6: return Uncrunch(in, out, false);
    case 7: return Uncrunch(in, out, true);
    default: return TArcResult::UnknownMethod;
    }
}

} // namespace

TArcResult DecodeArcMethod(uint8_t method, const TCodecInput& input, const TCodecOutput& output,
                           uint64_t unpackedSize) {
    TOutWindow window(output, unpackedSize);
    TArcSink out(window, UsesRunLength(method));
    return Finish(ByMethod(method, input, out), window);
}

TArcResult DecodeZooLzw(const TCodecInput& input, const TCodecOutput& output,
                        uint64_t unpackedSize) {
    TLsbBitInput in(input);
    TOutWindow window(output, unpackedSize);
    TArcSink out(window, false);
    auto decoder = std::make_unique<TZooLzw>(in, out); // ~40 KiB of tables: not on the stack
    return Finish(decoder->Run(), window);
}

} // namespace vro
