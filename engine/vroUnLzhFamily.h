// What the LHA and ARJ extractors share: running one of the LZH-family decoders
// over the current entry's packed bytes into its output, with the CRC kind of the
// format, and turning the decoder's result into the engine's errors.
#pragma once

#include "engine/vroUnBase.h"

namespace vro {

class TUnLzhFamily : public TUnBase {
public:
    enum class TLzhMethod { Stored, Dynamic, Lh4, Lh5, Lh6, Lh7, ArjStatic, ArjFast };

protected:
    // Reads count bytes at pos of the open archive; false when they are not all there.
    bool ReadArchiveAt(int64_t pos, void* buffer, int64_t count);

    // Decodes EntryRemaining packed bytes (deciphered when asked) into target
    // (Output() when null), adding every byte to the CRC register of the given
    // kind. Raises "Bad Huffman code" or "Error writing to file" for this entry; a
    // stream that ends early is left to the CRC check. Stored data is copied whole.
    void DecodeLzhEntry(TLzhMethod method, bool decrypt, TCrcKind crc, int64_t unpackedSize,
                        platform::TStream* target = nullptr);
};

} // namespace vro
