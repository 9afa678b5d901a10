#include <ctime>

#include "records/localtime.h"

int UtcOffsetMinutes(const LocalTime &lt)
{
    struct tm tmLocal = {};
    tmLocal.tm_mday = lt.day;
    tmLocal.tm_mon = lt.month - 1;
    tmLocal.tm_year = lt.year - 1900;
    tmLocal.tm_hour = lt.hour;
    tmLocal.tm_min = lt.minute;
    tmLocal.tm_sec = lt.second;
    tmLocal.tm_isdst = -1;  // the zone's rules say whether summer time applies
    if (mktime(&tmLocal) == static_cast<time_t>(-1))
        return 0;
    return static_cast<int>(tmLocal.tm_gmtoff / 60);
}
