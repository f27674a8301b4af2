// Placeholder: lists nothing until the Arc walk lands.
#include "engine/vroWalks.h"

namespace vro {

namespace {

class ArcWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = 0; }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeArcWalk() { return std::make_unique<ArcWalk>(); }

} // namespace vro
