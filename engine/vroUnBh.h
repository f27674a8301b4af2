// The BH extractor: a chain of 37-byte entry headers, each followed by the name
// and the packed data. Entries are stored, "fused" (the LZH static-Huffman method
// with an 8 KiB dictionary, as LHA's -lh5-) or deflated, optionally under the
// traditional ZIP cipher, and checked with CRC-32.
#pragma once

#include <string>

#include "engine/vroUnBase.h"

namespace vro {

struct TBhHeader;

class TUnBH : public TUnBase {
protected:
    void ExtractEntries() override;

private:
    void Scan();
    // Reads the header at pos and its name; false when it is no BH header.
    bool ReadHeader(int64_t pos, TBhHeader& header, std::string& name);
    void ExtractEntry(const TSelectedEntry& entry);
    // False when a ZIP-method decoder failed (it reported why).
    bool Decode(const TSelectedEntry& entry);
};

} // namespace vro
