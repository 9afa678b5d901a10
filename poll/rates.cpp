#include "poll/rates.h"

#include <limits>

namespace {

// Products of 64-bit values (octets × 8000, bits × 100) need more than 64 bits.
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

int UpdateDirection(const CounterReading *fresh, int64_t linkSpeed, int64_t *prevReading, int64_t *prevReadingMs,
                    int64_t *bps, int32_t *pct, int64_t *octets, int64_t *ms)
{
    *bps = 0;
    *pct = 0;
    *octets = 0;
    *ms = 0;
    if (!fresh)
        return 0;

    // A 64-bit counter does not wrap within centuries: a lower reading means the
    // agent restarted or its counters were cleared, and measures nothing. So does
    // a 32-bit reading below a baseline that no 32-bit counter could have held,
    // and one taken after the device restarted.
    int64_t reading = fresh->value;
    int64_t elapsed = fresh->ms - *prevReadingMs;
    bool discontinuity =
        fresh->restarted || (reading < *prevReading && (fresh->counter64 || *prevReading >= kCounterSpan));
    int measured = *prevReadingMs != 0 && elapsed > 0 && !discontinuity;
    if (measured) {
        Wide grown = Wide(reading) - *prevReading;
        if (reading < *prevReading)
            grown += kCounterSpan;
        int64_t rate = Saturate<int64_t>(grown * 8000 / elapsed);
        int32_t percent = 0;
        if (linkSpeed > 0)
            percent = Saturate<int32_t>(Wide(rate) * 100 / linkSpeed);
        if (percent < 0 || percent > 150)
            rate = 0;
        *bps = rate;
        *pct = percent;
        *octets = Saturate<int64_t>(grown);
        *ms = elapsed;
    }
    *prevReading = reading;
    *prevReadingMs = fresh->ms;
    return measured;
}

int FellBelowBaseline(const CounterReading &fresh, int64_t prevReading, int64_t prevReadingMs)
{
    return prevReadingMs != 0 && !fresh.counter64 && fresh.value < prevReading && prevReading < kCounterSpan;
}

int RestartedSince(int64_t uptimeTicks, int64_t askedMs, int64_t readingMs)
{
    return Wide(uptimeTicks) * 10 < Wide(askedMs) - readingMs;
}
