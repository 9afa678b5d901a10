// Rates and percentages from two readings of an octet counter.
#pragma once

#include <cstdint>

// One direction of one poll. With a fresh reading and a baseline taken earlier,
// sets *bps to the bits per second between the two readings (saturated to int64)
// and *pct to that rate as a whole percentage of linkSpeed (0 when linkSpeed <= 0;
// saturated to int32); a percentage outside 0..150 sets the rate to 0 and keeps
// the percentage. A reading lower than the baseline counts as one pass of a 32-bit
// counter through 2^32; for a 64-bit counter (counter64 set), or below a baseline
// of 2^32 or more, it means the counter was reset, and gives 0 and 0. Otherwise
// both are 0. A fresh reading always
// becomes the new baseline, with curTime as its time; without one the baseline
// stays, so the next reading spans the whole gap. Returns 1 when the rate is a
// measurement (a fresh reading over a baseline, with time between them, and no
// discontinuity), else 0.
int UpdateDirection(int fresh, int counter64, int64_t reading, int64_t curTime, int64_t linkSpeed,
                     int64_t *prevReading, int64_t *prevReadingTime, int64_t *bps, int32_t *pct);
