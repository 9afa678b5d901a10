// One graph of one period: its caption with the legend's figures, and the SVG
// (grid, alert bands, link speed, peak and average lines).
#pragma once

#include <cstddef>

#include "report/aggregate.h"
#include "report/alerts.h"
#include "report/html.h"

// What a graph is of, beside its points.
struct GraphLabel {
    const char *name;  // the interface's name, its bytes as vellary.cfg has them
    size_t nameLen;
    const BandRing *down;   // the interface's alert periods, or null
    const BandRing *above;
};

void WriteGraph(Out *out, const Graph &g, Period period, const GraphLabel &label);

extern const char *const kPeriodNames[PERIOD_COUNT];
