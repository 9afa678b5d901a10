#include "cfgtool/files.h"

#include <unistd.h>

// POSIX streams are binary already.
void SetStdoutBinary() {}

bool SyncFile(FILE *f)
{
    return fsync(fileno(f)) == 0;
}

bool MoveOver(const char *temp, const char *path)
{
    return rename(temp, path) == 0;
}
