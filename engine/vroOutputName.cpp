#include "engine/vroOutputName.h"

#include <sys/stat.h>

#include <cctype>
#include <vector>

namespace vro {

namespace {

bool IsSeparator(char c) {
    return c == '/' || c == '\\';
}

std::vector<std::string_view> SplitComponents(std::string_view name) {
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= name.size(); ++i) {
        if (i == name.size() || IsSeparator(name[i])) {
            parts.push_back(name.substr(start, i - start));
            start = i + 1;
        }
    }
    return parts;
}

// "C:" at the start of a name, with or without a separator after it.
std::string_view StripDrive(std::string_view name) {
    if (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':')
        return name.substr(2);
    return name;
}

} // namespace

TOutputPath SafeOutputPath(const std::string& extractDir, std::string_view storedName,
                           bool useStoredDirs) {
    TOutputPath out;
    std::string_view name = storedName.substr(0, storedName.find('\0'));
    name = StripDrive(name);
    const bool unc = name.size() >= 2 && IsSeparator(name[0]) && IsSeparator(name[1]);
    const bool isDirectory = !name.empty() && IsSeparator(name.back());

    std::vector<std::string_view> parts = SplitComponents(name);
    if (unc) {
        // "\\server\share\rest": the server and share name a remote root, not folders.
        size_t named = 0, skip = 0;
        while (skip < parts.size() && named < 2)
            named += !parts[skip++].empty();
        parts.erase(parts.begin(), parts.begin() + skip);
    }
    std::vector<std::string_view> kept;
    for (std::string_view part : parts) {
        if (part.empty() || part == ".") continue;
        if (part == "..") {
            if (kept.empty())
                out.ClimbedOut = true;
            else
                kept.pop_back();
            continue;
        }
        kept.push_back(part);
    }
    if (!useStoredDirs && !kept.empty()) {
        if (isDirectory)
            kept.clear();
        else
            kept.erase(kept.begin(), kept.end() - 1);
    }
    if (kept.empty()) return out;

    out.Path = extractDir;
    if (out.Path.empty() || out.Path.back() != '/') out.Path += '/';
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i > 0) out.Path += '/';
        out.Path.append(kept[i]);
    }
    if (isDirectory) out.Path += '/';
    return out;
}

bool NoLinksBelow(const std::string& rootDir, const std::string& path) {
    const std::string root = rootDir.ends_with('/') ? rootDir : rootDir + '/';
    if (path.size() <= root.size() || path.compare(0, root.size(), root) != 0) return false;
    for (size_t at = root.size(); at < path.size(); ++at) {
        if (path[at] != '/' && at + 1 != path.size()) continue;
        const std::string prefix = path.substr(0, path[at] == '/' ? at : at + 1);
        struct stat st;
        if (prefix.size() > root.size() && ::lstat(prefix.c_str(), &st) == 0 && S_ISLNK(st.st_mode))
            return false;
    }
    return true;
}

} // namespace vro
