#include "report/aggregate.h"

#include <cstring>

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

// One direction's figure into its sum, count and maximum; an empty field into none.
void AddFigure(bool has, int32_t value, int64_t *sum, int32_t *rows, int32_t *max)
{
    if (!has)
        return;
    if (*rows == 0 || value > *max)
        *max = value;
    *sum += value;
    (*rows)++;
}

void AddToBin(Bin *b, const HistoryRow &row)
{
    b->rows++;
    AddFigure(row.hasIn, row.in, &b->sumIn, &b->rowsIn, &b->maxIn);
    AddFigure(row.hasOut, row.out, &b->sumOut, &b->rowsOut, &b->maxOut);
}

void StartBin(Bin *b, int64_t key, const HistoryRow &row)
{
    *b = Bin();
    b->key = key;
    AddToBin(b, row);
}

void AddPoint(History *h, const HistoryRow &row)
{
    if (h->dayCount > 0) {
        Bin *last = &h->day[(h->dayNext + DAY_POINTS - 1) % DAY_POINTS];
        if (row.t >= last->key && row.t - last->key < MERGE_SECONDS) {
            AddToBin(last, row);
            return;
        }
    }
    Bin *b = &h->day[h->dayNext];
    StartBin(b, row.t, row);
    // Rows are drawn in file order: a clock set back starts a new line rather than
    // drawing one back to the left.
    b->breakBefore = h->rows == 0 || row.t < h->lastT || row.t - h->lastT > GAP_SECONDS;
    h->dayNext = (h->dayNext + 1) % DAY_POINTS;
    if (h->dayCount < DAY_POINTS)
        h->dayCount++;
}

// One direction of a bin into its point and the graph's figures.
void AccumulateFigure(int64_t sum, int32_t rows, int32_t max, double *point, bool *has, double *graphSum,
                      int64_t *graphRows, int32_t *graphMax)
{
    *has = rows > 0;
    *point = *has ? static_cast<double>(sum) / rows : 0;
    if (!*has)
        return;
    if (*graphRows == 0 || max > *graphMax)
        *graphMax = max;
    *graphSum += static_cast<double>(sum);  // a sum until the end of BuildGraph
    *graphRows += rows;
}

void Accumulate(GraphPoint *p, const Bin &b, Graph *g)
{
    AccumulateFigure(b.sumIn, b.rowsIn, b.maxIn, &p->in, &p->hasIn, &g->avgIn, &g->rowsIn, &g->maxIn);
    AccumulateFigure(b.sumOut, b.rowsOut, b.maxOut, &p->out, &p->hasOut, &g->avgOut, &g->rowsOut, &g->maxOut);
    g->rows += b.rows;
    g->count++;
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

}  // namespace

int64_t PeriodSeconds(Period period)
{
    return period == PERIOD_DAY ? 86400 : kRings[period].width * kRings[period].count;
}

void HistoryReset(History *h)
{
    memset(h, 0, sizeof *h);
    for (int p = PERIOD_WEEK; p < PERIOD_COUNT; p++) {
        Bin *bins = RingBins(h, static_cast<Period>(p));
        for (int i = 0; i < kRings[p].count; i++)
            bins[i].key = -1;
    }
}

void HistoryAddRow(History *h, const HistoryRow &row)
{
    AddPoint(h, row);
    // A bin's slot holds whichever bin last wrote to it: after a clock set back the
    // rows go on into the earlier bins, and the present wins over an old excursion.
    for (int p = PERIOD_WEEK; p < PERIOD_COUNT; p++) {
        if (row.t >= h->binStart[p] && row.t < h->binEnd[p]) {
            AddToBin(h->bin[p], row);
            continue;
        }
        int64_t key = row.t / kRings[p].width;
        Bin *b = &RingBins(h, static_cast<Period>(p))[key % kRings[p].count];
        // A row far older than the ring's span before the previous one (a PC that
        // booted with its clock wrong) leaves a newer bin be; the next such row
        // shows the clock was set back for good, and takes over.
        if (h->rows > 0 && key < h->lastT / kRings[p].width - kRings[p].count + 1 && b->key > key)
            continue;
        if (b->key == key)
            AddToBin(b, row);
        else
            StartBin(b, key, row);
        h->bin[p] = b;
        h->binStart[p] = key * kRings[p].width;
        h->binEnd[p] = h->binStart[p] + kRings[p].width;
    }
    if (h->rows == 0)
        h->firstT = row.t;
    h->rows++;
    h->lastT = row.t;
    h->lastIn = row.in;
    h->lastOut = row.out;
    h->lastHasIn = row.hasIn;
    h->lastHasOut = row.hasOut;
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
    g->count = 0;
    g->rows = 0;
    g->rowsIn = g->rowsOut = 0;
    g->avgIn = g->avgOut = 0;
    g->maxIn = g->maxOut = 0;
    int64_t end = EndTime(h);
    g->t1 = end;
    g->t0 = end - PeriodSeconds(period);
    if (h->rows == 0)
        return 0;

    if (period == PERIOD_DAY) {
        // In file order, the points of the last 24 hours; one whose predecessor falls
        // outside them starts a line of its own.
        bool previousShown = false;
        for (int i = 0; i < h->dayCount; i++) {
            const Bin &b = h->day[(h->dayNext - h->dayCount + i + DAY_POINTS) % DAY_POINTS];
            bool shown = b.key >= g->t0 && b.key <= g->t1;
            if (shown) {
                GraphPoint *p = &g->points[g->count];
                p->t = b.key;
                p->breakBefore = b.breakBefore || !previousShown;
                Accumulate(p, b, g);
            }
            previousShown = shown;
        }
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
                Accumulate(p, b, g);
            }
            previousShown = shown;
        }
    }
    if (g->rowsIn > 0)
        g->avgIn /= static_cast<double>(g->rowsIn);
    if (g->rowsOut > 0)
        g->avgOut /= static_cast<double>(g->rowsOut);
    return g->count;
}
