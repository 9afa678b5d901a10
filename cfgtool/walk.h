// vellary-cfg's work: read a device's interface table over SNMP, then list it,
// or write vellary.cfg lines for the interfaces named or for those that matter.
#pragma once

#include <cstdio>

// Runs "vellary-cfg [--list] [-o FILE] HOST COMMUNITY [INTERFACE...]" with its
// arguments. Writes the lines (or the list) to out unless -o names a file, and
// notes, progress and failures to err. Returns the exit code: 0, or 1 with a
// message that says what to check. Every request has a bounded number of
// tries, so it always ends.
int RunWalker(int argc, const char *const *argv, FILE *out, FILE *err);
