// brindle-cli test [--password P] ARCHIVE: tests every entry, one line each
// ("OK name" / "FAIL name: message"). Exit 0 when all passed, 1 when any failed,
// 2 when the archive could not be tested. Testable types go through the integrity
// tester; types it leaves out (UU/XX text, cabinets) are tested by running their
// extractor without output, which checks the same data.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Printer.h"
#include "engine/vroErrors.h"
#include "engine/vroExtractors.h"
#include "engine/vroZipCheck.h"

namespace cli {

namespace {

// The per-entry report, shared by both ways of testing.
struct TestReport {
    std::string lastError; // the message of the entry under test, if any
    int failed = 0;

    void Wire(vro::TZipCommon& c) {
        c.OnBegin = [this](vro::TZipCommon&, const std::string&, int32_t, bool&) {
            lastError.clear();
        };
        c.OnError = [this](vro::TZipCommon&, const std::string& fn, const std::string& msgEx,
                           const std::string&, int32_t code) {
            lastError = vro::ErrorMessage(code);
            if (!msgEx.empty()) lastError += " (" + msgEx + ")";
            PrintEngineError(fn, msgEx, code);
        };
        // No one to ask: an entry whose password is missing or wrong fails the run.
        c.OnGetPassword = [](vro::TZipCommon&, const std::string&, std::string&, bool& tryAgain) {
            tryAgain = false;
        };
        // Further volumes are taken by the names the set's format gives them.
        c.OnNextVolume = [](vro::TZipCommon&, std::string&, const std::string&, bool exists,
                            bool& cancel) { cancel = !exists; };
    }

    void Status(const std::string& fn, bool pass) {
        const std::string name = SafeText(DisplayName(fn));
        if (pass) {
            std::printf("OK %s\n", name.c_str());
            return;
        }
        ++failed;
        const std::string why = lastError.empty() ? vro::ErrorMessage(vro::E_CRCERROR) : lastError;
        std::printf("FAIL %s: %s\n", name.c_str(), SafeText(why).c_str());
        lastError.clear();
    }
};

bool TestThroughExtractor(vro::TArcType type, const std::string& archive,
                          const std::string& password, TestReport& report) {
    std::unique_ptr<vro::TUnBase> x = vro::MakeExtractor(type);
    if (!x) return false;
    report.Wire(*x);
    x->OnEnd = [&](vro::TZipCommon&, const std::string& fn, bool pass) { report.Status(fn, pass); };
    x->SetFileSpec({"*.*"});
    if (!password.empty()) x->SetPasswords({password});
    x->SetArchiveFile(archive);
    return x->Test();
}

} // namespace

int RunTest(const std::vector<std::string>& args) {
    std::string password, archive;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--password" && i + 1 < args.size())
            password = args[++i];
        else if (archive.empty() && !args[i].starts_with("--"))
            archive = args[i];
        else
            archive.clear(), i = args.size();
    }
    if (archive.empty()) {
        std::fprintf(stderr, "usage: brindle-cli test [--password P] ARCHIVE\n");
        return kExitUsage;
    }

    TestReport report;
    vro::TZipCheck check;
    check.SetFileSpec({"*.*"});
    if (!password.empty()) check.SetPasswords({password});
    report.Wire(check);
    check.OnStatus = [&](vro::TZipCommon&, const std::string& fn, bool pass) {
        report.Status(fn, pass);
    };
    check.SetArchiveFile(archive);
    const vro::TArcType type = check.ArcType();
    const bool ran = vro::IsTestable(type) ? check.TestArchive()
                     : vro::IsExtractable(type)
                         ? TestThroughExtractor(type, archive, password, report)
                         : check.TestArchive(); // reports why it cannot
    if (report.failed > 0) return kExitFailed;
    return ran ? kExitOk : kExitUsage;
}

} // namespace cli
