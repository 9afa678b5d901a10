#include <windows.h>

#include "records/localtime.h"

void (*g_localTimeHook)(LocalTime *lt);

void ReadLocalTime(LocalTime *lt)
{
    if (g_localTimeHook) {
        g_localTimeHook(lt);
        return;
    }
    SYSTEMTIME st;
    GetLocalTime(&st);
    lt->day = st.wDay;
    lt->month = st.wMonth;
    lt->year = st.wYear;
    lt->hour = st.wHour;
    lt->minute = st.wMinute;
    lt->second = st.wSecond;
}
