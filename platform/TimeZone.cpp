// The desktop system's time-zone bias from the C library's zone rules: minutes
// from local time to universal time, the opposite sign of tm_gmtoff.
#include "platform/TimeZone.h"

#include <ctime>

namespace platform {

int32_t TimeZoneBiasMinutes() {
    ::tzset(); // pick up a TZ changed since the last call (tests switch zones)
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local)) return 0;
    return static_cast<int32_t>(-local.tm_gmtoff / 60);
}

} // namespace platform
