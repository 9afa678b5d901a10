#include "records/log.h"

#include <cstdio>
#include <mutex>

#include "records/localtime.h"

// Serialises open-write-close, so lines from the window thread and the SNMP
// reply thread never interleave.
static std::mutex g_logLock;

void WriteLog(const char *message, const char *detail)
{
    LocalTime lt;
    ReadLocalTime(&lt);

    char szLine[LOG_LINE_MAX];
    int cch = snprintf(szLine, sizeof szLine, "%02d-%02d-%02d,%02d:%02d:%02d,%s,%s\r\n",
                       lt.day, lt.month, lt.year, lt.hour, lt.minute, lt.second,
                       message ? message : "", detail ? detail : "");
    if (cch < 0)
        return;
    if (static_cast<size_t>(cch) >= sizeof szLine) {
        // Cut short, but keep the line a line.
        cch = sizeof szLine - 1;
        szLine[cch - 2] = '\r';
        szLine[cch - 1] = '\n';
    }

    std::lock_guard<std::mutex> lock(g_logLock);
    // Binary mode: CR LF is written as given, the same bytes on every build.
    FILE *logfile = fopen(LOG_FILE_NAME, "ab");
    if (!logfile)
        return;
    // One write per line: the whole line fits the stream's buffer and goes out at close.
    fwrite(szLine, 1, static_cast<size_t>(cch), logfile);
    fclose(logfile);
}
