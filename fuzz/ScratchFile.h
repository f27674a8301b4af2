// Targets that exercise components reading from a path write each input to one
// scratch file per process.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace fuzzing {

// Writes the input to this process's scratch file; returns its path, or empty.
inline std::string WriteScratchFile(const char* prefix, const uint8_t* data, size_t size) {
    const std::string path = "/tmp/" + std::string(prefix) + std::to_string(getpid()) + ".bin";
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return {};
    std::fwrite(data, 1, size, f);
    std::fclose(f);
    return path;
}

} // namespace fuzzing
