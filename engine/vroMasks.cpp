// The wildcard matcher behind FileSpec and ExcludeSpec, and the clean-up their
// setters apply to the mask lists.
//
// Unusually, wildcards count on both sides: an archive name may itself hold "*"
// or "?" (DOS archivers stored masks as names), and such a name matches any
// pattern it could stand for. Letters compare without regard to case (a-z only,
// so bytes of other code pages compare exactly).
//
// The matching rule is naturally recursive: at a "*" the rest of one side is
// tried against every tail of the other. Done literally that is exponential in
// the number of stars ("*a*a*a*a*b" against a long run of "a"), and both the
// names (from an archive) and the patterns (from a user) are untrusted. So the
// same rule is evaluated as a table over (pattern position, name position) filled
// from the ends backwards, keeping two rows: time grows with the product of the
// lengths and memory with the name's length, whatever the input.
#include "engine/vroMasks.h"

#include <algorithm>
#include <string_view>
#include <vector>

namespace vro {

namespace {

std::string_view FileNamePart(std::string_view path) {
    const size_t sep = path.find_last_of("\\:");
    return sep == std::string_view::npos ? path : path.substr(sep + 1);
}

bool EqualIgnoringAsciiCase(char a, char b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return lower(a) == lower(b);
}

// A side ending in "." loses the dot; a side without any "." gains ".*" when the
// other side holds ".*", so "*.*" also matches names without an extension.
void BalanceExtension(std::string& side, const std::string& other) {
    if (!side.empty() && side.back() == '.')
        side.pop_back();
    else if (side.find('.') == std::string::npos && other.find(".*") != std::string::npos)
        side += ".*";
}

bool AllStarsFrom(std::string_view s, size_t from) {
    return s.find_first_not_of('*', from) == std::string_view::npos;
}

// Whether pattern p matches name n, scanning from the left. Cell (i, j) of the
// table says whether p[i..] matches n[j..]:
//   p used up:            the rest of n is all "*"
//   n used up:            the rest of p is all "*"
//   "?" on either side:   (i+1, j+1)
//   "*" in p:             true when it is p's last character, else
//                         any of (i+1, j), (i+1, j+1) ... (i+1, |n|)
//   "*" in n:             true when it is n's last character, else
//                         any of (i, j+1), (i+1, j+1) ... (|p|, j+1)
//   other characters:     equal (ignoring case) and (i+1, j+1)
// Rows are filled from i = |p| down to 0, each from j = |n| down to 0. The two
// "any of" runs are kept as running ORs: along the row for a "*" in p, and down
// the column (from the row below) for a "*" in n.
bool MatchFromLeft(std::string_view p, std::string_view n) {
    const size_t plen = p.size(), nlen = n.size();
    // below[j] = cell (i+1, j); belowColumnAny[j] = any of (i+1, j+1) ... (|p|, j+1).
    std::vector<char> below(nlen + 1), belowColumnAny(nlen + 1);
    std::vector<char> row(nlen + 1), columnAny(nlen + 1);

    for (size_t j = 0; j <= nlen; ++j)
        below[j] = AllStarsFrom(n, j);
    for (size_t j = 0; j < nlen; ++j)
        belowColumnAny[j] = below[j + 1];

    for (size_t i = plen; i-- > 0;) {
        row[nlen] = AllStarsFrom(p, i);
        bool rowAny = below[nlen]; // any of (i+1, j) ... (i+1, |n|)
        for (size_t j = nlen; j-- > 0;) {
            rowAny = rowAny || below[j];
            columnAny[j] = row[j + 1] || belowColumnAny[j];
            if (p[i] == '?' || n[j] == '?')
                row[j] = below[j + 1];
            else if (p[i] == '*')
                row[j] = i + 1 == plen || rowAny;
            else if (n[j] == '*')
                row[j] = j + 1 == nlen || columnAny[j];
            else
                row[j] = EqualIgnoringAsciiCase(p[i], n[j]) && below[j + 1];
        }
        std::swap(row, below);
        std::swap(columnAny, belowColumnAny);
    }
    return below[0];
}

} // namespace

bool WildcardMatch(const std::string& pattern, const std::string& name, bool namesOnly) {
    // "*" and "*.*" match every name under the rules below (a name without a dot
    // is given ".*" to meet the pattern's); listing every entry takes this path.
    if (pattern == "*.*" || (pattern == "*" && name.find(".*") == std::string::npos)) return true;
    std::string p(namesOnly ? FileNamePart(pattern) : pattern);
    std::string n(namesOnly ? FileNamePart(name) : name);
    BalanceExtension(p, n);
    BalanceExtension(n, p);

    if (p.empty() && n.empty()) return true;
    if (p.empty()) return n.front() == '*';
    if (n.empty()) return p.front() == '*';
    return MatchFromLeft(p, n);
}

void NormalizeSpecList(std::vector<std::string>& list) {
    std::erase_if(list, [](const std::string& item) { return item.empty(); });
    for (std::string& item : list) {
        std::replace(item.begin(), item.end(), '/', '\\');
        item = std::string(FileNamePart(item));
    }
}

} // namespace vro
