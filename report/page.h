// The page: a summary table, then four graphs per interface, as one HTML file with
// inline SVG and CSS and no script.
#pragma once

#include <cstdio>

#include "config/interfaces.h"
#include "records/localtime.h"
#include "report/aggregate.h"
#include "report/reader.h"

struct PageEntry {
    const InterfaceRecord *rec;
    char fileName[24];  // the name and ".csv"
    int nameValid;      // 0: no file can have this name
    ReadResult read;
    const History *hist;  // null when no file was read
    int sharesWith;       // index of the earlier entry with the same file, or -1
};

struct PageInfo {
    LocalTime made;
    char folder[1024];
    int count;  // entries: the records completed in vellary.cfg
};

// Writes the page to f. Returns 1 when every byte went out.
int WritePage(FILE *f, const PageEntry *entries, const PageInfo *info);

// Writes text of length n as HTML text: markup characters as entities, control
// characters as U+FFFD, and the rest as UTF-8 when the text is valid UTF-8, else
// each byte above 127 as the Windows-1252 character it stands for.
bool WriteEscaped(FILE *f, const char *text, size_t n);
