// What one history file comes to, built while its rows stream past in file order:
// the last 24 hours row by row, and three rings of averages (30 minutes, 2 hours,
// a day). Constant size whatever the file's age.
#pragma once

#include <cstdint>

#include "report/row.h"

// Rows closer than this to the first row of a point share the point: a monitor
// polling faster than every 5 minutes still fits 24 hours in DAY_POINTS.
#define MERGE_SECONDS 150
// A stretch longer than this without a row (three poll periods) is drawn as a gap.
#define GAP_SECONDS 900
// 24 hours at one point per 150 s at most, and the hour repeated when the clock goes back.
#define DAY_POINTS 640
#define MAX_BAD_NAMED 10   // bad rows named, per file; the rest are counted
#define BAD_TEXT_MAX 80    // characters of a bad row shown

enum Period { PERIOD_DAY, PERIOD_WEEK, PERIOD_MONTH, PERIOD_YEAR, PERIOD_COUNT };

// Rows summed: for a day point those that merged into it, for a bin those whose
// time falls into it (key: the point's first time, or the bin's number). Sums and
// maxima are of the rows with a figure for that direction; an empty field counts
// in rows alone.
struct Bin {
    int64_t key;
    int64_t sumIn;
    int64_t sumOut;
    int32_t rows;
    int32_t rowsIn;
    int32_t rowsOut;
    int32_t maxIn;
    int32_t maxOut;
    int32_t breakBefore;  // day points: a gap or a clock set back lies before this one
};

struct BadRow {
    int64_t line;  // 1 is the header's line
    int32_t length;  // of the whole line
    char text[BAD_TEXT_MAX];
};

struct History {
    Bin day[DAY_POINTS];
    int32_t dayNext;  // where the next point goes
    int32_t dayCount;
    Bin week[336];   // 7 days of 30 minutes
    Bin month[372];  // 31 days of 2 hours
    Bin year[400];   // 400 days
    // The bin the last row went into, per period: the next rows mostly go there too.
    int64_t binStart[PERIOD_COUNT];
    int64_t binEnd[PERIOD_COUNT];
    Bin *bin[PERIOD_COUNT];
    int64_t rows;
    int64_t firstT;
    int64_t lastT;  // the last row in file order: where the graphs end (see BuildGraph)
    int32_t lastIn;
    int32_t lastOut;
    bool lastHasIn;
    bool lastHasOut;
    int64_t lines;
    int64_t badRows;
    int32_t badNamed;
    BadRow bad[MAX_BAD_NAMED];
};

void HistoryReset(History *h);
void HistoryAddRow(History *h, const HistoryRow &row);
// Counts a line that is not a row and keeps its start while fewer than MAX_BAD_NAMED are kept.
void HistoryAddBad(History *h, int64_t line, const char *text, int64_t length);

// One graph's points, oldest first, and the figures of the period it shows. A
// direction without a figure at a point is a gap in its line.
struct GraphPoint {
    int64_t t;  // local seconds: the row's time, or the middle of the bin
    double in;
    double out;
    bool hasIn;
    bool hasOut;
    int32_t breakBefore;
};

struct Graph {
    int64_t t0;  // the period shown: [t0, t1]
    int64_t t1;
    int32_t count;
    GraphPoint points[DAY_POINTS];
    int64_t rows;
    int64_t rowsIn;  // rows with a figure for that direction: averages and maxima are theirs
    int64_t rowsOut;
    double avgIn;
    double avgOut;
    int32_t maxIn;
    int32_t maxOut;
};

// The graph of one period, ending at the last row in file order, or at a later row
// written before it within a day (a clock set back). Returns its number of points.
int BuildGraph(const History *h, Period period, Graph *g);

// Seconds a period spans.
int64_t PeriodSeconds(Period period);
