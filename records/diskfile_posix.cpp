#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "records/diskfile.h"

// A file name is bytes here: a UTF-8 name is UTF-8 already.
FILE *OpenDiskFile(const char *name, const char *mode) { return fopen(name, mode); }

bool DiskFileLength(FILE *f, int64_t *length)
{
    struct stat st;
    if (fstat(fileno(f), &st) != 0)
        return false;
    *length = st.st_size;
    return true;
}

bool CutDiskFile(const char *name, int64_t length)
{
    int fd = open(name, O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    bool cut = ftruncate(fd, static_cast<off_t>(length)) == 0;
    return close(fd) == 0 && cut;
}
