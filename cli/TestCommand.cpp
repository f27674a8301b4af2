// brindle-cli test [--password P] ARCHIVE: tests every entry through the integrity
// tester, one line each ("OK name" / "FAIL name: message"). Exit 0 when all
// passed, 1 when any failed, 2 when the archive could not be tested.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Printer.h"
#include "engine/vroErrors.h"
#include "engine/vroZipCheck.h"

namespace cli {

int RunTest(const std::vector<std::string>& args) {
    std::string password, archive;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--password" && i + 1 < args.size()) password = args[++i];
        else if (archive.empty() && !args[i].starts_with("--")) archive = args[i];
        else archive.clear(), i = args.size();
    }
    if (archive.empty()) {
        std::fprintf(stderr, "usage: brindle-cli test [--password P] ARCHIVE\n");
        return kExitUsage;
    }

    vro::TZipCheck check;
    check.SetFileSpec({"*.*"});
    if (!password.empty()) check.SetPasswords({password});
    std::string lastError; // the message of the entry under test, if any
    int failed = 0;
    check.OnBegin = [&](vro::TZipCommon&, const std::string&, int32_t, bool&) { lastError.clear(); };
    check.OnError = [&](vro::TZipCommon&, const std::string& fn, const std::string& msgEx,
                        const std::string&, int32_t code) {
        lastError = vro::ErrorMessage(code);
        if (!msgEx.empty()) lastError += " (" + msgEx + ")";
        PrintEngineError(fn, msgEx, code);
    };
    // No one to ask: an entry whose password is missing or wrong fails the run.
    check.OnGetPassword = [](vro::TZipCommon&, const std::string&, std::string&, bool& tryAgain) {
        tryAgain = false;
    };
    check.OnStatus = [&](vro::TZipCommon&, const std::string& fn, bool pass) {
        const std::string name = SafeText(DisplayName(fn));
        if (pass) {
            std::printf("OK %s\n", name.c_str());
            return;
        }
        ++failed;
        const std::string why = lastError.empty() ? vro::ErrorMessage(vro::E_CRCERROR) : lastError;
        std::printf("FAIL %s: %s\n", name.c_str(), SafeText(why).c_str());
        lastError.clear();
    };
    check.SetArchiveFile(archive);
    const bool ran = check.TestArchive();
    if (failed > 0) return kExitFailed;
    return ran ? kExitOk : kExitUsage;
}

} // namespace cli
