// What one history file comes to, built while its rows stream past in file order:
// the last 24 hours row by row, three rings of bins (30 minutes, 2 hours, a day)
// and, for an exact history, a ring of its latest rows' bit rates for the
// percentiles. Constant size whatever the file's age.
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
// Rows an exact history keeps for the percentiles: 455 days of 5-minute rows,
// more than the longest graph; in blocks whose times are known, so a short period
// looks at a few blocks only.
#define FIGURES_MAX 131072
#define FIGURE_BLOCK 1024
#define MAX_BAD_NAMED 10   // bad rows named, per file; the rest are counted
#define BAD_TEXT_MAX 80    // characters of a bad row shown

enum Period { PERIOD_DAY, PERIOD_WEEK, PERIOD_MONTH, PERIOD_YEAR, PERIOD_COUNT };

// One direction of the rows summed into a point or a bin, those with a figure
// for it. Percent rows: the percentages over the rows. Exact rows: the octets
// over the milliseconds they span, and the highest bit rate of a row.
struct Flow {
    int64_t sum;
    int64_t weight;
    int64_t max;
    int64_t maxT;  // the time of the first row with the highest figure
    int32_t rows;
};

// Rows summed: for a day point those that merged into it, for a bin those whose
// time falls into it (key: the point's first time, or the bin's number).
struct Bin {
    int64_t key;
    Flow in;
    Flow out;
    int64_t speed;  // exact rows: the last row's link speed
    int32_t rows;
    int32_t breakBefore;  // day points: a gap or a clock set back lies before this one
};

// One exact row's bit rates, -1 for a direction without a figure.
struct Figure {
    int64_t t;
    int64_t in;
    int64_t out;
};

struct BadRow {
    int64_t line;  // 1 is the header's line
    int32_t length;  // of the whole line
    char text[BAD_TEXT_MAX];
};

struct History {
    bool exact;  // rows of NAME.exact.csv: figures in bit/s
    Bin day[DAY_POINTS];
    int32_t dayNext;  // where the next point goes
    int32_t dayCount;
    Bin week[336];   // 7 days of 30 minutes
    Bin month[372];  // 31 days of 2 hours
    Bin year[400];   // 400 days
    // The rows since the last one of another 30-minute bin, and so of one bin of
    // each ring: summed once, and put into the rings when that run ends.
    Bin run;
    bool runOpen;
    bool runAfterRows;  // rows came before the run's first
    int64_t runBefore;  // the time of the row before it
    // Exact rows, newest last, in a ring the reader gives (none: no percentiles),
    // with the earliest and latest time each block may hold.
    Figure *figures;
    int32_t figureCap;
    int32_t figureNext;
    int64_t figureCount;  // rows ever put in; the ring holds the last figureCap
    int64_t blockFirst[FIGURES_MAX / FIGURE_BLOCK];
    int64_t blockLast[FIGURES_MAX / FIGURE_BLOCK];
    int64_t rows;
    int64_t firstT;
    int64_t lastT;  // the last row in file order: where the graphs end (see BuildGraph)
    int64_t lastIn;  // percent, or bit/s
    int64_t lastOut;
    bool lastHasIn;
    bool lastHasOut;
    int64_t lastSpeed;  // exact rows
    int64_t speedChanges;  // rows whose speed differs from the row before
    int64_t speedChangeT;  // the last such row's time
    int64_t speedBefore;   // and the speed before it
    int64_t lines;
    int64_t badRows;
    int32_t badNamed;
    BadRow bad[MAX_BAD_NAMED];
};

// Empties h for rows of one kind; figures (cap entries, at most FIGURES_MAX, or
// none) keeps the exact rows' bit rates for the percentiles.
void HistoryReset(History *h, bool exact = false, Figure *figures = nullptr, int32_t cap = 0);
void HistoryAddRow(History *h, const HistoryRow &row);
// Puts the rows added last into the rings: before BuildGraph or RangeStats.
void HistoryEnd(History *h);
// Counts a line that is not a row and keeps its start while fewer than MAX_BAD_NAMED are kept.
void HistoryAddBad(History *h, int64_t line, const char *text, int64_t length);

// One direction of a graph's period.
struct FlowStats {
    int64_t rows;     // rows with a figure in the period
    int64_t avgRows;  // those the average counts: the finished bins' (all, in 24 hours)
    double avg;       // percent, or bit/s (the octets over the time they span)
    int64_t max;      // the highest row, and when
    int64_t maxT;
    int64_t volume;   // exact rows: octets
    bool hasP95;      // exact rows: the 95th percentile of the period's rows
    int64_t p95;
};

// One graph's points, oldest first, and the figures of the period it shows. A
// direction without a figure at a point is a gap in its line.
struct GraphPoint {
    int64_t t;  // local seconds: the row's time, or the middle of the bin
    double in;  // the average, and the highest row
    double out;
    double peakIn;
    double peakOut;
    double speed;  // exact rows
    bool hasIn;
    bool hasOut;
    int32_t rows;
    int32_t breakBefore;
};

struct Graph {
    bool exact;
    int64_t t0;  // the period shown: (t0, t1] for 24 hours, [t0, t1) for bins
    int64_t t1;
    int32_t count;
    GraphPoint points[DAY_POINTS];
    int64_t rows;
    FlowStats in;
    FlowStats out;
    bool lastSoFar;  // the last point is a bin still filling: lighter, "so far"
    bool merged;     // some point holds more than one row
    int64_t topSpeed;   // exact rows: the highest link speed in the period
    int64_t figuresCut;  // rows of the period older than the ring holds: not in the percentile
};

// The graph of one period, ending at the last row in file order, or at a later row
// written before it within a day (a clock set back). Returns its number of points.
int BuildGraph(const History *h, Period period, Graph *g);

// The figures of rows with from <= t < to, from the daily bins and the ring: the
// calendar month so far. The average counts every row.
void RangeStats(const History *h, int64_t from, int64_t to, FlowStats *in, FlowStats *out);

// Seconds a period spans.
int64_t PeriodSeconds(Period period);
