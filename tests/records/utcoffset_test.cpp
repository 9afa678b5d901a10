// The offset from UTC at a local time, by the zone's rules for that date.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "records/localtime.h"

namespace {

TEST(UtcOffset, ByTheZonesRulesForThatDate)
{
    struct Case {
        const char *zone;
        LocalTime at;
        int minutes;
    } cases[] = {
        {"UTC", {9, 12, 2026, 3, 14, 7}, 0},
        {"Europe/Berlin", {9, 12, 2026, 3, 14, 7}, 60},
        {"Europe/Berlin", {9, 7, 2026, 3, 14, 7}, 120},  // summer time
        {"America/St_Johns", {9, 12, 2026, 23, 59, 59}, -210},
        {"Asia/Kolkata", {1, 1, 2027, 0, 0, 0}, 330},
    };
    const char *before = getenv("TZ");
    for (const Case &c : cases) {
        setenv("TZ", c.zone, 1);
        tzset();
        EXPECT_EQ(c.minutes, UtcOffsetMinutes(c.at)) << c.zone << " " << c.at.day << "-" << c.at.month;
    }
    if (before)
        setenv("TZ", before, 1);
    else
        unsetenv("TZ");
    tzset();
}

}  // namespace
