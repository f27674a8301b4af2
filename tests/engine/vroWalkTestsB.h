// Shared by the LHA, TAR, RAR and cabinet walk tests: listing archive bytes written
// to a file, reading corpus files, and cutting a real archive at every offset.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/Listing.h"
#include "support/TempDir.h"

namespace walk_tests {

inline const std::string kCorpus = BRINDLE_TEST_DATA "/corpus/";

inline std::string CorpusBytes(const std::string& relative) {
    return testing_support::ReadFileBytes(kCorpus + relative);
}

using testing_support::Names;

// Writes bytes as name in a fresh folder and lists it.
inline testing_support::Listing ListBytes(const std::string& bytes, const std::string& name,
                                          const std::function<void(vro::TVireo&)>& configure = {}) {
    testing_support::TempDir dir;
    return testing_support::ListArchive(dir.Write(name, bytes), configure);
}

// Lists every truncation of an archive (each length from 0 to its size - 1): the
// walk must end without a crash or hang and report only entries the whole archive
// reports, in the same order.
inline void ExpectEveryTruncationListsAPrefix(const std::string& bytes, const std::string& name) {
    testing_support::TempDir dir;
    const auto whole = Names(testing_support::ListArchive(dir.Write(name, bytes)));
    ASSERT_FALSE(whole.empty()) << name;
    for (size_t length = 0; length < bytes.size(); ++length) {
        const auto cut =
            Names(testing_support::ListArchive(dir.Write(name, bytes.substr(0, length))));
        ASSERT_LE(cut.size(), whole.size()) << "cut at " << length;
        for (size_t i = 0; i < cut.size(); ++i)
            ASSERT_EQ(cut[i], whole[i]) << "cut at " << length;
    }
}

} // namespace walk_tests
