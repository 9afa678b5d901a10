#include <windows.h>

#include "records/localtime.h"

void ReadLocalTime(LocalTime *lt)
{
    SYSTEMTIME st;
    GetLocalTime(&st);
    lt->day = st.wDay;
    lt->month = st.wMonth;
    lt->year = st.wYear;
    lt->hour = st.wHour;
    lt->minute = st.wMinute;
    lt->second = st.wSecond;
}
