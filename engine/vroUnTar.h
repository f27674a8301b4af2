// The extractor of TAR archives. TAR stores its data uncompressed, so a member is
// a copy of its bytes. Long names (ustar prefix, GNU long-name records, pax path
// records) name the member they precede. Directories are created, device and FIFO
// members skipped, and symbolic and hard links made after the files, only when
// they point inside the extraction folder.
#pragma once

#include <string>
#include <vector>

#include "engine/vroUnBase.h"

namespace vro {

class TUnTAR : public TUnBase {
protected:
    void ExtractEntries() override;

private:
    // What the extraction pass needs of a member beyond its header block.
    struct TMember {
        std::string Name;
        uint32_t Mode = 0;
        uint32_t DosDateTime = 0;
    };
    struct TLink {
        std::string Name, Target;
        bool Symbolic = false;
    };

    void Scan();
    void ExtractMember(const TSelectedEntry& entry, const TMember& member);
    void MakeDirectory(const std::string& name);
    void MakeLink(const TLink& link);

    std::vector<TMember> members_; // parallel to SelectedEntries
    std::vector<TLink> links_;
    std::vector<std::string> directories_;
};

} // namespace vro
