// Placeholder: lists nothing until the Cab walk lands.
#include "engine/vroWalks.h"

namespace vro {

namespace {

class CabWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = 0; }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeCabWalk() { return std::make_unique<CabWalk>(); }

} // namespace vro
