#include "records/log.h"

#include <cstdio>
#include <mutex>

#include "records/localtime.h"

// Lines from the window thread and the SNMP reply thread never interleave.
static std::mutex g_logLock;

void WriteLog(const char *message, const char *detail)
{
    LocalTime lt;
    ReadLocalTime(&lt);
    char szLine[512];
    int cch = snprintf(szLine, sizeof szLine, "%02d-%02d-%02d,%02d:%02d:%02d,%s,%s\r\n", lt.day, lt.month, lt.year,
                       lt.hour, lt.minute, lt.second, message ? message : "", detail ? detail : "");
    if (cch < 0)
        return;
    if (static_cast<size_t>(cch) >= sizeof szLine) {
        cch = sizeof szLine - 1;
        szLine[cch - 2] = '\r';
        szLine[cch - 1] = '\n';
    }
    std::lock_guard<std::mutex> lock(g_logLock);
    // Binary mode: CR LF as written, the same bytes on every build.
    FILE *logfile = fopen("vellarylog.txt", "ab");
    if (!logfile)
        return;
    fwrite(szLine, 1, static_cast<size_t>(cch), logfile);
    fclose(logfile);
}
