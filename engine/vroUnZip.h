// The engine's own ZIP extractor (JAR is the same under another name): selects
// entries from the central directory (or the local headers when the directory is
// damaged), then decodes each through the ZIP method dispatcher.
#pragma once

#include <vector>

#include "engine/vroUnBase.h"

namespace vro {

class TUnZIP : public TUnBase {
protected:
    void ExtractEntries() override;

private:
    struct TZipExtra {    // what a ZIP entry needs beside its TSelectedEntry
        uint8_t Host = 0; // "version made by" host byte: how its name is encoded
        uint32_t DosDateTime = 0;
    };

    void ScanCentralDirectory();
    void ScanLocalHeaders();
    void AddEntry(const std::string& name, const TSelectedEntry& entry, const TZipExtra& extra,
                  bool& stop);
    void ExtractEntry(const TSelectedEntry& entry, const TZipExtra& extra);
    bool OverlapsOtherData(int64_t headerOffset, int64_t dataEnd) const;

    std::vector<TZipExtra> extras_;      // parallel to SelectedEntries
    std::vector<int64_t> headerOffsets_; // every entry's local header, sorted
    int64_t directoryStart_ = -1;        // where entry data must end; -1 unknown
};

class TUnJar : public TUnZIP {};

} // namespace vro
