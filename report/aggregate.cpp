#include "report/aggregate.h"

#include <cstring>

#include "report/stats.h"

namespace {

struct Ring {
    int64_t width;  // seconds of one bin
    int32_t count;
};

const Ring kRings[PERIOD_COUNT] = {{0, DAY_POINTS}, {1800, 336}, {7200, 372}, {86400, 400}};

Bin *RingBins(History *h, Period period)
{
    return period == PERIOD_WEEK ? h->week : period == PERIOD_MONTH ? h->month : h->year;
}

const Bin *RingBins(const History *h, Period period)
{
    return RingBins(const_cast<History *>(h), period);
}

// The percentiles' working room: a full ring of each direction.
int64_t g_scratchIn[FIGURES_MAX];
int64_t g_scratchOut[FIGURES_MAX];

inline __attribute__((always_inline)) void AddToBin(Bin *b, const HistoryRow &row, bool exact)
{
    b->rows++;
    if (exact) {
        if (row.hasIn)
            AddToFlow(&b->in, row.octetsIn, row.ms, row.bpsIn, row.t);
        if (row.hasOut)
            AddToFlow(&b->out, row.octetsOut, row.ms, row.bpsOut, row.t);
        b->speed = row.speed;
    } else {
        if (row.hasIn)
            AddToFlow(&b->in, row.in, 1, row.in, row.t);
        if (row.hasOut)
            AddToFlow(&b->out, row.out, 1, row.out, row.t);
    }
}

void StartBin(Bin *b, int64_t key, const HistoryRow &row, bool exact)
{
    *b = Bin();
    b->key = key;
    AddToBin(b, row, exact);
}

void AddPoint(History *h, const HistoryRow &row)
{
    if (h->dayCount > 0) {
        Bin *last = &h->day[(h->dayNext + DAY_POINTS - 1) % DAY_POINTS];
        if (row.t >= last->key && row.t - last->key < MERGE_SECONDS) {
            AddToBin(last, row, h->exact);
            return;
        }
    }
    Bin *b = &h->day[h->dayNext];
    StartBin(b, row.t, row, h->exact);
    // Rows are drawn in file order: a clock set back starts a new line rather than
    // drawing one back to the left.
    b->breakBefore = h->rows == 0 || row.t < h->lastT || row.t - h->lastT > GAP_SECONDS;
    h->dayNext = (h->dayNext + 1) % DAY_POINTS;
    if (h->dayCount < DAY_POINTS)
        h->dayCount++;
}

void AddFigure(History *h, const HistoryRow &row)
{
    if (!h->figures)
        return;
    int32_t i = h->figureNext;
    Figure *f = &h->figures[i];
    f->t = row.t;
    f->in = row.hasIn ? row.bpsIn : -1;
    f->out = row.hasOut ? row.bpsOut : -1;
    int32_t block = i / FIGURE_BLOCK;
    if (i % FIGURE_BLOCK == 0) {
        // A block written again still holds the last lap's rows after this one.
        int32_t held = h->figureCount > i ? FIGURE_BLOCK : 1;
        int32_t stop = i + held < h->figureCap ? i + held : h->figureCap;
        h->blockFirst[block] = h->blockLast[block] = row.t;
        for (int32_t k = i + 1; k < stop; k++) {
            if (h->figures[k].t < h->blockFirst[block])
                h->blockFirst[block] = h->figures[k].t;
            if (h->figures[k].t > h->blockLast[block])
                h->blockLast[block] = h->figures[k].t;
        }
    } else {
        if (row.t < h->blockFirst[block])
            h->blockFirst[block] = row.t;
        if (row.t > h->blockLast[block])
            h->blockLast[block] = row.t;
    }
    h->figureNext = (i + 1) % h->figureCap;
    h->figureCount++;
}

void MergeBin(Bin *into, const Bin &from)
{
    into->rows += from.rows;
    MergeFlow(&into->in, from.in);
    MergeFlow(&into->out, from.out);
    into->speed = from.speed;
}

// The run into one bin of each ring. A bin's slot holds whichever bin last wrote
// to it: after a clock set back the rows go on into the earlier bins, and the
// present wins over an old excursion.
void EndRun(History *h)
{
    if (!h->runOpen)
        return;
    h->runOpen = false;
    int64_t t = h->run.key * kRings[PERIOD_WEEK].width;
    for (int p = PERIOD_WEEK; p < PERIOD_COUNT; p++) {
        int64_t key = t / kRings[p].width;
        Bin *b = &RingBins(h, static_cast<Period>(p))[key % kRings[p].count];
        // Rows far older than the ring's span before the previous one (a PC that
        // booted with its clock wrong) leave a newer bin be; the next such rows
        // show the clock was set back for good, and take over.
        if (h->runAfterRows && key < h->runBefore / kRings[p].width - kRings[p].count + 1 && b->key > key)
            continue;
        if (b->key == key) {
            MergeBin(b, h->run);
        } else {
            *b = h->run;
            b->key = key;
        }
    }
}

// Where the graphs end: the last row in file order, or a later time written before it
// within a day (the clock set back, as when summer time ends). A clock that ran far
// ahead for a while does not move the end.
int64_t EndTime(const History *h)
{
    int64_t end = h->lastT;
    for (int i = 0; i < h->dayCount; i++) {
        int64_t t = h->day[i].key;
        if (t > end && t - h->lastT <= 86400)
            end = t;
    }
    return end;
}

void StartStats(FlowStats *s)
{
    *s = FlowStats();
}

// A flow's figures into its point.
void PointFigures(const Flow &f, bool exact, double *avg, double *peak, bool *has)
{
    *has = f.rows > 0 && f.weight > 0;
    *avg = *has ? FlowAverage(f, exact) : 0;
    *peak = *has ? static_cast<double>(f.max) : 0;
}

// A flow's rows into the period's totals; into its average only when counted.
void Total(const Flow &f, bool counted, FlowStats *s, Flow *avg)
{
    if (f.rows == 0)
        return;
    if (s->rows == 0 || f.max > s->max) {
        s->max = f.max;
        s->maxT = f.maxT;
    }
    s->rows += f.rows;
    s->volume = AddHeld(s->volume, f.sum);
    if (counted)
        MergeFlow(avg, f);
}

// The points and totals of one bin or day point.
void Accumulate(GraphPoint *p, const Bin &b, bool counted, Graph *g, Flow *avgIn, Flow *avgOut)
{
    PointFigures(b.in, g->exact, &p->in, &p->peakIn, &p->hasIn);
    PointFigures(b.out, g->exact, &p->out, &p->peakOut, &p->hasOut);
    p->speed = static_cast<double>(b.speed);
    p->rows = b.rows;
    if (b.speed > g->topSpeed)
        g->topSpeed = b.speed;
    if (b.rows > 1)
        g->merged = true;
    Total(b.in, counted, &g->in, avgIn);
    Total(b.out, counted, &g->out, avgOut);
    g->rows += b.rows;
    g->count++;
}

void Finish(FlowStats *s, const Flow &avg, bool exact)
{
    s->avgRows = avg.rows;
    s->avg = FlowAverage(avg, exact);
    if (!exact)
        s->volume = 0;
}

// The percentiles of a period from the ring, of rows with from < t <= to
// (afterFrom) or from <= t < to; returns how many of the period's rows are older
// than the ring holds, and so not in them.
int64_t Percentiles(const History *h, int64_t from, int64_t to, bool afterFrom, int64_t rows, FlowStats *in,
                    FlowStats *out)
{
    if (!h->exact || !h->figures)
        return 0;
    int32_t n = h->figureCount < h->figureCap ? static_cast<int32_t>(h->figureCount) : h->figureCap;
    int64_t countIn = 0, countOut = 0, held = 0;
    int64_t lo = afterFrom ? from + 1 : from;  // whole seconds: lo <= t <= hi
    int64_t hi = afterFrom ? to : to - 1;
    for (int32_t start = 0; start < n; start += FIGURE_BLOCK) {
        int32_t block = start / FIGURE_BLOCK;
        if (h->blockLast[block] < lo || h->blockFirst[block] > hi)
            continue;
        int32_t stop = start + FIGURE_BLOCK < n ? start + FIGURE_BLOCK : n;
        for (int32_t i = start; i < stop; i++) {
            const Figure &f = h->figures[i];
            if (f.t < lo || f.t > hi)
                continue;
            held++;
            if (f.in >= 0)
                g_scratchIn[countIn++] = f.in;
            if (f.out >= 0)
                g_scratchOut[countOut++] = f.out;
        }
    }
    in->hasP95 = Percentile(g_scratchIn, countIn, PERCENTILE, &in->p95);
    out->hasP95 = Percentile(g_scratchOut, countOut, PERCENTILE, &out->p95);
    return rows > held ? rows - held : 0;
}

}  // namespace

