// Guards time stamp conversion: invalid DOS values not falling back to 1980, the
// listing quirks of Unix times (0, midnight, negative seconds, a bias of at most
// 12 read as hours) lost, and the day count off by one around leap days.
#include "engine/vroDates.h"

#include <gtest/gtest.h>

#include "support/ScopedTimeZone.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>
#include <optional>
#include <string>

namespace vro {
namespace {

using testing_support::ScopedTimeZone;

// Zones without daylight time, so results do not depend on the test's date.
constexpr const char* kUtc = "UTC0";
constexpr const char* kFiveHoursWest = "EST5";      // bias +300 minutes
constexpr const char* kTenMinutesEast = "XTZ-0:10"; // bias -10: read as hours

std::string Show(TDateTime value) {
    int y, mo, d, h, mi, s;
    DecodeDate(value, y, mo, d, h, mi, s);
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", y, mo, d, h, mi, s);
    return text;
}

TEST(DayCount, AnchorsAndTheTimeOfDayFraction) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1980, 1, 1), kDosEpochDate);
    EXPECT_EQ(EncodeDate(2000, 3, 1, 12, 0, 0), 36586.5);
    EXPECT_EQ(EncodeDate(1899, 12, 29, 6, 0, 0), -1.25); // time counts forward before day 0
    EXPECT_EQ(Show(-1.25), "1899-12-29 06:00:00");
}

TEST(DayCount, DecodeFollowsGregorianLeapYears) {
    struct Row {
        int year;
        const char* dayBeforeMarch;
    };
    const Row rows[] = {{1900, "1900-02-28 23:59:59"},
                        {2000, "2000-02-29 23:59:59"},
                        {2024, "2024-02-29 23:59:59"},
                        {2100, "2100-02-28 23:59:59"}};
    for (const Row& row : rows)
        EXPECT_EQ(Show(EncodeDate(row.year, 3, 1) - 1.0 / 86400), row.dayBeforeMarch);
}

TEST(DosDateTime, DecodesValidValuesAndFallsBackTo1980) {
    struct Row {
        const char* name;
        uint32_t dos;
        const char* expected;
    };
    const Row rows[] = {
        {"zero", 0, "1980-01-01 00:00:00"},
        {"leap day", 0x585D6DBD, "2024-02-29 13:45:58"},
        {"last value the format holds", 0xFF9FBF7D, "2107-12-31 23:59:58"},
        {"month 13", 0x01A10000, "1980-01-01 00:00:00"},
        {"day 0", 0x58200000, "1980-01-01 00:00:00"},
        {"29 February 2100", 0xF05D0000, "1980-01-01 00:00:00"},
        {"hour 24", 0x0021C000, "1980-01-01 00:00:00"},
        {"60 seconds", 0x0021001E, "1980-01-01 00:00:00"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Show(DosDateTimeToDate(row.dos)), row.expected) << row.name;
}

TEST(DosDateTime, EncodesInTwoSecondStepsWithinTheFormatsYears) {
    EXPECT_EQ(DateToDosDateTime(EncodeDate(2024, 2, 29, 13, 45, 58)), 0x585D6DBDu);
    EXPECT_EQ(DateToDosDateTime(EncodeDate(2024, 2, 29, 13, 45, 59)), 0x585D6DBDu);
    EXPECT_EQ(DateToDosDateTime(EncodeDate(1979, 12, 31, 23, 59, 59)), 0x00210000u);
    EXPECT_EQ(DateToDosDateTime(EncodeDate(2108, 1, 1)), 0xFF9FBF7Du);
    EXPECT_EQ(SwapHalves(0x585D6DBD), 0x6DBD585Du);
}

TEST(UnixTime, ToDateAppliesTheListingRules) {
    struct Row {
        const char* name;
        const char* zone;
        int32_t seconds;
        const char* expected;
    };
    const Row rows[] = {
        {"zero means no time", kUtc, 0, "1980-01-01 00:01:00"},
        {"midnight shows one second later", kUtc, 86400, "1970-01-02 00:00:01"},
        {"leap day midnight", kUtc, 951782400, "2000-02-29 00:00:01"},
        {"negative seconds count as positive", kUtc, -1000000000, "2001-09-09 01:46:40"},
        {"largest value", kUtc, std::numeric_limits<int32_t>::max(), "2038-01-19 03:14:07"},
        {"smallest value", kUtc, std::numeric_limits<int32_t>::min(), "2038-01-19 03:14:08"},
        {"bias in minutes", kFiveHoursWest, 1000000000, "2001-09-08 20:46:40"},
        {"bias of at most 12 read as hours", kTenMinutesEast, 1000000000, "2001-09-09 11:46:40"},
        {"bias reaching before 1970 stops there", kFiveHoursWest, 3600, "1970-01-01 00:00:01"},
    };
    for (const Row& row : rows) {
        ScopedTimeZone zone(row.zone);
        EXPECT_EQ(Show(UnixToDate(row.seconds)), row.expected) << row.name;
    }
}

TEST(UnixTime, FromDateGivesUniversalTime) {
    struct Row {
        const char* name;
        const char* zone;
        TDateTime local;
        int32_t expected;
    };
    const Row rows[] = {
        {"epoch", kUtc, EncodeDate(1970, 1, 1), 0},
        {"leap day", kUtc, EncodeDate(2000, 2, 29), 951782400},
        {"day after a leap day", kUtc, EncodeDate(2000, 3, 1), 951868800},
        {"bias added", kFiveHoursWest, EncodeDate(2001, 9, 8, 20, 46, 40), 1000000000},
        {"small bias stays minutes", kTenMinutesEast, EncodeDate(2001, 9, 9, 1, 56, 40),
         1000000000},
    };
    for (const Row& row : rows) {
        ScopedTimeZone zone(row.zone);
        EXPECT_EQ(DateToUnix(row.local), row.expected) << row.name;
    }
}

} // namespace
} // namespace vro
