// Time stamp conversions between the archive formats and the engine's day-count
// date value (whole days since 1899-12-30, fraction = time of day).
//
// DOS date-time is what ZIP, ARJ, LHA (level 0/1), ARC, ZOO and CAB store: local
// time, two-second steps, years 1980-2107. TAR, GZIP and LHA level 2 store Unix
// seconds. The Unix conversions keep the behaviour archive listings have always
// shown: the time-zone bias is applied to the absolute value of the seconds, a
// bias of at most 12 is read as hours (systems that report it that way), an exact
// midnight shows as 00:00:01, and 0 (no time stored) shows as 1980-01-01 00:01.
#include "engine/vroDates.h"

#include <cmath>
#include <cstdlib>

#include "platform/TimeZone.h"

namespace vro {

namespace {

constexpr int kSecondsPerDay = 86400;
// Day number of 1970-01-01 in the day-count date value.
constexpr int64_t kUnixEpochDay = 25569;

// The DOS value 1980-01-01 00:00:00 and the last one the format can hold.
constexpr uint32_t kFirstDosDateTime = (1u << 5 | 1u) << 16;
constexpr uint32_t kLastDosDateTime =
    (127u << 9 | 12u << 5 | 31u) << 16 | (23u << 11 | 59u << 5 | 29u);

bool IsGregorianLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month, bool leap) {
    constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && leap ? 29 : kDays[month - 1];
}

bool IsValidDateTime(int year, int month, int day, int hour, int minute, int second) {
    return month >= 1 && month <= 12 && day >= 1 &&
           day <= DaysInMonth(year, month, IsGregorianLeapYear(year)) && hour < 24 && minute < 60 &&
           second < 60;
}

// Days from 1970-01-01 to a proleptic Gregorian date (H. Hinnant's algorithm:
// counting from March 1st puts the leap day last, so each 400-year era is regular).
int64_t DaysFromCivil(int year, int month, int day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int64_t dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

void CivilFromDays(int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const int64_t dayOfEra = days - era * 146097;
    const int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t monthFromMarch = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * monthFromMarch + 2) / 5 + 1);
    month = static_cast<int>(monthFromMarch < 10 ? monthFromMarch + 3 : monthFromMarch - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2));
}

// The Unix conversions use the calendar in which every year divisible by 4 is a
// leap year; it agrees with the Gregorian one from 1901 to 2099.
bool IsFourYearLeap(int year) {
    return year % 4 == 0;
}

int DaysInYear(int year) {
    return IsFourYearLeap(year) ? 366 : 365;
}

int DaysBeforeMonth(int month) {
    constexpr int kCumulative[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    return kCumulative[month - 1];
}

// Seconds to subtract from universal time to get local time when reading Unix
// time stamps. A bias of at most 12 in magnitude is taken as hours.
int64_t UnixToLocalBiasSeconds() {
    const int32_t bias = platform::TimeZoneBiasMinutes();
    return std::abs(bias) > 12 ? int64_t(bias) * 60 : int64_t(bias) * 3600;
}

TDateTime DateFromSecondsSince1970(int64_t seconds) {
    int64_t days = seconds / kSecondsPerDay;
    const int secondOfDay = static_cast<int>(seconds % kSecondsPerDay);
    int year = 1970;
    for (; days >= DaysInYear(year); ++year)
        days -= DaysInYear(year);
    int month = 1;
    for (; days >= DaysInMonth(year, month, IsFourYearLeap(year)); ++month)
        days -= DaysInMonth(year, month, IsFourYearLeap(year));
    // An exact midnight would read as "no time"; it is shown one second later.
    const int second = secondOfDay == 0 ? 1 : secondOfDay % 60;
    return EncodeDate(year, month, static_cast<int>(days) + 1, secondOfDay / 3600,
                      secondOfDay / 60 % 60, second);
}

} // namespace

TDateTime EncodeDate(int year, int month, int day, int hour, int minute, int second) {
    const int64_t dayNumber = DaysFromCivil(year, month, day) + kUnixEpochDay;
    const double time = (hour * 3600 + minute * 60 + second) / double(kSecondsPerDay);
    // Before 1899-12-30 the day is negative and the time still counts forward.
    return dayNumber >= 0 ? dayNumber + time : dayNumber - time;
}

void DecodeDate(TDateTime value, int& year, int& month, int& day, int& hour, int& minute,
                int& second) {
    int64_t dayNumber = static_cast<int64_t>(value);
    int64_t secondOfDay = std::llround(std::fabs(value - dayNumber) * kSecondsPerDay);
    if (secondOfDay == kSecondsPerDay) // rounded up into the next day
        ++dayNumber, secondOfDay = 0;
    CivilFromDays(dayNumber - kUnixEpochDay, year, month, day);
    hour = static_cast<int>(secondOfDay / 3600);
    minute = static_cast<int>(secondOfDay / 60 % 60);
    second = static_cast<int>(secondOfDay % 60);
}

TDateTime DosDateTimeToDate(uint32_t dosDateTime) {
    const uint32_t date = dosDateTime >> 16, time = dosDateTime & 0xFFFF;
    const int year = 1980 + static_cast<int>(date >> 9);
    const int month = (date >> 5) & 0x0F, day = date & 0x1F;
    const int hour = time >> 11, minute = (time >> 5) & 0x3F, second = (time & 0x1F) * 2;
    if (!IsValidDateTime(year, month, day, hour, minute, second)) return kDosEpochDate;
    return EncodeDate(year, month, day, hour, minute, second);
}

uint32_t DateToDosDateTime(TDateTime value) {
    int year, month, day, hour, minute, second;
    DecodeDate(value, year, month, day, hour, minute, second);
    if (year < 1980) return kFirstDosDateTime;
    if (year > 2107) return kLastDosDateTime;
    const uint32_t date = uint32_t(year - 1980) << 9 | uint32_t(month) << 5 | uint32_t(day);
    const uint32_t time = uint32_t(hour) << 11 | uint32_t(minute) << 5 | uint32_t(second / 2);
    return date << 16 | time;
}

uint32_t SwapHalves(uint32_t value) {
    return value << 16 | value >> 16;
}

TDateTime UnixToDate(int32_t seconds) {
    if (seconds == 0) return EncodeDate(1980, 1, 1, 0, 1, 0);
    const int64_t local = std::llabs(int64_t(seconds)) - UnixToLocalBiasSeconds();
    // A bias that pushes the first hours of 1970 before the epoch stops at it.
    return DateFromSecondsSince1970(local > 0 ? local : 0);
}

int32_t DateToUnix(TDateTime value) {
    int year, month, day, hour, minute, second;
    DecodeDate(value, year, month, day, hour, minute, second);
    int64_t days =
        int64_t(year - 1970) * 365 + (year - 1969) / 4 + DaysBeforeMonth(month) + day - 1;
    if (IsFourYearLeap(year) && month >= 3) ++days;
    const int64_t local = days * kSecondsPerDay + hour * 3600 + minute * 60 + second;
    return static_cast<int32_t>(local + int64_t(platform::TimeZoneBiasMinutes()) * 60);
}

} // namespace vro
