#include "poll/rates.h"

namespace {

const int64_t kCounterSpan = INT64_C(4294967296);  // 2^32, one pass of a Counter32

int32_t SaturateInt32(int64_t value)
{
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

void UpdateDirection(int fresh, int64_t reading, int64_t curTime, int32_t linkSpeed,
                     int64_t *prevReading, int64_t *prevReadingTime, int32_t *bps, int32_t *pct)
{
    *bps = 0;
    *pct = 0;
    if (!fresh)
        return;

    // elapsed <= 0 (same second, clock set back) gives no rate, only a new baseline.
    int64_t elapsed = curTime - *prevReadingTime;
    if (*prevReadingTime != 0 && elapsed > 0) {
        int64_t octets = reading - *prevReading;
        if (reading < *prevReading)
            octets += kCounterSpan;
        int32_t rate = SaturateInt32(octets * 8 / elapsed);
        int32_t percent = 0;
        if (linkSpeed > 0)
            percent = SaturateInt32(static_cast<int64_t>(rate) * 100 / linkSpeed);
        if (percent < 0 || percent > 150)
            rate = 0;
        *bps = rate;
        *pct = percent;
    }
    *prevReading = reading;
    *prevReadingTime = curTime;
}
