// History files are only appended to and never read back; each call opens and
// closes its file, so the files can be copied while the monitor runs. A row whose
// file cannot be opened or written (a spreadsheet holds it, it is read-only for a
// while, the disk is full) is held, with its own time, and written before the
// next row that gets through.
#include "records/history.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "config/interfaces.h"
#include "records/diskfile.h"
#include "records/historyname.h"
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

// Prints the rows held for index's file, of every interface that shares it, in
// the order they were taken; they stay held until the file has them (ForgetHeld).
// Returns whether there were any.
bool WriteHeld(FILE *pFile, int32_t index)
{
    int next[MAX_INTERFACES], left[MAX_INTERFACES];
    bool wrote = false;
    for (int32_t j = 0; j < MAX_INTERFACES; j++) {
        next[j] = g_held[j].first;
        left[j] = SharesFile(index, j) ? g_held[j].count : 0;
    }
    while (true) {
        int32_t oldest = -1;
        for (int32_t j = 0; j < MAX_INTERFACES; j++)
            if (left[j] > 0 && (oldest < 0 || g_held[j].rows[next[j]].taken < g_held[oldest].rows[next[oldest]].taken))
                oldest = j;
        if (oldest < 0)
            break;
        PrintRow(pFile, g_held[oldest].rows[next[oldest]]);
        next[oldest] = (next[oldest] + 1) % HISTORY_HELD_MAX;
        left[oldest]--;
        wrote = true;
    }
    return wrote;
}

// The rows held for index's file are in it.
void ForgetHeld(int32_t index)
{
    for (int32_t j = 0; j < MAX_INTERFACES; j++) {
        if (SharesFile(index, j)) {
            g_held[j].first = 0;
            g_held[j].count = 0;
            g_held[j].dropped = false;
        }
    }
}

// Writes the header when the file is empty, the held rows and row, and makes
// sure they reached the file: every write, the flush and the close succeeded.
// Anything less is cut off again, so the file never keeps part of a row.
bool WriteRows(const char *name, int32_t index, const HistoryRow &row, bool *resumed)
{
    FILE *pFile = OpenDiskFile(name, "ab");
    if (!pFile)
        return false;
    int64_t before = 0;
    bool written = DiskFileLength(pFile, &before);
    bool measured = written;
    if (written) {
        if (before == 0)
            WriteText(pFile, HISTORY_HEADER, sizeof HISTORY_HEADER - 1);
        *resumed = WriteHeld(pFile, index);
        PrintRow(pFile, row);
        written = !ferror(pFile) && fflush(pFile) == 0;
    }
    // Closed before the cut, so nothing left in the stream can land after it.
    if (fclose(pFile) != 0)
        written = false;
    if (!written && measured)
        CutDiskFile(name, before);
    return written;
}

}  // namespace

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
    bool resumed = false;
    if (!WriteRows(g_strFileName, index, row, &resumed)) {
        Hold(index, row);
        return;
    }
    ForgetHeld(index);
    if (resumed)
        WriteLog("History write resumed", g_strFileName);
}
