// The wall clock of a test copy of the program, in place of the platform's: an
// hour ahead from 1.5 periods after its first reading, and right again from 3.5
// periods on. Rates must not see it; only the times printed move.
#include <windows.h>

#include "app/mainwnd.h"
#include "poll/clock.h"
#include "records/localtime.h"

void ReadLocalTime(LocalTime *lt)
{
    static const int64_t firstMs = MonotonicMs();
    int64_t since = MonotonicMs() - firstMs;
    bool ahead = since >= VELLARY_POLL_PERIOD_MS * 3 / 2 && since < VELLARY_POLL_PERIOD_MS * 7 / 2;

    SYSTEMTIME st;
    GetLocalTime(&st);
    FILETIME ft;
    SystemTimeToFileTime(&st, &ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    if (ahead)
        t.QuadPart += 3600ULL * 10000000ULL;  // in 100 ns
    ft.dwLowDateTime = t.LowPart;
    ft.dwHighDateTime = t.HighPart;
    FileTimeToSystemTime(&ft, &st);
    *lt = {st.wDay, st.wMonth, st.wYear, st.wHour, st.wMinute, st.wSecond};
}
