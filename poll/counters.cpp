#include "poll/counters.h"

int IsHcCounter(const uint32_t *ids, size_t count)
{
    static const uint32_t kIfXEntry[] = {1, 3, 6, 1, 2, 1, 31, 1, 1, 1};
    const size_t kPrefix = sizeof kIfXEntry / sizeof kIfXEntry[0];
    if (count < kPrefix + 2)
        return 0;
    for (size_t k = 0; k < kPrefix; k++)
        if (ids[k] != kIfXEntry[k])
            return 0;
    return ids[kPrefix] >= 6 && ids[kPrefix] <= 13;
}
