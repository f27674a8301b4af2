// The ARC extractor (ARC and PAK archives, plain or behind a program stub): walks
// the chain of entry headers, following ARC's nested folders, and decodes each
// selected entry by its method (engine/vroArcCodecs.h), checked with CRC-16.
// ARC marks no entry as garbled; when passwords are given, each entry is first
// decoded without output under each of them, and the first whose CRC-16 matches
// (else none) is used for the real decoding.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/vroUnBase.h"

namespace vro {

class TUnARC : public TUnBase {
protected:
    void ExtractEntries() override;

private:
    struct TArcPlace {    // what an entry needs beside its TSelectedEntry
        std::string Name; // with the folders it lies in
        int64_t DataOffset = 0;
        uint32_t DosDateTime = 0;
    };

    void Scan();
    void ExtractEntry(const TSelectedEntry& entry, TArcPlace& place);
    // Decodes the entry's data into the sink's output; true unless the method is unknown.
    bool Decode(const TSelectedEntry& entry, const TArcPlace& place, const std::string& key,
                const TCodecOutput& output, bool trial);
    std::string GarbleKey(const TSelectedEntry& entry, const TArcPlace& place);
    TCodecInput TrialInput(int64_t size);

    std::vector<TArcPlace> places_; // parallel to SelectedEntries
};

} // namespace vro
