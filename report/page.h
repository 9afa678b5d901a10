// The page: a summary table, the last alerts, then four graphs per history file,
// as one HTML file with inline SVG and CSS and no script.
#pragma once

#include <cstdint>
#include <cstdio>

#include "config/interfaces.h"
#include "records/localtime.h"
#include "report/aggregate.h"
#include "report/alerts.h"
#include "report/reader.h"

struct PageEntry {
    const InterfaceRecord *rec;
    char fileName[32];  // the file read: NAME.exact.csv where it exists, else NAME.csv
    int nameValid;      // 0: no file can have this name
    ReadResult read;
    const History *hist;  // null when no file was read
    int sharesWith;       // index of the first entry that reads the same file, or -1
    int64_t percentFirstT;  // an exact history's NAME.csv: the time of its first row, or -1
};

struct PageInfo {
    LocalTime made;
    char folder[1024];
    int count;  // entries: the records completed in vellary.cfg
    const AlertLog *alerts;  // null when there is no alert log
};

// Writes the page to f. Returns 1 when every byte went out.
int WritePage(FILE *f, const PageEntry *entries, const PageInfo *info);

// The local seconds of a local time.
int64_t LocalSeconds(const LocalTime &t);
