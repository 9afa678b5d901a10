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
};

// One file's rows waiting for it, oldest first, in a ring. Interfaces that share
// a file hold theirs in the ring of the first of them, so they stay in the order
// they were taken.
struct HeldRows {
    HistoryRow rows[HISTORY_HELD_MAX];
    int first;
    int count;
    bool dropped;  // the oldest went in this episode, and the log said so
};

HeldRows g_held[MAX_INTERFACES];

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

// The ring of index's file: the first interface's of that name.
HeldRows *HeldFor(int32_t index)
{
    int32_t first = 0;
    while (!SharesFile(index, first))
        first++;
    return &g_held[first];
}

void Hold(HeldRows *held, const HistoryRow &row)
{
    if (held->count == 0)
        WriteLog("History write failure", g_strFileName);
    if (held->count == HISTORY_HELD_MAX) {
        if (!held->dropped)
            WriteLog("History rows dropped", g_strFileName);
        held->dropped = true;
        held->first = (held->first + 1) % HISTORY_HELD_MAX;
        held->count--;
    }
    held->rows[(held->first + held->count) % HISTORY_HELD_MAX] = row;
    held->count++;
}

// Rows start with their line break, so the file never ends in one.
void PrintRow(FILE *pFile, const HistoryRow &row)
{
    const LocalTime &lt = row.time;
    PrintText(pFile, "\n%02d-%02d-%02d,%02d,%02d:%02d:%02d", lt.day, lt.month, lt.year, lt.hour, lt.hour, lt.minute,
              lt.second);
    PrintText(pFile, ",%" PRId64 ",%" PRId64, row.pctIn, row.pctOut);
}

// Writes the rows held, oldest first, and forgets them. Returns whether there were any.
bool WriteHeld(FILE *pFile, HeldRows *held)
{
    bool wrote = held->count > 0;
    for (; held->count > 0; held->count--) {
        PrintRow(pFile, held->rows[held->first]);
        held->first = (held->first + 1) % HISTORY_HELD_MAX;
    }
    held->dropped = false;
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

    FormHistoryFileName(rec, g_strFileName, sizeof g_strFileName);

    // Binary mode, LF written as CR LF here: the same bytes from every build.
    // Only a file that does not exist yet gets the header; an empty one counts.
    FILE *pFile = fopen(g_strFileName, "rb");
    bool exists = pFile != nullptr;
    if (pFile)
        fclose(pFile);

    HeldRows *held = HeldFor(index);
    pFile = fopen(g_strFileName, "a+b");
    if (!pFile) {
        Hold(held, row);
        return;
    }
    if (!exists)
        WriteText(pFile, HISTORY_HEADER, sizeof HISTORY_HEADER - 1);
    bool resumed = WriteHeld(pFile, held);
    PrintRow(pFile, row);
    fclose(pFile);
    if (resumed)
        WriteLog("History write resumed", g_strFileName);
}
