// Runs the catalogue over one archive and keeps what it reported, for tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "engine/vroVireo.h"
#include "support/TempDir.h"

namespace testing_support {

struct ListedEntry {
    std::string name;
    int64_t size = 0;
    int64_t packed = 0;
    uint32_t crc = 0;
    int64_t offset = 0;
    std::string method;
    bool encrypted = false;
    uint32_t attributes = 0;
};

struct Listing {
    bool activated = false;
    std::vector<ListedEntry> entries;
    int32_t totals = -1; // OnTotals' count, -1 when it was not raised
    std::vector<int32_t> errors;
    std::vector<std::string> errorMsgEx;
};

// Lists path with FileSpec "*.*"; configure may change the component first (it
// runs after the events are assigned and before ArchiveFile is set).
inline Listing ListArchive(const std::string& path,
                           const std::function<void(vro::TVireo&)>& configure = {}) {
    Listing l;
    vro::TVireo v;
    v.SetFileSpec({"*.*"});
    v.OnRead = [&](vro::TZipCommon&, int64_t offset, int32_t) {
        const vro::TEntryInfo& e = v.EntryInfo;
        l.entries.push_back({e.FileName, e.UnpackedSize, e.PackedSize, e.CRC, offset, e.MethodName,
                             e.Encrypted, e.ExternalAttr});
    };
    v.OnTotals = [&](vro::TZipCommon&, int32_t n) { l.totals = n; };
    v.OnError = [&](vro::TZipCommon&, const std::string&, const std::string& msgEx,
                    const std::string&, int32_t code) {
        l.errors.push_back(code);
        l.errorMsgEx.push_back(msgEx);
    };
    v.OnNextVolume = [](vro::TZipCommon&, std::string&, const std::string&, bool exists,
                        bool& cancel) { cancel = !exists; };
    if (configure) configure(v);
    v.SetArchiveFile(path);
    l.activated = v.Activate();
    return l;
}

inline std::vector<std::string> Names(const Listing& l) {
    std::vector<std::string> names;
    for (const ListedEntry& e : l.entries)
        names.push_back(e.name);
    return names;
}

// Lists cuts of a real archive (every length below denseUntil, then every stride
// bytes): a cut must end its walk without a crash or a hang and list only names
// the whole archive lists. Returns the whole archive's names.
inline std::vector<std::string> ExpectCutsListKnownNames(const std::string& whole,
                                                         const std::string& fileName,
                                                         size_t denseUntil, size_t stride) {
    TempDir dir;
    const std::vector<std::string> all = Names(ListArchive(dir.Write(fileName, whole)));
    EXPECT_FALSE(all.empty()) << fileName;
    for (size_t cut = 0; cut < whole.size(); cut += cut < denseUntil ? 1 : stride) {
        const Listing l = ListArchive(dir.Write(fileName, whole.substr(0, cut)));
        for (const std::string& name : Names(l))
            EXPECT_NE(std::find(all.begin(), all.end(), name), all.end()) << "cut at " << cut;
    }
    return all;
}

} // namespace testing_support
