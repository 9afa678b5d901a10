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

