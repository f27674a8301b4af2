// Placeholder: lists nothing until the Arj walk lands.
#include "engine/vroWalks.h"

namespace vro {

namespace {

class ArjWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = 0; }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeArjWalk() { return std::make_unique<ArjWalk>(); }

} // namespace vro
