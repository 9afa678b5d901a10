// Local wall-clock time, for the dates and times written to files.
#pragma once

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
