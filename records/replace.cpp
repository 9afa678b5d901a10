#include "records/replace.h"

int TempFileName(const char *path, char *buf, size_t cap)
{
    int len = snprintf(buf, cap, "%s.%lu.tmp", path, CurrentProcessId());
    return len > 0 && static_cast<size_t>(len) < cap;
}

int PutFileInPlace(FILE *f, bool written, const char *temp, const char *path)
{
    // Without the sync a power cut after the rename can leave an empty file.
    written = written && fflush(f) == 0 && SyncFile(f);
    if (fclose(f) != 0)
        written = false;
    int result = !written ? PLACE_UNWRITTEN : MoveOver(temp, path) ? PLACE_DONE : PLACE_NOT_MOVED;
    if (result != PLACE_DONE)
        RemoveFile(temp);
    return result;
}
