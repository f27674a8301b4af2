// The shape every streaming decoder of the engine shares: compressed bytes are
// pulled from the caller, decoded bytes pushed to the caller's sink in pieces of
// one window (32 KiB), the last piece shorter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vro {

// Fills up to capacity bytes; returns how many, 0 when the input is used up (or
// the caller wants the decoding to stop).
using TCodecInput = std::function<size_t(uint8_t* buffer, size_t capacity)>;
// Takes one piece of output; false when it could not be stored.
using TCodecOutput = std::function<bool(const uint8_t* data, size_t size)>;

inline constexpr size_t kCodecWindowSize = 32768;

} // namespace vro
