// vellary-report's steps: read vellary.cfg and each interface's history, then
// write the page in place of the old one.
#pragma once

#include <cstddef>

#include "config/interfaces.h"

#define REPORT_DEFAULT_OUTPUT "vellary-report.html"

// Runs the report with the program's arguments; messages go to standard error.
// Returns the exit code: 0 when the page was written, 1 when it was not.
int RunReport(int argc, char **argv);
