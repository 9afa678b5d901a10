// Streaming a history file into its History: large blocks, one pass, no row kept.
#pragma once

#include "report/aggregate.h"
#include "report/files.h"

#define READ_BLOCK (1 << 20)

enum ReadResult { READ_OK, READ_MISSING, READ_NOT_FILE, READ_FAILED, READ_CUT_SHORT };

// Reads the history file at path into h, whose kind HistoryReset set (its rows are
// dropped first). READ_CUT_SHORT: a read failed part-way; the rows before it are
// in h. Reads no further than the size the file had when it was opened. *id, when
// given, is what tells the file from another of another name (see SameFile).
// block, when given, is READ_BLOCK bytes of the caller's to read into.
ReadResult ReadHistory(const char *path, History *h, FileId *id = nullptr, char *block = nullptr);

// One whole line to a reader: its number, the bytes kept (n, at most the
// splitter's room) and its whole length, its line break removed.
typedef void (*TakeLineFn)(void *reader, int64_t line, const char *p, int64_t n, int64_t length);

// Feeds the bytes of a file to a reader line by line, as ReadHistory does; a test's way in.
struct LineSplitter {
    TakeLineFn take;
    void *reader;
    History *h;        // the history's reader: rows and bad lines
    DateMemo memo;
    int64_t line;      // number of the line being gathered
    int32_t kept;      // its bytes in held[] so far
    int64_t length;    // its whole length so far (a long line is not kept whole)
    char last;         // its last byte so far: a CR there is the line break's
    char held[192];    // an exact row is at most 160 characters; anything longer is bad anyway
};

void SplitterStart(LineSplitter *s, History *h);
void SplitterStartWith(LineSplitter *s, TakeLineFn take, void *reader);
void SplitterFeed(LineSplitter *s, const char *data, int64_t n);
void SplitterEnd(LineSplitter *s);

// The time of the first row of a percent history within its first few kB, or -1.
int64_t FirstRowTime(const char *path);

// Reads the file at path through s (started), as ReadHistory does.
ReadResult ReadLines(const char *path, LineSplitter *s, FileId *id, char *block = nullptr);
