// The figures a graph's legend and the summary give, as pure functions of what
// aggregate.* sums: averages, the 95th percentile and volumes.
#pragma once

#include <cstdint>

#include "report/aggregate.h"

// The 95th percentile, nearest-rank: of n figures in ascending order, the one at
// rank ceil(95 n / 100), counted from 1. So the highest 5 % (rounded down) are
// left out, as transit is billed.
#define PERCENTILE 95

// The rank (1 to n) of the pct-th percentile of n figures by nearest rank; 0 for none.
int64_t NearestRank(int64_t n, int pct);

// The pct-th percentile of values[0..n) by nearest rank into *result; reorders
// values. Returns false for n of 0.
bool Percentile(int64_t *values, int64_t n, int pct, int64_t *result);

// The average of a flow: percent rows' mean, or exact rows' octets over the time
// they span, in bit/s. 0 without rows.
double FlowAverage(const Flow &flow, bool exact);

// a + b, held at INT64_MAX: a year of sums of hostile rows cannot overflow.
inline int64_t AddHeld(int64_t a, int64_t b)
{
    int64_t sum;
    if (__builtin_add_overflow(a, b, &sum))
        return b < 0 ? INT64_MIN : INT64_MAX;
    return sum;
}

// One row's figure into a flow: sum and weight added, the highest kept with the
// time it was first reached.
inline void AddToFlow(Flow *flow, int64_t sum, int64_t weight, int64_t figure, int64_t t)
{
    if (flow->rows == 0 || figure > flow->max) {
        flow->max = figure;
        flow->maxT = t;
    }
    flow->sum = AddHeld(flow->sum, sum);
    flow->weight = AddHeld(flow->weight, weight);
    flow->rows++;
}

// Flows summed, as bins into a graph's period; from's rows come after into's.
inline void MergeFlow(Flow *into, const Flow &from)
{
    if (from.rows == 0)
        return;
    if (into->rows == 0 || from.max > into->max) {
        into->max = from.max;
        into->maxT = from.maxT;
    }
    into->sum = AddHeld(into->sum, from.sum);
    into->weight = AddHeld(into->weight, from.weight);
    into->rows += from.rows;
}
