// The decoder of UU- and XX-encoded texts: it writes the one file the text
// carries, named on its "begin" line, following the text over further volume
// files (".uue", ".uu1", ... or ".001", ".002", ...) when it was split.
#pragma once

#include "engine/vroUnBase.h"

namespace vro {

class TUUDecode : public TUnBase {
public:
    // How many lines are searched for the "begin" line.
    int32_t MaxHeaderLines = 100;

protected:
    void ExtractEntries() override;

private:
    bool OpenVolume(int32_t number);
};

} // namespace vro
