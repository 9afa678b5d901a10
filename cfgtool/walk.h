// vellary-cfg's work: walk a device's interface table over SNMP and write one
// vellary.cfg line per interface that is up.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cfgtool/cfgline.h"

#define WALK_MAX_LINES 10    // the monitor's ten records
#define WALK_MAX_ROWS 1024   // interfaces read; a column that goes on past this is refused
#define WALK_WAIT_MS 4200    // the longest wait for one reply, as the monitor's query waits
#define WALK_MESSAGE_MAX 600

struct WalkOutput {
    char lines[WALK_MAX_LINES * CFG_LINE_MAX];  // for standard output
    size_t linesLen;
    char message[WALK_MESSAGE_MAX];  // for standard error, terminated: a failure, a note, or empty
};

// Runs "vellary-cfg HOST COMMUNITY" with argv[1] and argv[2]. Returns the exit
// code: 0 with the lines in out->lines (ifIndex order, loopback interfaces last,
// at most ten) and a note naming any interface left out past ten, or 1 with a
// message that says what to check. Sends one request at a time and waits at
// most WALK_WAIT_MS for each reply, so it always ends.
int RunWalker(int argc, const char *const *argv, WalkOutput *out);
