// The LHA / LZH extractor: walks the chain of headers (levels 0 to 3), selects
// entries by name, then decodes each: stored (-lh0-, -lz4-), adaptive Huffman
// (-lh1-) or static Huffman blocks (-lh4- to -lh7-), checked against the CRC-16 of
// its header. Folder entries (-lhd-) become folders; Mac entries wrapped in
// MacBinary yield their data fork.
#pragma once

#include <string>

#include "engine/vroLhaHeader.h"
#include "engine/vroUnLzhFamily.h"

namespace vro {

class TUnLHA : public TUnLzhFamily {
protected:
    void ExtractEntries() override;

private:
    bool ReadHeader(int64_t pos, TLhaHeader& h);
    void MakeFolder(const std::string& name);
    void ExtractEntry(const TSelectedEntry& entry);
};

} // namespace vro
