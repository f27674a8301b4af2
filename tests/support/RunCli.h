// Runs build/bin/brindle-cli with arguments and captures its standard output.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

namespace testing_support {

struct CliResult {
    std::string out;
    int status;
};

inline CliResult RunCli(const std::string& args) {
    const std::string command = BRINDLE_BIN_DIR "/brindle-cli " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    std::array<char, 4096> buf;
    while (size_t n = fread(buf.data(), 1, buf.size(), pipe))
        out.append(buf.data(), n);
    const int status = pclose(pipe);
    return {out, WEXITSTATUS(status)};
}

} // namespace testing_support
