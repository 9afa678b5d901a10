#include <ctime>

#include "records/localtime.h"

namespace {

void Split(time_t now, LocalTime *lt)
{
    struct tm tmNow = {};
    localtime_r(&now, &tmNow);
    lt->day = tmNow.tm_mday;
    lt->month = tmNow.tm_mon + 1;
    lt->year = tmNow.tm_year + 1900;
    lt->hour = tmNow.tm_hour;
    lt->minute = tmNow.tm_min;
    lt->second = tmNow.tm_sec;
}

}  // namespace

void ReadLocalTime(LocalTime *lt) { Split(time(nullptr), lt); }

void ReadWallClock(LocalTime *lt, int64_t *utc)
{
    time_t now = time(nullptr);
    Split(now, lt);
    *utc = static_cast<int64_t>(now);
}
