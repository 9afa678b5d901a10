// One history row as the monitor writes it: "dd-mm-yyyy,hh,hh:mm:ss,in,out".
#pragma once

#include <cstdint>

struct HistoryRow {
    int64_t t;  // local wall-clock seconds since 01-01-1970, as if that clock had no zone
    int32_t in;
    int32_t out;
    // false for an empty field: the monitor did not measure that direction (in or
    // out is then 0). Older files have a figure in every row.
    bool hasIn = true;
    bool hasOut = true;
};

// The date of the last row parsed: a file holds 288 rows a day, and the date is
// worked out once for them.
struct DateMemo {
    char text[10];
    int64_t days;  // -1 before the first row
};

// Parses the characters [p, end) of one line, its line break removed. Returns 1 and
// fills row when they are exactly a row of the monitor's format with a real date and
// time (the hour column the same as the time's hour) and each percentage a number
// or empty; returns 0 for anything else. Percentages beyond the int32 range are
// saturated.
int ParseHistoryRow(const char *p, const char *end, HistoryRow *row, DateMemo *memo);
