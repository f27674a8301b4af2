// Runs the catalogue over one archive and keeps what it reported, for tests.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/vroVireo.h"

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

} // namespace testing_support
