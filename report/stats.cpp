#include "report/stats.h"

#include <algorithm>

int64_t NearestRank(int64_t n, int pct)
{
    if (n <= 0)
        return 0;
    // In integers: 0.95 * n in floating point can land a hair above a whole rank.
    int64_t rank = (n / 100) * pct + ((n % 100) * pct + 99) / 100;
    return rank < 1 ? 1 : rank;
}

bool Percentile(int64_t *values, int64_t n, int pct, int64_t *result)
{
    if (n <= 0)
        return false;
    int64_t at = NearestRank(n, pct) - 1;
    std::nth_element(values, values + at, values + n);
    *result = values[at];
    return true;
}

double FlowAverage(const Flow &flow, bool exact)
{
    if (flow.rows == 0 || flow.weight <= 0)
        return 0;
    if (exact)
        return static_cast<double>(flow.sum) * 8000.0 / static_cast<double>(flow.weight);
    return static_cast<double>(flow.sum) / static_cast<double>(flow.weight);
}

int64_t AddHeld(int64_t a, int64_t b)
{
    int64_t sum;
    if (__builtin_add_overflow(a, b, &sum))
        return b < 0 ? INT64_MIN : INT64_MAX;
    return sum;
}

void AddToFlow(Flow *flow, int64_t sum, int64_t weight, int64_t figure, int64_t t)
{
    if (flow->rows == 0 || figure > flow->max) {
        flow->max = figure;
        flow->maxT = t;
    }
    flow->sum = AddHeld(flow->sum, sum);
    flow->weight = AddHeld(flow->weight, weight);
    flow->rows++;
}

void MergeFlow(Flow *into, const Flow &from)
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

int64_t FigurePercentiles(const Figure *figures, int32_t n, int64_t from, int64_t to, bool afterFrom,
                          int64_t *scratch, FlowStats *in, FlowStats *out)
{
    int64_t inside = 0;
    for (int32_t i = 0; i < n; i++) {
        int64_t t = figures[i].t;
        inside += afterFrom ? t > from && t <= to : t >= from && t < to;
    }
    for (int direction = 0; direction < 2; direction++) {
        int64_t count = 0;
        for (int32_t i = 0; i < n; i++) {
            const Figure &f = figures[i];
            bool inside = afterFrom ? f.t > from && f.t <= to : f.t >= from && f.t < to;
            int64_t v = direction == 0 ? f.in : f.out;
            if (inside && v >= 0)
                scratch[count++] = v;
        }
        FlowStats *s = direction == 0 ? in : out;
        s->hasP95 = Percentile(scratch, count, PERCENTILE, &s->p95);
    }
    return inside;
}
