// Rates and percentages from two readings of an octet counter.
#pragma once

#include <cstdint>

// One fresh reading of a counter, as the poll took it.
struct CounterReading {
    int64_t value;
    int64_t ms;     // the monotonic time its GET went out
    int counter64;  // it came as a Counter64
    int restarted;  // the device restarted since the baseline was read
};

// One direction of one poll. With a fresh reading and a baseline read earlier,
// sets *bps to the bits per second between the two readings (octets × 8000 /
// milliseconds, truncated, saturated to int64), *pct to that rate as a whole
// percentage of linkSpeed (0 when linkSpeed <= 0; saturated to int32), and
// *octets and *ms to the interval itself; a percentage outside 0..150 sets the
// rate to 0 and keeps the rest. A reading lower than the baseline counts as one
// pass of a 32-bit counter through 2^32, unless it is a discontinuity: a restart,
// a Counter64, or a baseline of 2^32 or more. A discontinuity, a first reading
// and no time between the readings measure nothing: all four 0. A fresh reading
// always becomes the new baseline; without one (fresh null) the baseline stays,
// so the next reading spans the whole gap. Returns 1 when the direction was
// measured, else 0.
int UpdateDirection(const CounterReading *fresh, int64_t linkSpeed, int64_t *prevReading, int64_t *prevReadingMs,
                    int64_t *bps, int32_t *pct, int64_t *octets, int64_t *ms);

// Whether a reading needs the device's sysUpTime to be read: a 32-bit reading
// below a 32-bit baseline, which is one wrap unless the device restarted.
int FellBelowBaseline(const CounterReading &fresh, int64_t prevReading, int64_t prevReadingMs);

// Whether a device that said it had been up for uptimeTicks (hundredths of a
// second) when asked at askedMs started after a reading taken at readingMs.
int RestartedSince(int64_t uptimeTicks, int64_t askedMs, int64_t readingMs);
