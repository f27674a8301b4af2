// Time stamps: DOS date-time (date in the high word, time in the low word) and Unix
// seconds to and from the engine's day-count date value.
#pragma once

#include <cstdint>

#include "engine/vroTypes.h"

namespace vro {

// 0, or a value that is not a valid date and time, gives 1980-01-01 00:00:00.
TDateTime DosDateTimeToDate(uint32_t dosDateTime);
// The inverse for dates 1980-2107; earlier dates clamp to 1980-01-01 00:00:00.
uint32_t DateToDosDateTime(TDateTime value);
// Exchanges the high and low 16 bits (formats storing the date word first).
uint32_t SwapHalves(uint32_t value);

// Unix seconds (local time-zone bias applied) to a date value; 0 gives
// 1980-01-01 00:01:00, and an exact midnight becomes 00:00:01.
TDateTime UnixToDate(int32_t seconds);
// A date value to Unix seconds in universal time.
int32_t DateToUnix(TDateTime value);

// Building blocks, also used by the tests: a date value from its parts and back.
TDateTime EncodeDate(int year, int month, int day, int hour = 0, int minute = 0, int second = 0);
void DecodeDate(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                int& second);

} // namespace vro
