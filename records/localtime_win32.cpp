#include <windows.h>

#include "records/localtime.h"

namespace {

void Split(const SYSTEMTIME &st, LocalTime *lt)
{
    lt->day = st.wDay;
    lt->month = st.wMonth;
    lt->year = st.wYear;
    lt->hour = st.wHour;
    lt->minute = st.wMinute;
    lt->second = st.wSecond;
}

}  // namespace

void ReadLocalTime(LocalTime *lt)
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    Split(st, lt);
}

void ReadWallClock(LocalTime *lt, int64_t *utc)
{
    // The local time from the same reading, by the zone's current bias as
    // GetLocalTime takes it.
    FILETIME ft, local;
    GetSystemTimeAsFileTime(&ft);
    SYSTEMTIME st;
    if (!FileTimeToLocalFileTime(&ft, &local) || !FileTimeToSystemTime(&local, &st))
        GetLocalTime(&st);
    Split(st, lt);
    ULARGE_INTEGER t;
    t.LowPart = ft.dwLowDateTime;
    t.HighPart = ft.dwHighDateTime;
    // 100 ns units since 1601.
    *utc = static_cast<int64_t>(t.QuadPart / 10000000ULL) - INT64_C(11644473600);
}
