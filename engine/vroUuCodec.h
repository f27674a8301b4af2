// UU and XX encoding, line by line: a text carries a file as "begin MODE NAME",
// data lines and "end". A data line starts with a character giving its byte count
// (45 on a full line), then four characters for every three bytes, six bits each,
// most significant first. The two encodings differ only in their 64 characters;
// a "table" header supplies a custom set. The text may be split over several
// volume files, each continuing where the last stopped.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/vroCodec.h"

namespace vro {

// The value of each character of one encoding, -1 for characters outside it.
class TUuAlphabet {
public:
    // The 64 characters in value order; the first occurrence of a repeated one wins.
    explicit TUuAlphabet(std::string_view characters);
    static TUuAlphabet Uu(); // "`" for 0 (and the space, as old encoders wrote), "!" to "_"
    static TUuAlphabet Xx(); // "+-0-9A-Za-z"

    int32_t Value(char c) const { return values_[static_cast<uint8_t>(c)]; }
    // The character that starts a full line: the count 45.
    char FullLineMarker() const { return fullLine_; }

private:
    std::array<int8_t, 256> values_{};
    char fullLine_ = 0;
};

// The file name of a "begin MODE NAME" line; nothing when the line is none.
std::optional<std::string> UuBeginName(std::string_view line);

// The name of volume `number` (the first being 0) of a set whose first volume is
// `first`: a name ending in a number (".001") counts on from it in the same width;
// otherwise the extension's last characters give way to the number (".uue",
// ".uu1", ".uu2", ..., ".u10").
std::string UuVolumeName(const std::string& first, int32_t number);

// Splits text pulled from an input into lines: line feeds end them, carriage
// returns are dropped, and a line is cut after kMaxLength characters (the rest
// of it is passed over), so a text without line ends takes bounded memory.
class TUuLineReader {
public:
    static constexpr size_t kMaxLength = 4096;

    // The callback is borrowed: it must outlive the reader.
    explicit TUuLineReader(const TCodecInput& input) : input_(input) {}
    // The next line; false at the end of the input.
    bool Next(std::string& line);
    // Starts over on a new input behind the same callback (the next volume).
    void Restart() { next_ = end_ = 0, ended_ = false; }

private:
    const TCodecInput& input_;
    std::array<uint8_t, 32768> buffer_{};
    size_t next_ = 0, end_ = 0;
    bool ended_ = false;
};

// How decoding a text ended.
enum class TUuResult : uint8_t {
    Done,            // "end" reached
    NoBegin,         // no "begin" line among the header lines
    UnknownEncoding, // the first data line starts with neither full-line marker
    BadLine,         // a data line holds fewer characters than its count needs, or
                     // characters outside the encoding
    NoEnd,           // the text (and its volumes) ended before "end"
    OutputFailed,    // the sink refused a piece
};

struct TUuText {
    // The next line of the current volume, without its line end; false at its end.
    std::function<bool(std::string& line)> ReadLine;
    // Moves on to the next volume; false when there is none.
    std::function<bool()> NextVolume;
    // Called with the name of the "begin" line; false stops before any data.
    std::function<bool(const std::string& name)> Begin;
    // Lines searched for "begin" in the first volume.
    int32_t MaxHeaderLines = 100;
};

struct TUuOutcome {
    TUuResult Result = TUuResult::Done;
    uint64_t Size = 0;    // bytes passed to the sink
    std::string Line;     // the offending line, for BadLine
    bool Stopped = false; // Begin said stop
};

// Decodes the first file the text carries; output goes to the sink in pieces of
// up to 32 KiB.
TUuOutcome DecodeUuText(const TUuText& text, const TCodecOutput& output);

} // namespace vro
