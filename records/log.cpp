#include "records/log.h"

#include <cstdio>
#include <mutex>

#include "records/localtime.h"
#include "records/textmode.h"

// Serialises open-write-close, so lines from the window thread and the SNMP
// reply thread never interleave.
static std::mutex g_logLock;

void WriteLog(const char *message, const char *detail)
{
    LocalTime lt;
    ReadLocalTime(&lt);

    char szLine[LOG_LINE_MAX];
    int cch = snprintf(szLine, sizeof szLine, "%02d-%02d-%02d,%02d:%02d:%02d,%s,%s\n", lt.day, lt.month, lt.year,
                       lt.hour, lt.minute, lt.second, message ? message : "", detail ? detail : "");
    if (cch < 0)
        return;
    if (static_cast<size_t>(cch) >= sizeof szLine) {
        // Cut short, but keep the line a line, LOG_LINE_MAX - 1 bytes with its CR LF.
        cch = sizeof szLine - 2;
        szLine[cch - 1] = '\n';
    }

    std::lock_guard<std::mutex> lock(g_logLock);
    FILE *logfile = fopen(LOG_FILE_NAME, "ab");
    if (!logfile)
        return;
    // One write per line, each LF (also one inside a name) as CR LF.
    WriteText(logfile, szLine, static_cast<size_t>(cch));
    fclose(logfile);
}
