#include <windows.h>

#include "poll/clock.h"

// The performance counter rather than GetTickCount64, whose value moves in steps
// of 10 to 16 ms: two of those make 0.3 % of a 10 s interval.
int64_t MonotonicMs()
{
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart / frequency.QuadPart * 1000 + now.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart;
}
