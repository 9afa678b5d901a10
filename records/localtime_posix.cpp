#include <ctime>

#include "records/localtime.h"

void ReadLocalTime(LocalTime *lt)
{
    time_t now = time(nullptr);
    struct tm tmNow = {};
    localtime_r(&now, &tmNow);
    lt->day = tmNow.tm_mday;
    lt->month = tmNow.tm_mon + 1;
    lt->year = tmNow.tm_year + 1900;
    lt->hour = tmNow.tm_hour;
    lt->minute = tmNow.tm_min;
    lt->second = tmNow.tm_sec;
}
