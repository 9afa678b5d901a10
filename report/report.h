// vellary-report's steps: read vellary.cfg and each interface's history, then
// write the page in place of the old one.
#pragma once

#include <cstddef>

#include "config/interfaces.h"

#define REPORT_DEFAULT_OUTPUT "vellary-report.html"

// Forms the interface's history file name as the monitor does
// (FormHistoryFileName) into buf. Returns 0 when it does not fit in cap, or no
// file can have that name (IsUsableFileStem).
int HistoryFileName(const InterfaceRecord *rec, char *buf, size_t cap);

// Runs the report with the program's arguments; messages go to standard error.
// Returns the exit code: 0 when the page was written, 1 when it was not.
int RunReport(int argc, char **argv);
