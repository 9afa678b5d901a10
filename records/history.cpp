// History files are only appended to and never read back; each call opens and
// closes its file, so the files can be copied while the monitor runs. A row whose
// file cannot be opened (a spreadsheet holds it, it is read-only for a while) is
// held, with its own time, and written before the next row that gets through.
#include "records/history.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "config/interfaces.h"
#include "records/localtime.h"
#include "records/log.h"
#include "records/textmode.h"

char g_strFileName[260];

namespace {

struct HistoryRow {
    LocalTime time;
    int64_t pctIn, pctOut;
    bool hasIn, hasOut;  // a direction not measured has no figure: its field is empty
    uint64_t taken;      // when it was taken among all rows: interfaces that share a file merge by it
};

// One interface's rows waiting for its file, oldest first, in a ring.
struct HeldRows {
    HistoryRow rows[HISTORY_HELD_MAX];
    int first;
    int count;
    bool dropped;  // the oldest went in this episode, and the log said so
};

HeldRows g_held[MAX_INTERFACES];
uint64_t g_rowsTaken;

// rate as a whole percentage of linkSpeed, truncated. rate * 100 needs more than 64
// bits once rates are 64-bit; the quotient only leaves int64 for a link of 1 bit/s.
// A link speed of zero or below has no meaningful percentage: 0.
int64_t Percent(int64_t rate, int64_t linkSpeed)
{
    if (linkSpeed <= 0)
        return 0;
    __int128 percent = static_cast<__int128>(rate) * 100 / linkSpeed;
    if (percent > INT64_MAX)
        return INT64_MAX;
    if (percent < INT64_MIN)
        return INT64_MIN;
    return static_cast<int64_t>(percent);
}

// Interfaces of the same name write one file.
bool SharesFile(int32_t a, int32_t b)
{
    return strncmp(g_interfaces[a].strName, g_interfaces[b].strName, sizeof g_interfaces[a].strName) == 0;
}

// Whether any interface writing index's file has rows held (or dropped some).
bool FileHolds(int32_t index, bool dropped)
{
    for (int32_t j = 0; j < MAX_INTERFACES; j++)
        if (SharesFile(index, j) && (dropped ? g_held[j].dropped : g_held[j].count > 0))
            return true;
    return false;
}

void Hold(int32_t index, const HistoryRow &row)
{
    if (!FileHolds(index, false))
        WriteLog("History write failure", g_strFileName);
    HeldRows *held = &g_held[index];
    if (held->count == HISTORY_HELD_MAX) {
        if (!FileHolds(index, true))
            WriteLog("History rows dropped", g_strFileName);
        held->dropped = true;
        held->first = (held->first + 1) % HISTORY_HELD_MAX;
        held->count--;
    }
    held->rows[(held->first + held->count) % HISTORY_HELD_MAX] = row;
    held->count++;
}

// An empty field, never 0, for a figure that was not measured: a spreadsheet
// leaves it out of charts and averages.
void PrintFigure(FILE *pFile, bool has, int64_t pct)
{
    if (has)
        PrintText(pFile, ",%" PRId64, pct);
    else
        PrintText(pFile, ",");
}

// Rows start with their line break, so the file never ends in one.
void PrintRow(FILE *pFile, const HistoryRow &row)
{
    const LocalTime &lt = row.time;
    PrintText(pFile, "\n%02d-%02d-%02d,%02d,%02d:%02d:%02d", lt.day, lt.month, lt.year, lt.hour, lt.hour, lt.minute,
              lt.second);
    PrintFigure(pFile, row.hasIn, row.pctIn);
    PrintFigure(pFile, row.hasOut, row.pctOut);
}

// Writes the rows held for index's file, of every interface that shares it, in the
// order they were taken, and forgets them. Returns whether there were any.
bool WriteHeld(FILE *pFile, int32_t index)
{
    bool wrote = false;
    while (true) {
        HeldRows *next = nullptr;
        for (int32_t j = 0; j < MAX_INTERFACES; j++) {
            HeldRows *held = &g_held[j];
            if (held->count > 0 && SharesFile(index, j) &&
                (!next || held->rows[held->first].taken < next->rows[next->first].taken))
                next = held;
        }
        if (!next)
            break;
        PrintRow(pFile, next->rows[next->first]);
        next->first = (next->first + 1) % HISTORY_HELD_MAX;
        next->count--;
        wrote = true;
    }
    for (int32_t j = 0; j < MAX_INTERFACES; j++)
        if (SharesFile(index, j))
            g_held[j].dropped = false;
    return wrote;
}

}  // namespace

int FormHistoryFileName(const InterfaceRecord *rec, char *buf, size_t cap)
{
    int len = snprintf(buf, cap, "%s.csv", FieldValue(rec->strName).str);
    return len > 0 && static_cast<size_t>(len) < cap;
}

void AppendHistory(int32_t index)
{
    if (index < 0 || index >= MAX_INTERFACES)
        return;
    const InterfaceRecord *rec = &g_interfaces[index];

    HistoryRow row;
    ReadLocalTime(&row.time);
    row.pctIn = Percent(rec->bpsIn, rec->linkSpeed);
    row.pctOut = Percent(rec->bpsOut, rec->linkSpeed);
    row.hasIn = rec->measuredIn != 0;
    row.hasOut = rec->measuredOut != 0;
    row.taken = g_rowsTaken++;

    FormHistoryFileName(rec, g_strFileName, sizeof g_strFileName);

    // Binary mode, LF written as CR LF here: the same bytes from every build.
    // Only a file that does not exist yet gets the header; an empty one counts.
    FILE *pFile = fopen(g_strFileName, "rb");
    bool exists = pFile != nullptr;
    if (pFile)
        fclose(pFile);

    pFile = fopen(g_strFileName, "a+b");
    if (!pFile) {
        Hold(index, row);
        return;
    }
    if (!exists)
        WriteText(pFile, HISTORY_HEADER, sizeof HISTORY_HEADER - 1);
    bool resumed = WriteHeld(pFile, index);
    PrintRow(pFile, row);
    fclose(pFile);
    if (resumed)
        WriteLog("History write resumed", g_strFileName);
}
