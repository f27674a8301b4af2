// Placeholder: lists nothing until the Zoo walk lands.
#include "engine/vroWalks.h"

namespace vro {

namespace {

class ZooWalk : public TCatalogueWalk {
public:
    void Prepare(TVireo& v) override { v.BlockSize = 0; }
    void Step(TVireo&) override {}
};

} // namespace

std::unique_ptr<TCatalogueWalk> MakeZooWalk() { return std::make_unique<ZooWalk>(); }

} // namespace vro
