// Each call opens and closes its file, so the file can be copied, and read by a
// spreadsheet, while the monitor runs.
#include "records/rowfile.h"

#include <cstdio>
#include <cstring>

#include "records/diskfile.h"
#include "records/log.h"
#include "records/textmode.h"

namespace {

const char *Slot(const HeldRing *ring, int k)
{
    return ring->text + static_cast<size_t>(k) * static_cast<size_t>(ring->width);
}

bool Holds(HeldRing *const *rings, int ringCount, bool dropped)
{
    for (int j = 0; j < ringCount; j++)
        if (dropped ? rings[j]->dropped : rings[j]->count > 0)
            return true;
    return false;
}

void Hold(const RowFileKind *kind, const char *name, HeldRing *const *rings, int ringCount, HeldRing *own,
          const char *row, uint64_t taken)
{
    if (!Holds(rings, ringCount, false))
        WriteLog(kind->failure, name);
    if (own->count == own->cap) {
        if (!Holds(rings, ringCount, true))
            WriteLog(kind->dropped, name);
        own->dropped = true;
        own->first = (own->first + 1) % own->cap;
        own->count--;
    }
    int k = (own->first + own->count) % own->cap;
    snprintf(own->text + static_cast<size_t>(k) * static_cast<size_t>(own->width), static_cast<size_t>(own->width),
             "%s", row);
    own->taken[k] = taken;
    own->count++;
}

// Prints the held rows of every ring in the order they were taken; they stay
// held until the file has them. Returns whether there were any.
bool PrintHeld(FILE *pFile, HeldRing *const *rings, int ringCount)
{
    const int kMaxRings = 16;
    int next[kMaxRings], left[kMaxRings];
    if (ringCount > kMaxRings)
        ringCount = kMaxRings;
    bool wrote = false;
    for (int j = 0; j < ringCount; j++) {
        next[j] = rings[j]->first;
        left[j] = rings[j]->count;
    }
    while (true) {
        int oldest = -1;
        for (int j = 0; j < ringCount; j++)
            if (left[j] > 0 && (oldest < 0 || rings[j]->taken[next[j]] < rings[oldest]->taken[next[oldest]]))
                oldest = j;
        if (oldest < 0)
            break;
        const char *text = Slot(rings[oldest], next[oldest]);
        WriteText(pFile, text, strnlen(text, static_cast<size_t>(rings[oldest]->width)));
        next[oldest] = (next[oldest] + 1) % rings[oldest]->cap;
        left[oldest]--;
        wrote = true;
    }
    return wrote;
}

struct Rows {
    const RowFileKind *kind;
    HeldRing *const *rings;
    int ringCount;
    const char *row;
    bool resumed;  // held rows went in
};

// The header when the file is empty, the held rows, and the row.
void PrintRows(FILE *pFile, int64_t length, void *context)
{
    Rows *rows = static_cast<Rows *>(context);
    if (length == 0)
        WriteText(pFile, rows->kind->header, strlen(rows->kind->header));
    rows->resumed = PrintHeld(pFile, rows->rings, rows->ringCount);
    WriteText(pFile, rows->row, strlen(rows->row));
}

}  // namespace

int AppendRow(const RowFileKind *kind, const char *name, HeldRing *const *rings, int ringCount, HeldRing *own,
              const char *row, uint64_t taken)
{
    // Binary mode, LF written as CR LF here: the same bytes from every build.
    Rows rows = {kind, rings, ringCount, row, false};
    if (!AppendWhole(name, PrintRows, &rows)) {
        Hold(kind, name, rings, ringCount, own, row, taken);
        return 0;
    }
    for (int j = 0; j < ringCount; j++) {
        rings[j]->first = 0;
        rings[j]->count = 0;
        rings[j]->dropped = false;
    }
    if (rows.resumed)
        WriteLog(kind->resumed, name);
    return 1;
}
