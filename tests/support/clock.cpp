// Stands in for records/localtime_*.cpp and utcoffset_*.cpp in the tests that
// link it: the local clock reads what SetClock and SetUtcOffset last set.
#include "tests/support/clock.h"

namespace {

LocalTime g_fixedTime;
int g_fixedOffset;

// Days from 1970-01-01 to the date, in the proleptic Gregorian calendar.
int64_t DaysFromCivil(int year, int month, int day)
{
    year -= month <= 2;
    int64_t era = (year >= 0 ? year : year - 399) / 400;
    int64_t yoe = year - era * 400;
    int64_t doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

}  // namespace

void ReadLocalTime(LocalTime *lt) { *lt = g_fixedTime; }

void ReadWallClock(LocalTime *lt, int64_t *utc)
{
    *lt = g_fixedTime;
    *utc = DaysFromCivil(lt->year, lt->month, lt->day) * 86400 + lt->hour * 3600 + lt->minute * 60 + lt->second -
           g_fixedOffset * 60;
}

int UtcOffsetMinutes(const LocalTime &) { return g_fixedOffset; }

void InTempDirFixedClock::SetUp()
{
    InTempDir::SetUp();
    SetClock(5, 12, 2026, 14, 3, 7);
    SetUtcOffset(0);
}

void InTempDirFixedClock::SetClock(int day, int month, int year, int hour, int minute, int second)
{
    g_fixedTime = {day, month, year, hour, minute, second};
}

void InTempDirFixedClock::SetUtcOffset(int minutes) { g_fixedOffset = minutes; }
