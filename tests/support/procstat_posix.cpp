#include <dirent.h>
#include <malloc.h>

#include <cstdio>
#include <cstring>

#include "tests/support/procstat.h"

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
    stat->heapBytes = static_cast<long long>(mallinfo2().uordblks);
    stat->hostFds = -1;
    stat->handleTypes[0] = '\0';
}
