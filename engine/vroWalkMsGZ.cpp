// Placeholder: lists nothing until the MsGZ walk lands.
#include "engine/vroWalks.h"

namespace vro {

namespace {

class MsGZWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = 0; }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeMsGZWalk() { return std::make_unique<MsGZWalk>(); }

} // namespace vro
