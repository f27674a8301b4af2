// The local time-zone bias in the desktop system's sense: minutes to add to local
// time to get universal time (positive west of Greenwich), for the rules in force now.
#pragma once

#include <cstdint>

namespace platform {

int32_t TimeZoneBiasMinutes();

} // namespace platform
