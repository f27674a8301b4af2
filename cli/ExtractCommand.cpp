// brindle-cli extract [-o DIR] [--password P] [--overwrite | --skip-existing] [--flat]
// ARCHIVE [MASK...]: extracts all entries, or those matching the masks, through
// the extractor of the archive's type. Without -o the files go beside the archive.
// An existing file is kept (and the entry counts as failed) unless --overwrite or
// --skip-existing says otherwise. Exit 0 all extracted, 1 any failed, 2 not extracted.
#include <cstdio>
#include <string>
#include <vector>

#include "cli/Commands.h"
#include "cli/Printer.h"
#include "engine/vroExtractors.h"

namespace cli {

namespace {

enum class Existing { Keep, Overwrite, Skip };

struct ExtractOptions {
    std::string outputDir, password, archive;
    Existing existing = Existing::Keep;
    bool flat = false;
    std::vector<std::string> masks;
};

bool ParseExtractArgs(const std::vector<std::string>& args, ExtractOptions& o) {
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "-o" && i + 1 < args.size()) o.outputDir = args[++i];
        else if (a == "--password" && i + 1 < args.size()) o.password = args[++i];
        else if (a == "--overwrite") o.existing = Existing::Overwrite;
        else if (a == "--skip-existing") o.existing = Existing::Skip;
        else if (a == "--flat") o.flat = true;
        else if (a.starts_with("-")) return false;
        else if (o.archive.empty()) o.archive = a;
        else o.masks.push_back(a);
    }
    return !o.archive.empty();
}

} // namespace

int RunExtract(const std::vector<std::string>& args) {
    ExtractOptions o;
    if (!ParseExtractArgs(args, o)) {
        std::fprintf(stderr, "usage: brindle-cli extract [-o DIR] [--password P] [--overwrite | "
                             "--skip-existing] [--flat] ARCHIVE [MASK...]\n");
        return kExitUsage;
    }
    vro::TvroMain probe;
    probe.SetZipCmntBufSize(vro::kCatalogueCommentWindow);
    probe.SetArchiveFile(o.archive);
    std::unique_ptr<vro::TUnBase> x = vro::MakeExtractor(probe.ArcType());
    if (!x) {
        std::fprintf(stderr, "brindle-cli: %s: cannot extract archives of type %s\n",
                     SafeText(o.archive).c_str(), vro::ArcTypeIdent(probe.ArcType()));
        return kExitUsage;
    }
    x->SetArchiveFile(o.archive);
    x->SetFileSpec(o.masks.empty() ? std::vector<std::string>{"*.*"} : o.masks);
    if (!o.password.empty()) x->SetPasswords({o.password});
    x->UseStoredDirs = !o.flat;
    if (!o.outputDir.empty()) x->SetExtractDir(o.outputDir);

    int failed = 0;
    x->OnError = [](vro::TZipCommon&, const std::string& fn, const std::string& msgEx,
                    const std::string&, int32_t code) { PrintEngineError(fn, msgEx, code); };
    x->OnFileExists = [&](vro::TZipCommon&, const std::string& fn, vro::TDateTime, bool& accept) {
        accept = o.existing == Existing::Overwrite;
        if (o.existing == Existing::Keep) {
            std::fprintf(stderr, "brindle-cli: %s: exists, not overwritten\n", SafeText(fn).c_str());
            ++failed;
        }
    };
    x->OnGetPassword = [](vro::TZipCommon&, const std::string&, std::string&, bool& tryAgain) {
        tryAgain = false;
    };
    x->OnNextVolume = [](vro::TZipCommon&, std::string&, const std::string&, bool exists,
                         bool& cancel) { cancel = !exists; };
    x->OnEnd = [&](vro::TZipCommon&, const std::string& fn, bool pass) {
        if (pass) return;
        ++failed;
        std::fprintf(stderr, "brindle-cli: %s: extraction failed\n", SafeText(fn).c_str());
    };
    const bool ran = x->Extract();
    if (failed > 0) return kExitFailed;
    return ran ? kExitOk : kExitUsage;
}

} // namespace cli
