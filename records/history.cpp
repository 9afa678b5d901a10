// History files are only appended to and never read back (records/rowfile.h):
// one row per interface and cycle, rows held while the file cannot be written.
#include "records/history.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "config/interfaces.h"
#include "records/historyname.h"
#include "records/localtime.h"
#include "records/rowfile.h"

char g_strFileName[260];

namespace {

// A row's text: its line break, the date, hour and time, two int64 figures.
#define HISTORY_ROW_CHARS 72

const RowFileKind kHistoryFile = {HISTORY_HEADER, "History write failure", "History rows dropped",
                                  "History write resumed"};

char g_heldText[MAX_INTERFACES][HISTORY_HELD_MAX][HISTORY_ROW_CHARS];
uint64_t g_heldTaken[MAX_INTERFACES][HISTORY_HELD_MAX];
HeldRing g_held[MAX_INTERFACES];
uint64_t g_rowsTaken;  // interfaces that share a file merge their held rows by it

HeldRing *Held(int32_t index)
{
    HeldRing *ring = &g_held[index];
    if (!ring->text)
        *ring = {g_heldText[index][0], g_heldTaken[index], HISTORY_ROW_CHARS, HISTORY_HELD_MAX, 0, 0, false};
    return ring;
}

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

// An empty field, never 0, for a figure that was not measured: a spreadsheet
// leaves it out of charts and averages.
void PrintFigure(char *text, size_t cap, bool has, int64_t pct)
{
    size_t used = strlen(text);
    if (has)
        snprintf(text + used, cap - used, ",%" PRId64, pct);
    else
        snprintf(text + used, cap - used, ",");
}

}  // namespace

void AppendHistory(int32_t index)
{
    if (index < 0 || index >= MAX_INTERFACES)
        return;
    const InterfaceRecord *rec = &g_interfaces[index];

    // The row starts with its line break, so the file never ends in one.
    LocalTime lt;
    ReadLocalTime(&lt);
    char row[HISTORY_ROW_CHARS];
    snprintf(row, sizeof row, "\n%02d-%02d-%02d,%02d,%02d:%02d:%02d", lt.day, lt.month, lt.year, lt.hour, lt.hour,
             lt.minute, lt.second);
    PrintFigure(row, sizeof row, rec->measuredIn != 0, Percent(rec->bpsIn, rec->linkSpeed));
    PrintFigure(row, sizeof row, rec->measuredOut != 0, Percent(rec->bpsOut, rec->linkSpeed));

    FormHistoryFileName(rec, g_strFileName, sizeof g_strFileName);

    // Interfaces of the same name write one file.
    HeldRing *rings[MAX_INTERFACES];
    int count = 0;
    for (int32_t j = 0; j < MAX_INTERFACES; j++)
        if (strncmp(rec->strName, g_interfaces[j].strName, sizeof rec->strName) == 0)
            rings[count++] = Held(j);
    AppendRow(&kHistoryFile, g_strFileName, rings, count, Held(index), row, g_rowsTaken++);
}
