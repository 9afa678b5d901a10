// Starting a program and asking whether it still runs: CreateProcessW on
// Windows (spawn_win32.cpp), posix_spawn elsewhere (spawn_posix.cpp).
#pragma once

#include <cstdint>

#include "alerts/program.h"

typedef intptr_t ChildProcess;  // a process handle, or a process id

// Starts the program at path (UTF-8; a batch file through cmd.exe /c, its path
// quoted) with this process's environment, in which env's entries take the
// place of any of the same names. Its command line holds only its own name.
// Returns 1 and *child, or 0 when it could not be started (no such file).
int StartChild(const char *path, const AlertEnvironment &env, ChildProcess *child);

// 1 once child has ended, and then it is let go of; 0 while it runs.
int ChildEnded(ChildProcess child);

// Lets go of child without waiting for it.
void ReleaseChild(ChildProcess child);
