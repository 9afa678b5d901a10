#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "report/files.h"

OpenResult OpenShared(const char *path, SharedFile *file)
{
    // Non-blocking, so a pipe by that name cannot hold the report up at its opening.
    int fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == ENOENT ? OPEN_MISSING : OPEN_FAILED;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return OPEN_NOT_FILE;
    }
    file->handle = fd;
    file->size = st.st_size;
    file->id = {static_cast<uint64_t>(st.st_dev), static_cast<uint64_t>(st.st_ino)};
    return OPEN_OK;
}

int ReadShared(SharedFile *file, char *buffer, int cap)
{
    for (;;) {
        ssize_t n = read(static_cast<int>(file->handle), buffer, static_cast<size_t>(cap));
        if (n >= 0)
            return static_cast<int>(n);
        if (errno != EINTR)
            return -1;
    }
}

void CloseShared(SharedFile *file)
{
    close(static_cast<int>(file->handle));
    file->handle = -1;
}

int CurrentFolder(char *buffer, size_t cap)
{
    if (cap > 0 && getcwd(buffer, cap))
        return 1;
    if (cap > 0)
        buffer[0] = '\0';
    return 0;
}
