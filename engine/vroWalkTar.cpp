// Placeholder: lists nothing until the Tar walk lands.
#include "engine/vroWalks.h"

namespace vro {

namespace {

class TarWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = 0; }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeTarWalk() { return std::make_unique<TarWalk>(); }

} // namespace vro
