// DEFLATE decoding (RFC 1951), streaming: compressed bytes are pulled from the
// caller as needed and the output is pushed to the caller's sink in 32 KiB pieces
// (the window size), the last piece shorter. One TInflater owns all of its state,
// so two extractions never share anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace vro {

// How a stream ended. Each failure has its own value; the format layer maps them
// onto the engine's messages.
enum class TInflateResult : uint8_t {
    Done,                 // the final block ended
    BadBlockType,         // block type 3
    StoredLengthMismatch, // a stored block's LEN is not the complement of NLEN
    Truncated,            // the input ended inside the stream
    BadFixedCode,         // a fixed block holds a code that does not decode (286, 287, 30, 31)
    TooManyCodes,         // more than 288 literal/length or 32 distance codes declared
    BadCodeLengthCode,    // the code-length code is over-subscribed or incomplete
    LengthRunPastEnd,     // a repeat of code lengths runs past the declared count
    BadCodeLengths,       // literal/length or distance lengths are over-subscribed or incomplete
    BadDynamicCode,       // a dynamic block holds a code that does not decode
    OutputFailed,         // the sink refused a piece
};

class TInflater {
public:
    // Fills up to capacity bytes; returns how many, 0 when the input is used up
    // (or the caller wants the decoding to stop).
    using Input = std::function<size_t(uint8_t* buffer, size_t capacity)>;
    // Takes one piece of output; false when it could not be stored.
    using Output = std::function<bool(const uint8_t* data, size_t size)>;

    static constexpr size_t kWindowSize = 32768;

    TInflater();
    ~TInflater();
    TInflater(const TInflater&) = delete;
    TInflater& operator=(const TInflater&) = delete;

    // Decodes one whole DEFLATE stream. All output decoded before the end or a
    // failure has been passed to the sink when this returns. A match reaching
    // back before the first byte of the stream reads zeros.
    TInflateResult Inflate(const Input& input, const Output& output);

    // Total bytes written to the sink by the last Inflate.
    uint64_t TotalOut() const;

private:
    struct State;
    std::unique_ptr<State> state_;
};

} // namespace vro
