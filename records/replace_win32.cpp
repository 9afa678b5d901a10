#include <windows.h>

#include <io.h>

#include "records/replace.h"

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool SyncFile(FILE *f) { return _commit(_fileno(f)) == 0; }

bool MoveOver(const char *temp, const char *path)
{
    // rename() refuses an existing target on Windows.
    return MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}
