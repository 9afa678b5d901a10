// Stands in for records/localtime_*.cpp and utcoffset_*.cpp in the tests that
// link it: the local clock reads what SetClock and SetUtcOffset last set.
#include "tests/support/clock.h"

namespace {

LocalTime g_fixedTime;
int g_fixedOffset;

}  // namespace

void ReadLocalTime(LocalTime *lt) { *lt = g_fixedTime; }

int UtcOffsetMinutes(const LocalTime &) { return g_fixedOffset; }

void InTempDirFixedClock::SetUp()
{
    InTempDir::SetUp();
    SetClock(5, 12, 2026, 14, 3, 7);
    SetUtcOffset(60);
}

void InTempDirFixedClock::SetClock(int day, int month, int year, int hour, int minute, int second)
{
    g_fixedTime = {day, month, year, hour, minute, second};
}

void InTempDirFixedClock::SetUtcOffset(int minutes) { g_fixedOffset = minutes; }
