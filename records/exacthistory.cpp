// Rows held and written through the one writer of row files (records/rowfile.h),
// in rings of their own, so the two kinds of file fail and resume apart.
#include "records/exacthistory.h"

#include <cctype>
#include <cinttypes>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "config/interfaces.h"
#include "records/history.h"
#include "records/historyname.h"
#include "records/localtime.h"
#include "records/log.h"
#include "records/rowfile.h"

namespace {

// The longest row: its line break, the date and time, eight fields of at most
// 20 characters and their commas, the seconds' point; and the terminator.
#define EXACT_ROW_CHARS 176
#define EXACT_NAME_CHARS 32  // a 15-character name and ".exact.csv"

const RowFileKind kExactFile = {EXACT_HISTORY_HEADER, "History write failure", "History rows dropped",
                                "History write resumed"};

char g_heldText[MAX_INTERFACES][HISTORY_HELD_MAX][EXACT_ROW_CHARS];
uint64_t g_heldTaken[MAX_INTERFACES][HISTORY_HELD_MAX];
HeldRing g_held[MAX_INTERFACES];
uint64_t g_rowsTaken;
bool g_takenSaid[MAX_INTERFACES];

HeldRing *Held(int32_t index)
{
    HeldRing *ring = &g_held[index];
    if (!ring->text)
        *ring = {g_heldText[index][0], g_heldTaken[index], EXACT_ROW_CHARS, HISTORY_HELD_MAX, 0, 0, false};
    return ring;
}

// Whether file is the rates' history of a configured interface, as Windows
// compares names.
bool IsRatesFile(const char *file)
{
    char other[EXACT_NAME_CHARS];
    for (int32_t j = 0; j < g_interfaceCount && j < MAX_INTERFACES; j++) {
        if (!FormHistoryFileName(&g_interfaces[j], other, sizeof other))
            continue;
        size_t k = 0;
        while (file[k] && toupper(static_cast<unsigned char>(file[k])) == toupper(static_cast<unsigned char>(other[k])))
            k++;
        if (file[k] == '\0' && other[k] == '\0')
            return true;
    }
    return false;
}

void Append(char *row, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;

void Append(char *row, const char *format, ...)
{
    size_t used = strlen(row);
    va_list args;
    va_start(args, format);
    vsnprintf(row + used, EXACT_ROW_CHARS - used, format, args);
    va_end(args);
}

// An empty field, never 0, for what was not measured.
void Field(char *row, bool has, int64_t value)
{
    if (has)
        Append(row, ",%" PRId64, value);
    else
        Append(row, ",");
}

// Octets × 8000 / ms, truncated; beyond int64 only for a counter that grew by
// more than an int64 can hold in a millisecond.
int64_t BitRate(int64_t octets, int64_t ms)
{
    __int128 rate = static_cast<__int128>(octets) * 8000 / ms;
    return rate > INT64_MAX ? INT64_MAX : static_cast<int64_t>(rate);
}

}  // namespace

void AppendExactHistory(int32_t index)
{
    if (index < 0 || index >= MAX_INTERFACES)
        return;
    const InterfaceRecord *rec = &g_interfaces[index];
    char file[EXACT_NAME_CHARS];
    if (!FormExactHistoryFileName(rec, file, sizeof file))
        return;
    if (IsRatesFile(file)) {
        if (!g_takenSaid[index])
            WriteLog("Exact history name taken", file);
        g_takenSaid[index] = true;
        return;
    }

    LocalTime lt;
    int64_t utc = 0;
    ReadWallClock(&lt, &utc);
    bool in = rec->measuredIn && rec->deltaInMs > 0;
    bool out = rec->measuredOut && rec->deltaOutMs > 0;
    char row[EXACT_ROW_CHARS] = "";
    Append(row, "\n%02d-%02d-%02d,%02d:%02d:%02d,%" PRId64 ",", lt.day, lt.month, lt.year, lt.hour, lt.minute,
           lt.second, utc);
    // The two spans differ only when a reading of the previous poll was lost.
    int64_t ms = in && out ? (rec->deltaInMs > rec->deltaOutMs ? rec->deltaInMs : rec->deltaOutMs)
                 : in      ? rec->deltaInMs
                           : rec->deltaOutMs;
    if (in || out)
        Append(row, "%" PRId64 ".%03d", ms / 1000, static_cast<int>(ms % 1000));
    Field(row, in, rec->deltaInOctets);
    Field(row, out, rec->deltaOutOctets);
    Field(row, in, in ? BitRate(rec->deltaInOctets, rec->deltaInMs) : 0);
    Field(row, out, out ? BitRate(rec->deltaOutOctets, rec->deltaOutMs) : 0);
    Append(row, ",%" PRId64, rec->linkSpeed);

    // Interfaces of the same name write one file, as for NAME.csv.
    HeldRing *rings[MAX_INTERFACES];
    int count = 0;
    for (int32_t j = 0; j < MAX_INTERFACES; j++)
        if (strncmp(rec->strName, g_interfaces[j].strName, sizeof rec->strName) == 0)
            rings[count++] = Held(j);
    AppendRow(&kExactFile, file, rings, count, Held(index), row, g_rowsTaken++);
}
