// One history row as the monitor writes it: "dd-mm-yyyy,hh,hh:mm:ss,in,out" in
// NAME.csv, and the exact history's "dd-mm-yyyy,hh:mm:ss,utc,seconds,in octets,
// out octets,bps in,bps out,speed" in NAME.exact.csv.
#pragma once

#include <cstdint>

#define EXACT_HISTORY_HEADER "Date,Time,UTC,Seconds,In octets,Out octets,bps In,bps Out,Speed"

struct HistoryRow {
    int64_t t;  // local wall-clock seconds since 01-01-1970, as if that clock had no zone
    int32_t in;  // percent rows: the percentages
    int32_t out;
    // false for an empty field: the monitor did not measure that direction (its
    // figures are then 0). Older files have a figure in every row.
    bool hasIn = true;
    bool hasOut = true;
    // Exact rows: the span in milliseconds, the octets and bit rates of each
    // measured direction, and the row's link speed.
    int64_t ms = 0;
    int64_t octetsIn = 0;
    int64_t octetsOut = 0;
    int64_t bpsIn = 0;
    int64_t bpsOut = 0;
    int64_t speed = 0;
    int64_t utc = 0;
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

// The same for a row of the exact history. Returns 0 also when a direction has
// octets without a rate or the other way round, when a measured direction has no
// span, when a number has more than 18 digits, and when the UTC time lies more
// than 26 hours from the local time (no zone is that far off).
int ParseExactRow(const char *p, const char *end, HistoryRow *row, DateMemo *memo);