int64_t PeriodSeconds(Period period)
{
    return period == PERIOD_DAY ? 86400 : kRings[period].width * kRings[period].count;
}

void HistoryReset(History *h, bool exact, Figure *figures, int32_t cap)
{
    memset(h, 0, sizeof *h);
    h->exact = exact;
    h->figures = cap > 0 ? figures : nullptr;
    h->figureCap = cap > 0 ? cap : 0;
    for (int p = PERIOD_WEEK; p < PERIOD_COUNT; p++) {
        Bin *bins = RingBins(h, static_cast<Period>(p));
        for (int i = 0; i < kRings[p].count; i++)
            bins[i].key = -1;
    }
}

void HistoryAddRow(History *h, const HistoryRow &row)
{
    AddPoint(h, row);
    int64_t key = row.t / kRings[PERIOD_WEEK].width;
    if (h->runOpen && key == h->run.key) {
        AddToBin(&h->run, row, h->exact);
    } else {
        EndRun(h);
        StartBin(&h->run, key, row, h->exact);
        h->runOpen = true;
        h->runAfterRows = h->rows > 0;
        h->runBefore = h->lastT;
    }
    if (h->exact) {
        AddFigure(h, row);
        if (h->rows > 0 && row.speed != h->lastSpeed) {
            h->speedChanges++;
            h->speedChangeT = row.t;
            h->speedBefore = h->lastSpeed;
        }
        h->lastSpeed = row.speed;
        h->lastIn = row.bpsIn;
        h->lastOut = row.bpsOut;
    } else {
        h->lastIn = row.in;
        h->lastOut = row.out;
    }
    if (h->rows == 0)
        h->firstT = row.t;
    h->rows++;
    h->lastT = row.t;
    h->lastHasIn = row.hasIn;
    h->lastHasOut = row.hasOut;
}

