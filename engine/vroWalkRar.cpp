// Placeholder: lists nothing until the Rar walk lands.
#include "engine/vroWalks.h"

namespace vro {

namespace {

class RarWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = 0; }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeRarWalk() { return std::make_unique<RarWalk>(); }

} // namespace vro
