// The clock that times the rates: one that no one sets, so a step of the wall
// clock moves only the dates and times printed.
#pragma once

#include <cstdint>

// Milliseconds from an arbitrary start, never going back.
int64_t MonotonicMs();
