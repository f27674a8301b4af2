// Guards brindle-cli type: its output format, the unreadable-file answer and the
// usage exit code, as scripts and the corpus checker rely on them.
#include <gtest/gtest.h>

#include "support/RunCli.h"

using testing_support::RunCli;

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
        const auto res = RunCli(r.args);
        EXPECT_EQ(res.out, r.out) << r.args;
        EXPECT_EQ(res.status, r.status) << r.args;
    }
}
