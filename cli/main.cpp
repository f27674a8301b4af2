// brindle-cli: the engine from a terminal. Thin by design: parse the arguments,
// call the engine, print. Exit codes: 0 success, 1 the operation failed, 2 usage.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "cli/Commands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
    const char* usage;
};

constexpr Command kCommands[] = {
    {"type", cli::RunType, "type FILE                              detected type and start offset"},
    {"list", cli::RunList, "list [--json] [--password P] ARCHIVE  entries and totals"},
    {"test", cli::RunTest, "test [--password P] ARCHIVE           test every entry"},
    {"extract", cli::RunExtract,
     "extract [-o DIR] [--password P] [--overwrite | --skip-existing] [--flat] ARCHIVE [MASK...]"},
};

int Usage() {
    std::fprintf(stderr, "usage: brindle-cli COMMAND [ARGS]\n");
    for (const Command& c : kCommands)
        std::fprintf(stderr, "  %s\n", c.usage);
    return cli::kExitUsage;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& c : kCommands)
        if (std::strcmp(argv[1], c.name) == 0) return c.run(args);
    return Usage();
}
