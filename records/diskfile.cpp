#include "records/diskfile.h"

bool AppendWhole(const char *name, void (*write)(FILE *f, int64_t length, void *context), void *context)
{
    FILE *f = OpenDiskFile(name, "ab");
    if (!f)
        return false;
    int64_t before = 0;
    bool written = DiskFileLength(f, &before);
    bool measured = written;
    if (written) {
        write(f, before, context);
        written = !ferror(f) && fflush(f) == 0;
    }
    // Closed before the cut, so nothing left in the stream can land after it.
    if (fclose(f) != 0)
        written = false;
    if (!written && measured)
        CutDiskFile(name, before);
    return written;
}
