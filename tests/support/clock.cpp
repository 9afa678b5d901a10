#include "tests/support/clock.h"

namespace {

LocalTime g_fixedTime;

void FixedTime(LocalTime *lt)
{
    *lt = g_fixedTime;
}

}  // namespace

void InTempDirFixedClock::SetUp()
{
    InTempDir::SetUp();
    SetClock(5, 12, 2026, 14, 3, 7);
    g_localTimeHook = FixedTime;
}

void InTempDirFixedClock::TearDown()
{
    g_localTimeHook = nullptr;
    InTempDir::TearDown();
}

void InTempDirFixedClock::SetClock(int day, int month, int year, int hour, int minute, int second)
{
    g_fixedTime = {day, month, year, hour, minute, second};
}
