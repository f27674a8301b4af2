// One function per brindle-cli command; each takes the arguments after its name.
#pragma once

#include <string>
#include <vector>

namespace cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

int RunType(const std::vector<std::string>& args);
int RunList(const std::vector<std::string>& args);
int RunTest(const std::vector<std::string>& args);
int RunExtract(const std::vector<std::string>& args);

} // namespace cli
