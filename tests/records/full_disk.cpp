#include "tests/records/full_disk.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "records/diskfile.h"

namespace {

long long g_room = -1;

struct Disk {
    FILE *f;
    int fd;
};
Disk g_open[16];

Disk *Find(FILE *f)
{
    for (Disk &d : g_open)
        if (d.f == f)
            return &d;
    return nullptr;
}

ssize_t DiskRead(void *cookie, char *buf, size_t n) { return read(static_cast<Disk *>(cookie)->fd, buf, n); }

// As a write to a full disk goes: what fits lands, the rest fails.
ssize_t DiskWrite(void *cookie, const char *buf, size_t n)
{
    size_t take = g_room < 0 || static_cast<unsigned long long>(g_room) >= n ? n : static_cast<size_t>(g_room);
    ssize_t wrote = take > 0 ? write(static_cast<Disk *>(cookie)->fd, buf, take) : 0;
    if (wrote > 0 && g_room >= 0)
        g_room -= wrote;
    if (wrote == static_cast<ssize_t>(n) || wrote < 0)
        return wrote;
    errno = ENOSPC;
    return wrote > 0 ? wrote : -1;
}

int DiskClose(void *cookie)
{
    Disk *d = static_cast<Disk *>(cookie);
    int result = close(d->fd);
    d->f = nullptr;
    return result;
}

}  // namespace

void SetDiskRoom(long long room) { g_room = room; }

FILE *OpenDiskFile(const char *name, const char *mode)
{
    bool both = strchr(mode, '+') != nullptr;
    int flags = mode[0] == 'r'   ? (both ? O_RDWR : O_RDONLY)
                : mode[0] == 'w' ? (both ? O_RDWR : O_WRONLY) | O_CREAT | O_TRUNC
                                 : (both ? O_RDWR : O_WRONLY) | O_CREAT | O_APPEND;
    Disk *d = Find(nullptr);
    if (!d)
        return nullptr;
    d->fd = open(name, flags | O_CLOEXEC, 0644);
    if (d->fd < 0)
        return nullptr;
    d->f = fopencookie(d, mode, cookie_io_functions_t{DiskRead, DiskWrite, nullptr, DiskClose});
    if (!d->f)
        close(d->fd);
    return d->f;
}

bool DiskFileLength(FILE *f, int64_t *length)
{
    Disk *d = Find(f);
    struct stat st;
    if (!d || fstat(d->fd, &st) != 0)
        return false;
    *length = st.st_size;
    return true;
}

bool CutDiskFile(const char *name, int64_t length) { return truncate(name, static_cast<off_t>(length)) == 0; }
