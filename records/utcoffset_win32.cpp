#include <windows.h>

#include "records/localtime.h"

int UtcOffsetMinutes(const LocalTime &lt)
{
    SYSTEMTIME local = {};
    local.wYear = static_cast<WORD>(lt.year);
    local.wMonth = static_cast<WORD>(lt.month);
    local.wDay = static_cast<WORD>(lt.day);
    local.wHour = static_cast<WORD>(lt.hour);
    local.wMinute = static_cast<WORD>(lt.minute);
    local.wSecond = static_cast<WORD>(lt.second);
    // The zone's rules for that moment, daylight saving time included.
    SYSTEMTIME utc;
    FILETIME fLocal, fUtc;
    if (!TzSpecificLocalTimeToSystemTime(nullptr, &local, &utc) || !SystemTimeToFileTime(&local, &fLocal) ||
        !SystemTimeToFileTime(&utc, &fUtc))
        return 0;
    ULARGE_INTEGER a, b;
    a.LowPart = fLocal.dwLowDateTime;
    a.HighPart = fLocal.dwHighDateTime;
    b.LowPart = fUtc.dwLowDateTime;
    b.HighPart = fUtc.dwHighDateTime;
    // In 100 ns units; a zone is whole minutes from UTC.
    return static_cast<int>((static_cast<LONGLONG>(a.QuadPart) - static_cast<LONGLONG>(b.QuadPart)) / 600000000LL);
}
