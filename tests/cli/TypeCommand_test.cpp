// Guards brindle-cli type: its output format, the unreadable-file answer and the
// usage exit code, as scripts and the corpus checker rely on them.
#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

struct Result {
    std::string out;
    int status;
};

Result RunCli(const std::string& args) {
    const std::string command = BRINDLE_BIN_DIR "/brindle-cli " + args + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    std::array<char, 256> buf;
    while (size_t n = fread(buf.data(), 1, buf.size(), pipe))
        out.append(buf.data(), n);
    const int status = pclose(pipe);
    return {out, WEXITSTATUS(status)};
}

} // namespace

TEST(CliType, PrintsTypeAndStartOffset) {
    struct Row {
        const char* args;
        const char* out;
        int status;
    } rows[] = {
        {"type " BRINDLE_TEST_DATA "/corpus/rar/libarchive_test_read_format_rar_sfx.exe",
         "atRarExe 98817\n", 0},
        {"type " BRINDLE_TEST_DATA "/corpus/jar/sflock_sample.jar", "atJar 643\n", 0},
        {"type /nonexistent/x.zip", "atFileOpenErr 1\n", 0},
        {"type", "", 2},
        {"type a b", "", 2},
        {"no-such-command", "", 2},
    };
    for (const Row& r : rows) {
        const Result res = RunCli(r.args);
        EXPECT_EQ(res.out, r.out) << r.args;
        EXPECT_EQ(res.status, r.status) << r.args;
    }
}
