// Calendar arithmetic on local wall-clock time, as the history files hold it: no
// time zone, a day is 86400 seconds.
#pragma once

#include <cstdint>

// Days from 01-01-1970 to the given date (proleptic Gregorian).
int64_t DaysFromCivil(int year, int month, int day);

struct CivilDate {
    int year;
    int month;
    int day;
    int weekday;  // 0 Sunday to 6 Saturday
};

CivilDate CivilFromDays(int64_t days);

// Days in a month of a year: 28 to 31.
int DaysInMonth(int year, int month);
