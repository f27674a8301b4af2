// Placeholder: lists nothing until the Ha walk lands.
#include "engine/vroWalks.h"

namespace vro {

namespace {

class HaWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = 0; }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeHaWalk() { return std::make_unique<HaWalk>(); }

} // namespace vro
