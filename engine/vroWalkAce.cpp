// Placeholder: lists nothing until the Ace walk lands.
#include "engine/vroWalks.h"

namespace vro {

namespace {

class AceWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = 0; }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeAceWalk() { return std::make_unique<AceWalk>(); }

} // namespace vro
