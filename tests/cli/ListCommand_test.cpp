// Guards brindle-cli list: the JSON shape scripts parse (names with "/", crc as
// hex or null), the table's totals line, and exit 2 for what cannot be listed.
#include <gtest/gtest.h>

#include "support/RunCli.h"

using testing_support::RunCli;

TEST(CliList, JsonForOneEntry) {
    const auto r = RunCli("list --json " BRINDLE_TEST_DATA "/corpus/zip/patool_t.zip");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "{\"archive\": \"" BRINDLE_TEST_DATA "/corpus/zip/patool_t.zip\", "
                     "\"type\": \"atZip\", \"entries\": [\n"
                     "    {\"name\": \"t/t.txt\", \"size\": 2, \"packed\": 2, \"crc\": "
                     "\"3224b088\", \"method\": \"Stored\", \"encrypted\": false, \"modified\": "
                     "\"2010-02-19T08:48:58\", \"attributes\": 32800}\n"
                     "  ], \"files\": 1, \"packed_total\": 2, \"unpacked_total\": 2}\n");
}

TEST(CliList, TableTotalsAndFailures) {
    const auto table = RunCli("list " BRINDLE_TEST_DATA "/corpus/zip/infozip_comments.zip");
    EXPECT_EQ(table.status, 0);
    EXPECT_NE(table.out.find("readme_crlf.txt\n"), std::string::npos);
    EXPECT_NE(table.out.find("6500         2081  67%  2 files\n"), std::string::npos);

    EXPECT_EQ(RunCli("list " BRINDLE_TEST_DATA "/corpus/types.tsv").status, 2);
    EXPECT_EQ(RunCli("list --json").status, 2);
}
