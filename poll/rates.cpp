#include "poll/rates.h"

#include <limits>

namespace {

// Products of 64-bit values (octets × 8, bits × 100) need more than 64 bits.
typedef __int128 Wide;

const Wide kCounterSpan = Wide(1) << 32;  // one pass of a Counter32

// value cut to the range of T.
template <typename T>
T Saturate(Wide value)
{
    if (value > std::numeric_limits<T>::max())
        return std::numeric_limits<T>::max();
    if (value < std::numeric_limits<T>::min())
        return std::numeric_limits<T>::min();
    return static_cast<T>(value);
}

}  // namespace

int UpdateDirection(int fresh, int counter64, int64_t reading, int64_t curTime, int64_t linkSpeed,
                     int64_t *prevReading, int64_t *prevReadingTime, int64_t *bps, int32_t *pct)
{
    *bps = 0;
    *pct = 0;
    if (!fresh)
        return 0;

    // elapsed <= 0 (same second, clock set back) gives no rate, only a new baseline.
    // A 64-bit counter does not wrap within centuries: a lower reading means the
    // agent restarted or its counters were cleared, and measures nothing. So does
    // a 32-bit reading below a baseline that no 32-bit counter could have held.
    int64_t elapsed = curTime - *prevReadingTime;
    bool discontinuity = reading < *prevReading && (counter64 || *prevReading >= kCounterSpan);
    int measured = *prevReadingTime != 0 && elapsed > 0 && !discontinuity;
    if (measured) {
        Wide octets = Wide(reading) - *prevReading;
        if (reading < *prevReading)
            octets += kCounterSpan;
        int64_t rate = Saturate<int64_t>(octets * 8 / elapsed);
        int32_t percent = 0;
        if (linkSpeed > 0)
            percent = Saturate<int32_t>(Wide(rate) * 100 / linkSpeed);
        if (percent < 0 || percent > 150)
            rate = 0;
        *bps = rate;
        *pct = percent;
    }
    *prevReading = reading;
    *prevReadingTime = curTime;
    return measured;
}