void HistoryEnd(History *h)
{
    EndRun(h);
}

void HistoryAddBad(History *h, int64_t line, const char *text, int64_t length)
{
    h->badRows++;
    if (h->badNamed >= MAX_BAD_NAMED)
        return;
    BadRow *bad = &h->bad[h->badNamed++];
    bad->line = line;
    bad->length = length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(length);
    int64_t kept = length < BAD_TEXT_MAX ? length : BAD_TEXT_MAX;
    memset(bad->text, 0, sizeof bad->text);
    memcpy(bad->text, text, static_cast<size_t>(kept));
}

int BuildGraph(const History *h, Period period, Graph *g)
{
    g->exact = h->exact;
    g->count = 0;
    g->rows = 0;
    StartStats(&g->in);
    StartStats(&g->out);
    g->lastSoFar = false;
    g->merged = false;
    g->topSpeed = 0;
    g->figuresCut = 0;
    int64_t end = EndTime(h);
    g->t1 = end;
    g->t0 = end - PeriodSeconds(period);
    if (h->rows == 0)
        return 0;

    Flow avgIn = Flow(), avgOut = Flow();
    if (period == PERIOD_DAY) {
        // In file order, the points of the last 24 hours, (end - 24 h, end]; one whose
        // predecessor falls outside them starts a line of its own.
        bool previousShown = false;
        for (int i = 0; i < h->dayCount; i++) {
            const Bin &b = h->day[(h->dayNext - h->dayCount + i + DAY_POINTS) % DAY_POINTS];
            bool shown = b.key > g->t0 && b.key <= g->t1;
            if (shown) {
                GraphPoint *p = &g->points[g->count];
                p->t = b.key;
                p->breakBefore = b.breakBefore || !previousShown;
                Accumulate(p, b, true, g, &avgIn, &avgOut);
            }
            previousShown = shown;
        }
        g->figuresCut = Percentiles(h, g->t0, g->t1, true, g->rows, &g->in, &g->out);
    } else {
        const Ring &ring = kRings[period];
        const Bin *bins = RingBins(h, period);
        int64_t lastKey = end / ring.width;
        int64_t firstKey = lastKey - ring.count + 1;
        g->t0 = firstKey * ring.width;
        g->t1 = (lastKey + 1) * ring.width;
        bool previousShown = false;
        for (int64_t key = firstKey; key <= lastKey; key++) {
            if (key < 0)
                continue;
            const Bin &b = bins[key % ring.count];
            bool shown = b.key == key && b.rows > 0;
            if (shown) {
                GraphPoint *p = &g->points[g->count];
                p->t = key * ring.width + ring.width / 2;
                p->breakBefore = !previousShown;
                // The bin the last row is in is still filling: its rows are no average yet.
                Accumulate(p, b, key < lastKey, g, &avgIn, &avgOut);
                g->lastSoFar = key == lastKey;
            }
            previousShown = shown;
        }
        g->figuresCut = Percentiles(h, g->t0, g->t1, false, g->rows, &g->in, &g->out);
    }
    Finish(&g->in, avgIn, h->exact);
    Finish(&g->out, avgOut, h->exact);
    return g->count;
}

void RangeStats(const History *h, int64_t from, int64_t to, FlowStats *in, FlowStats *out)
{
    StartStats(in);
    StartStats(out);
    Flow avgIn = Flow(), avgOut = Flow();
    int64_t firstKey = from / 86400;
    int64_t lastKey = (to - 1) / 86400;
    // Only days the ring of daily bins still holds, as the year graph shows them.
    int64_t oldest = EndTime(h) / 86400 - kRings[PERIOD_YEAR].count + 1;
    if (firstKey < oldest)
        firstKey = oldest;
    for (int64_t key = firstKey; key <= lastKey && h->rows > 0; key++) {
        if (key < 0)
            continue;
        const Bin &b = h->year[key % kRings[PERIOD_YEAR].count];
        if (b.key != key)
            continue;
        Total(b.in, true, in, &avgIn);
        Total(b.out, true, out, &avgOut);
    }
    Finish(in, avgIn, h->exact);
    Finish(out, avgOut, h->exact);
    Percentiles(h, from, to, false, 0, in, out);
}
