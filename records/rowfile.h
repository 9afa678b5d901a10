// Appending rows to a CSV file that only grows (the history files, the alert
// log): the header first in an empty file, and rows that cannot be written (a
// spreadsheet holds the file, it is read-only for a while, the disk is full)
// held, each with its own text and time, until a later row gets through.
#pragma once

#include <cstddef>
#include <cstdint>

// One source's rows waiting for their file, oldest first, in a ring: slot k's
// text at text + k * width, zero-ended, and its place among all rows taken in
// taken[k]. Sources that share a file merge their rows by that place.
struct HeldRing {
    char *text;
    uint64_t *taken;
    int width;
    int cap;
    int first;
    int count;
    bool dropped;  // the oldest went in this episode, and the log said so
};

// What a kind of file says in the log, each with the file's name as the detail.
struct RowFileKind {
    const char *header;   // the first line, without its line break
    const char *failure;  // the first row held
    const char *dropped;  // the first row dropped past the ring's cap
    const char *resumed;  // the held rows are in the file
};

// Appends row (its text, which starts with its line break, so the file never
// ends in one) to the file of that name: the header first when the file is empty,
// then the rows held in rings[0..ringCount) in the order taken, then row. All of
// it counts as written only when every write, the flush and the close succeeded:
// then the held rows are forgotten, and "resumed" is logged if there were any.
// Anything less is cut off the file again, so it never keeps part of a row, and
// row goes into own (one of rings, or the only one), after "failure" when nothing
// of this file was held yet; past own's cap the oldest go, after "dropped" once.
// taken orders row among all rows of the file. Returns 1 when written, else 0.
int AppendRow(const RowFileKind *kind, const char *name, HeldRing *const *rings, int ringCount, HeldRing *own,
              const char *row, uint64_t taken);
