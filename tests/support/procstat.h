// What the soak watches of its own process: open descriptors or handles, memory
// and threads, read the same way at every sample so that growth shows.
#pragma once

struct ProcStat {
    long handles;        // open descriptors (Linux) or handles (Windows)
    long threads;        // threads of the process
    long rssKb;          // resident memory
    long long heapBytes; // bytes in use on the heap
    long hostFds;        // under Wine, the descriptors of the Linux process; else -1
    char handleTypes[256];  // Windows: "Event:3,File:5,..." (handles by type); else empty
};

void ReadProcStat(ProcStat *stat);
