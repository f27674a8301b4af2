// Placeholder: lists nothing until the Lha walk lands.
#include "engine/vroWalks.h"

namespace vro {

namespace {

class LhaWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = 0; }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeLhaWalk() { return std::make_unique<LhaWalk>(); }

} // namespace vro
