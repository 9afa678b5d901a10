// Streaming a history file into its History: large blocks, one pass, no row kept.
#pragma once

#include "report/aggregate.h"
#include "report/files.h"

enum ReadResult { READ_OK, READ_MISSING, READ_NOT_FILE, READ_FAILED, READ_CUT_SHORT };

// Reads the history file at path into h (reset first). READ_CUT_SHORT: a read
// failed part-way; the rows before it are in h. Reads no further than the size the
// file had when it was opened.
ReadResult ReadHistory(const char *path, History *h);

// Feeds the bytes of a file to h line by line, as ReadHistory does; a test's way in.
struct LineSplitter {
    History *h;
    DateMemo memo;
    int64_t line;      // number of the line being gathered
    int32_t kept;      // its bytes in held[] so far
    int64_t length;    // its whole length so far (a long line is not kept whole)
    char held[128];    // a row is at most 64 characters; anything longer is bad anyway
};

void SplitterStart(LineSplitter *s, History *h);
void SplitterFeed(LineSplitter *s, const char *data, int64_t n);
void SplitterEnd(LineSplitter *s);
