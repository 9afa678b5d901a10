// Stands in for records/localtime_*.cpp in the tests that link it: the local
// clock reads what SetClock last set.
#include "tests/support/clock.h"

namespace {

LocalTime g_fixedTime;

}  // namespace

void ReadLocalTime(LocalTime *lt) { *lt = g_fixedTime; }

void InTempDirFixedClock::SetUp()
{
    InTempDir::SetUp();
    SetClock(5, 12, 2026, 14, 3, 7);
}

void InTempDirFixedClock::SetClock(int day, int month, int year, int hour, int minute, int second)
{
    g_fixedTime = {day, month, year, hour, minute, second};
}
