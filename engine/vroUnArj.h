// The ARJ extractor: finds the main header (also behind a self-extracting stub),
// selects entries volume by volume, and decodes each: stored, static Huffman
// blocks (methods 1 to 3) or the fast method 4, garbled entries with the
// password, and files split over volumes rebuilt into one output file.
#pragma once

#include <string>

#include "engine/vroArjHeader.h"
#include "engine/vroUnLzhFamily.h"

namespace vro {

class TUnARJ : public TUnLzhFamily {
protected:
    void ExtractEntries() override;

private:
    TArjRead ReadHeader(int64_t pos, TArjHeader& h);
    bool ReadLocalHeader(int64_t pos, TArjHeader& h);
    int64_t FindMainHeader(int64_t from, int64_t limit);
    void OpenVolume(int64_t from, int64_t limit);
    void ScanVolume(int64_t pos);
    bool NextVolume();
    bool ExtractEntry(const TSelectedEntry& entry);
    bool ObtainPassword(std::string& password);
    bool DecodePiece(const TArjHeader& h, bool garbled, const std::string& password);
    std::string VolumeId() const { return std::to_string(VolumeNumber); }

    bool multiVolume_ = false;
};

} // namespace vro
