#include "engine/vroUuCodec.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace vro {

namespace {

constexpr int32_t kFullLineCount = 45;
constexpr size_t kTableHalf = 32;
constexpr const char* kXxCharacters =
    "+-0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

std::string UuCharacters() {
    std::string chars(1, '`');
    for (char c = '!'; c <= '_'; ++c)
        chars.push_back(c);
    return chars;
}

// Encoded characters a line of n bytes needs after its count character.
size_t CharactersFor(int32_t n) {
    return static_cast<size_t>((n + 2) / 3 * 4);
}

bool IsEndLine(std::string_view line) {
    while (!line.empty() && (line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return line == "end";
}

// Which encoding a first data line is in: a full line says it by its marker;
// a shorter one (a small file) by a count that fits the line's length.
std::optional<TUuAlphabet> DetectEncoding(std::string_view line) {
    const TUuAlphabet uu = TUuAlphabet::Uu(), xx = TUuAlphabet::Xx();
    if (line.empty()) return std::nullopt;
    if (line[0] == uu.FullLineMarker()) return uu;
    if (line[0] == xx.FullLineMarker()) return xx;
    for (const TUuAlphabet& a : {uu, xx}) {
        const int32_t n = a.Value(line[0]);
        const size_t need = CharactersFor(n);
        // Some encoders add a check character or two after the data.
        if (n > 0 && line.size() - 1 >= need && line.size() - 1 <= need + 2 &&
            std::all_of(line.begin() + 1, line.end(), [&](char c) { return a.Value(c) >= 0; }))
            return a;
    }
    return std::nullopt;
}

class TPieces {
public:
    explicit TPieces(const TCodecOutput& sink) : sink_(sink) { piece_.reserve(kCodecWindowSize); }
    bool Append(const uint8_t* data, size_t n) {
        piece_.insert(piece_.end(), data, data + n);
        size_ += n;
        return piece_.size() < kCodecWindowSize || Flush();
    }
    bool Flush() {
        const bool ok = piece_.empty() || sink_(piece_.data(), piece_.size());
        piece_.clear();
        return ok;
    }
    uint64_t Size() const { return size_; }

private:
    const TCodecOutput& sink_;
    std::vector<uint8_t> piece_;
    uint64_t size_ = 0;
};

// Decodes one data line into bytes; false when it is damaged. A line whose count
// character is outside the encoding carries nothing.
bool DecodeLine(const TUuAlphabet& a, std::string_view line, std::vector<uint8_t>& bytes) {
    bytes.clear();
    if (line.empty()) return true;
    const int32_t n = a.Value(line[0]);
    if (n <= 0) return true;
    if (line.size() - 1 < CharactersFor(n)) return false;
    for (size_t at = 1; bytes.size() < static_cast<size_t>(n); at += 4) {
        int32_t v[4];
        for (int k = 0; k < 4; ++k)
            if ((v[k] = a.Value(line[at + k])) < 0) return false;
        const uint8_t group[3] = {static_cast<uint8_t>(v[0] << 2 | v[1] >> 4),
                                  static_cast<uint8_t>(v[1] << 4 | v[2] >> 2),
                                  static_cast<uint8_t>(v[2] << 6 | v[3])};
        const size_t take = std::min<size_t>(3, static_cast<size_t>(n) - bytes.size());
        bytes.insert(bytes.end(), group, group + take);
    }
    return true;
}

} // namespace

TUuAlphabet::TUuAlphabet(std::string_view characters) {
    values_.fill(-1);
    for (size_t i = characters.size(); i-- > 0;)
        values_[static_cast<uint8_t>(characters[i])] = static_cast<int8_t>(i);
    if (characters.size() > kFullLineCount) fullLine_ = characters[kFullLineCount];
}

TUuAlphabet TUuAlphabet::Uu() {
    TUuAlphabet a(UuCharacters());
    a.values_[' '] = 0;
    return a;
}

TUuAlphabet TUuAlphabet::Xx() {
    return TUuAlphabet(kXxCharacters);
}

std::optional<std::string> UuBeginName(std::string_view line) {
    if (!line.starts_with("begin ")) return std::nullopt;
    line.remove_prefix(6);
    const size_t mode = line.find(' ');
    if (mode == std::string_view::npos || mode == 0) return std::nullopt;
    std::string_view name = line.substr(mode + 1);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
        name.remove_suffix(1);
    return std::string(name);
}

std::string UuVolumeName(const std::string& first, int32_t number) {
    const std::filesystem::path path(first);
    std::string name = path.filename().string();
    const size_t digits = name.size() - (name.find_last_not_of("0123456789") + 1);
    std::string count = std::to_string(number);
    if (digits > 0) {
        count = std::to_string(std::stoll(name.substr(name.size() - digits)) + number);
        if (count.size() < digits) count.insert(0, digits - count.size(), '0');
        name = name.substr(0, name.size() - digits) + count;
    } else if (const size_t dot = name.rfind('.'); dot != std::string::npos) {
        const size_t extension = name.size() - dot - 1;
        name = extension >= count.size() ? name.substr(0, name.size() - count.size()) + count
                                         : name.substr(0, dot + 1) + count;
    } else {
        name += count;
    }
    return (path.parent_path() / name).string();
}

bool TUuLineReader::Next(std::string& line) {
    line.clear();
    bool any = false;
    for (;;) {
        if (next_ == end_) {
            if (ended_) return any;
            end_ = std::min(input_(buffer_.data(), buffer_.size()), buffer_.size());
            next_ = 0;
            if (end_ == 0) {
                ended_ = true;
                return any;
            }
        }
        const char c = static_cast<char>(buffer_[next_++]);
        any = true;
        if (c == '\n') return true;
        if (c != '\r' && line.size() < kMaxLength) line.push_back(c);
    }
}

TUuOutcome DecodeUuText(const TUuText& text, const TCodecOutput& output) {
    TUuOutcome outcome;
    std::string line;
    std::optional<TUuAlphabet> alphabet;
    std::optional<std::string> name;
    for (int32_t n = 0; n < text.MaxHeaderLines && !name && text.ReadLine(line); ++n) {
        if (line.starts_with("table")) {
            std::string first, second;
            if (text.ReadLine(first) && text.ReadLine(second))
                alphabet.emplace(first.substr(0, kTableHalf) + second.substr(0, kTableHalf));
        } else {
            name = UuBeginName(line);
        }
    }
    if (!name) return outcome.Result = TUuResult::NoBegin, outcome;
    if (text.Begin && !text.Begin(*name)) return outcome.Stopped = true, outcome;

    TPieces pieces(output);
    std::vector<uint8_t> bytes;
    char fullLine = 0;
    bool seenData = false, continued = false;
    for (;;) {
        if (!text.ReadLine(line)) {
            if (!text.NextVolume || !text.NextVolume()) break;
            continued = true;
            continue;
        }
        if (continued) {
            // A later volume starts with header lines of its own: data resumes
            // after its "begin" line or at its first full line.
            if (UuBeginName(line)) {
                continued = false;
                continue;
            }
            if (line.empty() || line[0] != fullLine) continue;
            continued = false;
        }
        if (IsEndLine(line)) {
            outcome.Result = pieces.Flush() ? TUuResult::Done : TUuResult::OutputFailed;
            outcome.Size = pieces.Size();
            return outcome;
        }
        if (!seenData) {
            if (line.empty()) continue;
            if (!alphabet) alphabet = DetectEncoding(line);
            if (!alphabet) return outcome.Result = TUuResult::UnknownEncoding, outcome;
            fullLine = alphabet->FullLineMarker() ? alphabet->FullLineMarker() : line[0];
            seenData = true;
        }
        if (!DecodeLine(*alphabet, line, bytes)) {
            pieces.Flush();
            outcome.Size = pieces.Size();
            outcome.Line = line;
            outcome.Result = TUuResult::BadLine;
            return outcome;
        }
        if (!bytes.empty() && !pieces.Append(bytes.data(), bytes.size()))
            return outcome.Result = TUuResult::OutputFailed, outcome;
    }
    outcome.Result = pieces.Flush() ? TUuResult::NoEnd : TUuResult::OutputFailed;
    outcome.Size = pieces.Size();
    return outcome;
}

} // namespace vro
