// Writing: the vellary.cfg lines and the notes on them, and the list of every
// interface. Lines and the list go to standard output (or the file of -o),
// the notes to standard error.
#pragma once

#include <cstdio>

#include "cfgtool/cfgline.h"
#include "cfgtool/collecting.h"

// Prints every row on out as a table: index, name, type, status, speed,
// 64-bit or 32-bit counters, description. Returns 0, or 1 after a message
// when out could not take it.
int WriteList(const Table &table, FILE *out, FILE *err);

// The lines of the count rows chosen (indices into table.rows; lines[k]
// tells which counters row k serves, HcState, and how its 32-bit ones read),
// each name unique, with a note on err for each line that may read wrong, and
// one naming the lines on 32-bit counters when v1Silent says the device does
// not answer SNMPv1. Writes them to out, or with path to that file, which is
// replaced only once the whole text is on disk. Returns 0, or 1 after a
// message.
int WriteLines(const Table &table, const int *chosen, const LineCounters *lines, int count, bool v1Silent,
               const Asking &asking, const char *path, FILE *out, FILE *err);
