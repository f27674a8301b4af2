// The one place where a name stored in an archive becomes a host path. Names come
// from strangers: whatever they hold ("..", absolute paths, drive letters, UNC
// prefixes, either slash), the result stays inside the extraction folder.
#pragma once

#include <string>
#include <string_view>

namespace vro {

struct TOutputPath {
    std::string Path;        // host path below the folder; ends in "/" for a directory
    bool ClimbedOut = false; // ".." components that would have left the folder were dropped
};

// Joins a stored name to the extraction folder (a host path). "/" and "\" both
// separate; a drive ("C:"), a UNC prefix ("\\server\share") and leading
// separators are dropped; "." goes, ".." steps back but never above the folder;
// the name ends at a NUL byte. Without useStoredDirs only the file-name part is
// kept. An empty or all-dropped name gives an empty Path.
TOutputPath SafeOutputPath(const std::string& extractDir, std::string_view storedName,
                           bool useStoredDirs);

// True when no existing component of path below root (the path itself included)
// is a symbolic link, so writing there cannot land outside root.
bool NoLinksBelow(const std::string& root, const std::string& path);

} // namespace vro
