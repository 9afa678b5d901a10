#include "poll/rates.h"

namespace {

// Products of 64-bit values (octets × 8, bits × 100) need more than 64 bits.
typedef __int128 Wide;

const Wide kCounterSpan = Wide(1) << 32;  // one pass of a Counter32

int64_t SaturateInt64(Wide value)
{
    if (value > INT64_MAX)
        return INT64_MAX;
    if (value < INT64_MIN)
        return INT64_MIN;
    return static_cast<int64_t>(value);
}

int32_t SaturateInt32(Wide value)
{
    if (value > INT32_MAX)
        return INT32_MAX;
    if (value < INT32_MIN)
        return INT32_MIN;
    return static_cast<int32_t>(value);
}

}  // namespace

void UpdateDirection(int fresh, int counter64, int64_t reading, int64_t curTime, int64_t linkSpeed,
                     int64_t *prevReading, int64_t *prevReadingTime, int64_t *bps, int32_t *pct)
{
    *bps = 0;
    *pct = 0;
    if (!fresh)
        return;

    // elapsed <= 0 (same second, clock set back) gives no rate, only a new baseline.
    // A 64-bit counter does not wrap within centuries: a lower reading means the
    // agent restarted or its counters were cleared, and measures nothing.
    int64_t elapsed = curTime - *prevReadingTime;
    bool discontinuity = counter64 && reading < *prevReading;
    if (*prevReadingTime != 0 && elapsed > 0 && !discontinuity) {
        Wide octets = Wide(reading) - *prevReading;
        if (reading < *prevReading)
            octets += kCounterSpan;
        int64_t rate = SaturateInt64(octets * 8 / elapsed);
        int32_t percent = 0;
        if (linkSpeed > 0)
            percent = SaturateInt32(Wide(rate) * 100 / linkSpeed);
        if (percent < 0 || percent > 150)
            rate = 0;
        *bps = rate;
        *pct = percent;
    }
    *prevReading = reading;
    *prevReadingTime = curTime;
}
