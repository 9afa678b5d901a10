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
void ReadLocalTime(LocalTime *lt);

// Tests fix the clock through this hook; while it is null the system clock is read.
extern void (*g_localTimeHook)(LocalTime *lt);
