#include "engine/vroTarHeader.h"

#include <algorithm>
#include <cstring>

namespace vro {

namespace {

// Long names and pax records are read up to this many bytes; a longer name is cut.
constexpr int64_t kMaxMetaData = 64 * 1024;
constexpr char kPosixMagic[6] = {'u', 's', 't', 'a', 'r', '\0'};

// The bytes of a fixed-width field before its first zero byte.
std::string_view FieldText(const uint8_t* field, int length) {
    const std::string_view all(reinterpret_cast<const char*>(field), static_cast<size_t>(length));
    return all.substr(0, all.find('\0'));
}

// Removes blanks and control characters at both ends, in place.
void TrimBlanks(std::string& s) {
    const auto blank = [](char c) { return static_cast<uint8_t>(c) <= ' '; };
    s.erase(std::find_if_not(s.rbegin(), s.rend(), blank).base(), s.end());
    s.erase(s.begin(), std::find_if_not(s.begin(), s.end(), blank));
}

// A pax decimal number; -1 when it is not one.
int64_t DecimalValue(std::string_view text) {
    if (text.empty() || text.size() > 18) return -1;
    int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

TTarNumber TarNumber(const uint8_t* field, int length) {
    TTarNumber r;
    if (field[0] & 0x80) {
        if (field[0] & 0x40) return r; // negative: not a size or a time we can use
        int64_t v = field[0] & 0x3F;
        for (int i = 1; i < length; ++i) {
            if (v > (INT64_MAX >> 8)) return r;
            v = v << 8 | field[i];
        }
        return {v, true};
    }
    for (int i = 0; i < length && field[i] != 0; ++i) {
        if (field[i] < '0' || field[i] > '7') continue;
        if (r.Value > (INT64_MAX >> 3)) return {0, false}; // too many digits to be real
        r.Value = r.Value << 3 | (field[i] - '0');
        r.Digits = true;
    }
    return r;
}

bool TarChecksumMatches(const uint8_t* block) {
    const TTarNumber stored = TarNumber(block + tar::kChecksum, tar::kChecksumLength);
    if (!stored.Digits) return false;
    int64_t unsignedSum = 0, signedSum = 0;
    for (int i = 0; i < tar::kBlockSize; ++i) {
        const bool inField = i >= tar::kChecksum && i < tar::kChecksum + tar::kChecksumLength;
        const uint8_t b = inField ? ' ' : block[i];
        unsignedSum += b;
        signedSum += static_cast<int8_t>(b);
    }
    return stored.Value == unsignedSum || stored.Value == signedSum;
}

bool TTarNames::TakeRecord(char type, int64_t size, const DataReader& read) {
    const auto data = [&] { return read(std::clamp<int64_t>(size, 0, kMaxMetaData)); };
    switch (type) {
    case 'L': // GNU long name: the data is the next header's name
        pendingName_ = data();
        pendingName_.resize(std::strlen(pendingName_.c_str()));
        return true;
    case 'K': // GNU long link name
        pendingLink_ = data();
        pendingLink_.resize(std::strlen(pendingLink_.c_str()));
        return true;
    case 'x': // pax extended header for the next entry
        ReadPaxRecords(data());
        return true;
    case 'g': // pax global header, GNU volume label
    case 'V': return true;
    default: return false;
    }
}

std::string TTarNames::TakeName(const uint8_t* b) {
    std::string name;
    if (!pendingName_.empty()) {
        name.swap(pendingName_);
    } else {
        const std::string_view base = FieldText(b + tar::kName, tar::kNameLength);
        const bool posix = std::memcmp(b + tar::kMagic, kPosixMagic, sizeof kPosixMagic) == 0;
        const std::string_view prefix =
            posix ? FieldText(b + tar::kPrefix, tar::kPrefixLength) : "";
        name.reserve(prefix.size() + 1 + base.size());
        if (!prefix.empty()) name.append(prefix).append("/");
        name.append(base);
    }
    TrimBlanks(name);
    return name;
}

std::string TTarNames::TakeLinkName(const uint8_t* b) {
    std::string link;
    if (!pendingLink_.empty())
        link.swap(pendingLink_);
    else
        link.assign(FieldText(b + tar::kLinkName, tar::kLinkNameLength));
    return link;
}

int64_t TTarNames::TakeSize(const uint8_t* b) {
    const int64_t size =
        pendingSize_ >= 0 ? pendingSize_ : TarNumber(b + tar::kSize, tar::kSizeLength).Value;
    pendingSize_ = -1;
    return size;
}

void TTarNames::Clear() {
    pendingName_.clear();
    pendingLink_.clear();
    pendingSize_ = -1;
}

// pax records are "<length> <key>=<value>\n"; "path" names the next entry,
// "linkpath" its link target, and "size" gives its size when the header field
// cannot hold it.
void TTarNames::ReadPaxRecords(const std::string& data) {
    std::string_view rest(data);
    while (!rest.empty()) {
        size_t length = 0, i = 0;
        while (i < rest.size() && rest[i] >= '0' && rest[i] <= '9' && length <= rest.size())
            length = length * 10 + (rest[i++] - '0');
        if (i == 0 || i >= rest.size() || rest[i] != ' ' || length <= i + 1 || length > rest.size())
            return;
        const std::string_view record = rest.substr(i + 1, length - i - 2); // no "\n"
        rest.remove_prefix(length);
        const size_t equals = record.find('=');
        if (equals == std::string_view::npos) continue;
        const std::string_view key = record.substr(0, equals), value = record.substr(equals + 1);
        if (key == "path")
            pendingName_.assign(value);
        else if (key == "linkpath")
            pendingLink_.assign(value);
        else if (key == "size")
            pendingSize_ = DecimalValue(value);
    }
}

} // namespace vro
