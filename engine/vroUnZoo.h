// The ZOO extractor: follows the directory chain from the archive header (only
// forward, so a looping chain ends), selects entries by their stored names, and
// decodes each by its method: stored, LZW, or the LZH method that zoo 2.1 shares
// with LHA's -lh5-. Every entry is checked against its CRC-16.
#pragma once

#include <string>

#include "engine/vroUnBase.h"

namespace vro {

struct TZooEntry;

class TUnZOO : public TUnBase {
protected:
    void ExtractEntries() override;

private:
    void Scan(int64_t firstEntry);
    // Reads the entry at pos (fixed part and names); false when it is cut short.
    bool ReadEntry(int64_t pos, TZooEntry& entry, std::string& name);
    void ExtractEntry(const TSelectedEntry& selected);
    void Decode(const TZooEntry& entry);
};

} // namespace vro
