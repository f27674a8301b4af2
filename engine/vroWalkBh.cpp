// Placeholder: lists nothing until the Bh walk lands.
#include "engine/vroWalks.h"

namespace vro {

namespace {

class BhWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = 0; }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeBhWalk() { return std::make_unique<BhWalk>(); }

} // namespace vro
