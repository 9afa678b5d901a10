#include <unistd.h>

#include <cstdio>

#include "records/replace.h"

unsigned long CurrentProcessId() { return static_cast<unsigned long>(getpid()); }

bool SyncFile(FILE *f) { return fsync(fileno(f)) == 0; }

bool MoveOver(const char *temp, const char *path) { return rename(temp, path) == 0; }

bool RemoveFile(const char *path) { return remove(path) == 0; }
