// The walker's messages: failures and notes, both on standard error.
#pragma once

#include <cstdio>

// A failure: prints the message on err and returns 1, the exit code.
int Fail(FILE *err, const char *format, ...);
// A note, or progress: printed on err.
void Note(FILE *err, const char *format, ...);

// SNMP's name of an error status ("genErr", "authorizationError"), or "" for
// one it does not name.
const char *ErrorStatusName(int errorStatus);
