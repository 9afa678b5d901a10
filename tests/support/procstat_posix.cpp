#include <dirent.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>

#include "tests/support/procstat.h"

#ifdef __SANITIZE_ADDRESS__
// From AddressSanitizer's runtime (g++ ships no header for it).
extern "C" size_t __sanitizer_get_current_allocated_bytes();
#endif

static long CountFds()
{
    DIR *dir = opendir("/proc/self/fd");
    if (!dir)
        return -1;
    long count = 0;
    while (dirent *entry = readdir(dir)) {
        if (entry->d_name[0] != '.')
            count++;
    }
    closedir(dir);
    return count - 1;  // the descriptor of the listing itself
}

// A "Name:   value" line of /proc/self/status.
static long StatusField(const char *name)
{
    FILE *f = fopen("/proc/self/status", "r");
    if (!f)
        return -1;
    char line[256];
    long value = -1;
    size_t len = strlen(name);
    while (fgets(line, sizeof line, f)) {
        if (strncmp(line, name, len) == 0 && line[len] == ':') {
            sscanf(line + len + 1, "%ld", &value);
            break;
        }
    }
    fclose(f);
    return value;
}

void ReadProcStat(ProcStat *stat)
{
    stat->handles = CountFds();
    stat->threads = StatusField("Threads");
    stat->rssKb = StatusField("VmRSS");
#ifdef __SANITIZE_ADDRESS__
    // AddressSanitizer's allocator, not glibc's, holds the heap then.
    stat->heapBytes = static_cast<long long>(__sanitizer_get_current_allocated_bytes());
#else
    stat->heapBytes = static_cast<long long>(mallinfo2().uordblks);
#endif
    stat->hostFds = -1;
    stat->handleTypes[0] = '\0';
}
