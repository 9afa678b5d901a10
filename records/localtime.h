// Local wall-clock time, for the dates and times written to files.
#pragma once

#include <cstdint>

struct LocalTime {
    int day;
    int month;
    int year;
    int hour;
    int minute;
    int second;
};

// Reads the local date and time (GetLocalTime on Windows, localtime_r elsewhere).
// Tests that need a clock of their own link a twin of localtime_*.cpp.
void ReadLocalTime(LocalTime *lt);

// The same, and that moment as whole seconds since 1970 (UTC), from one reading
// of the clock, so the two never disagree.
void ReadWallClock(LocalTime *lt, int64_t *utc);

// Minutes east of UTC of the local time zone at the local time lt (+60 for
// 01:00 ahead of UTC), daylight saving time included; 0 when it cannot be told.
// In a file of its own (utcoffset_*.cpp), so a twin of the clock need not
// carry it; a fixed clock (tests/support/clock.cpp) fixes it too.
int UtcOffsetMinutes(const LocalTime &lt);
