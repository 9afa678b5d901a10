#include "records/log.h"

#include <cstdio>
#include <cstring>
#include <mutex>

#include "records/diskfile.h"
#include "records/localtime.h"
#include "records/textmode.h"

namespace {

// Serialises open-write-close and the held lines, so lines from the window
// thread and the SNMP reply thread never interleave.
std::mutex g_logLock;

// Lines that could not be written, oldest first, in a ring.
struct HeldLine {
    LocalTime time;
    char text[LOG_LINE_MAX];
    size_t len;
};
HeldLine g_heldLines[LOG_HELD_MAX];
int g_heldFirst;
int g_heldCount;
long g_linesDropped;
LocalTime g_lastDroppedTime;
// Lines held since the log was last written, those dropped among them.
long g_linesHeld;
LocalTime g_firstHeldTime;

// One line of the log, its LF included; 0 when it cannot be formatted.
size_t FormatLine(char (&szLine)[LOG_LINE_MAX], const LocalTime &lt, const char *message, const char *detail)
{
    int cch = snprintf(szLine, sizeof szLine, "%02d-%02d-%02d,%02d:%02d:%02d,%s,%s\n", lt.day, lt.month, lt.year,
                       lt.hour, lt.minute, lt.second, message ? message : "", detail ? detail : "");
    if (cch < 0)
        return 0;
    if (static_cast<size_t>(cch) >= sizeof szLine) {
        // Cut short, but keep the line a line, LOG_LINE_MAX - 1 bytes with its CR LF.
        cch = sizeof szLine - 2;
        szLine[cch - 1] = '\n';
    }
    return static_cast<size_t>(cch);
}

void HoldLine(const LocalTime &lt, const char *text, size_t len)
{
    if (g_linesHeld++ == 0)
        g_firstHeldTime = lt;
    if (g_heldCount == LOG_HELD_MAX) {
        g_lastDroppedTime = g_heldLines[g_heldFirst].time;
        g_linesDropped++;
        g_heldFirst = (g_heldFirst + 1) % LOG_HELD_MAX;
        g_heldCount--;
    }
    HeldLine *line = &g_heldLines[(g_heldFirst + g_heldCount) % LOG_HELD_MAX];
    line->time = lt;
    memcpy(line->text, text, len);
    line->len = len;
    g_heldCount++;
}

// Prints a word on the lines held, and on those dropped to make room, then the
// held lines; they stay held until the log has them (ForgetHeldLines).
void WriteHeldLines(FILE *logfile)
{
    char szCount[24], szLine[LOG_LINE_MAX];
    if (g_linesHeld > 0) {
        snprintf(szCount, sizeof szCount, "%ld", g_linesHeld);
        WriteText(logfile, szLine, FormatLine(szLine, g_firstHeldTime, "Log lines held", szCount));
    }
    if (g_linesDropped > 0) {
        snprintf(szCount, sizeof szCount, "%ld", g_linesDropped);
        WriteText(logfile, szLine, FormatLine(szLine, g_lastDroppedTime, "Log lines dropped", szCount));
    }
    for (int k = 0; k < g_heldCount; k++) {
        const HeldLine &line = g_heldLines[(g_heldFirst + k) % LOG_HELD_MAX];
        WriteText(logfile, line.text, line.len);
    }
}

void ForgetHeldLines()
{
    g_linesHeld = 0;
    g_linesDropped = 0;
    g_heldFirst = 0;
    g_heldCount = 0;
}

struct NewLine {
    const char *text;
    size_t len;
};

// The held lines, then this one: one write per line, each LF (also one inside a
// name) as CR LF.
void PrintLines(FILE *logfile, int64_t, void *context)
{
    const NewLine *line = static_cast<const NewLine *>(context);
    WriteHeldLines(logfile);
    WriteText(logfile, line->text, line->len);
}

}  // namespace

void WriteLog(const char *message, const char *detail)
{
    LocalTime lt;
    ReadLocalTime(&lt);
    char szLine[LOG_LINE_MAX];
    size_t cch = FormatLine(szLine, lt, message, detail);
    if (cch == 0)
        return;

    std::lock_guard<std::mutex> lock(g_logLock);
    // The log cannot tell of its own failure: the line waits for one that gets through.
    NewLine line = {szLine, cch};
    if (AppendWhole(LOG_FILE_NAME, PrintLines, &line))
        ForgetHeldLines();
    else
        HoldLine(lt, szLine, cch);
}
