// Guards against a flipped time-zone bias sign or a TZ change being ignored.
#include "platform/TimeZone.h"

#include <gtest/gtest.h>

#include "support/ScopedTimeZone.h"

using testing_support::ScopedTimeZone;

TEST(TimeZoneBias, IsPositiveWestAndFollowsTz) {
    struct Row {
        const char* tz;
        int32_t bias;
    };
    for (const Row& row :
         {Row{"UTC", 0}, Row{"EST5", 300}, Row{"JST-9", -540}, Row{"IST-5:30", -330}}) {
        ScopedTimeZone zone(row.tz);
        EXPECT_EQ(platform::TimeZoneBiasMinutes(), row.bias) << row.tz;
    }
}
