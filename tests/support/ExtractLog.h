// Runs one extractor over an archive file and records what its host would see:
// the end reports (name, CRC_PASS) and the error codes, for the per-format
// extractor tests.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/vroUnBase.h"

namespace testing_support {

struct ExtractLog {
    bool ok = false;
    std::vector<std::pair<std::string, bool>> ends; // (FN, CRC_PASS)
    std::vector<int32_t> errors;

    bool Has(int32_t code) const {
        for (int32_t e : errors)
            if (e == code) return true;
        return false;
    }
};

// Extracts (or, with test set, tests) every entry of archive into outDir.
inline ExtractLog RunExtractor(vro::TUnBase& x, const std::string& archive,
                               const std::string& outDir, bool test = false,
                               std::vector<std::string> passwords = {}) {
    ExtractLog log;
    x.SetFileSpec({"*.*"});
    x.SetPasswords(passwords);
    x.OnEnd = [&](vro::TZipCommon&, const std::string& fn, bool pass) {
        log.ends.emplace_back(fn, pass);
    };
    x.OnError = [&](vro::TZipCommon&, const std::string&, const std::string&, const std::string&,
                    int32_t code) { log.errors.push_back(code); };
    x.SetArchiveFile(archive);
    x.SetExtractDir(outDir);
    log.ok = test ? x.Test() : x.Extract();
    return log;
}

} // namespace testing_support
