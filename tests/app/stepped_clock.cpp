// The wall clock of a test copy of the program, in place of the platform's: an
// hour ahead from 1.5 periods after its first reading, and right again from 3.5
// periods on. Rates must not see it; only the times printed move.
#include <windows.h>

#include "app/mainwnd.h"
#include "poll/clock.h"
#include "records/localtime.h"

namespace {

// The stepped time now, in 100 ns units since 1601 (UTC).
ULARGE_INTEGER SteppedNow()
{
    static const int64_t firstMs = MonotonicMs();
    int64_t since = MonotonicMs() - firstMs;
    bool ahead = since >= VELLARY_POLL_PERIOD_MS * 3 / 2 && since < VELLARY_POLL_PERIOD_MS * 7 / 2;
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    if (ahead)
        t.QuadPart += 3600ULL * 10000000ULL;
    return t;
}

}  // namespace

void ReadWallClock(LocalTime *lt, int64_t *utc)
{
    ULARGE_INTEGER t = SteppedNow();
    FILETIME ft, local;
    ft.dwLowDateTime = t.LowPart;
    ft.dwHighDateTime = t.HighPart;
    SYSTEMTIME st;
    FileTimeToLocalFileTime(&ft, &local);
    FileTimeToSystemTime(&local, &st);
    *lt = {st.wDay, st.wMonth, st.wYear, st.wHour, st.wMinute, st.wSecond};
    *utc = static_cast<int64_t>(t.QuadPart / 10000000ULL) - INT64_C(11644473600);
}

void ReadLocalTime(LocalTime *lt)
{
    int64_t utc;
    ReadWallClock(lt, &utc);
}
