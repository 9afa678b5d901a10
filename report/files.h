// What the report needs of the platform: history files read while the monitor
// appends to them.
#pragma once

#include <cstddef>
#include <cstdint>

enum OpenResult { OPEN_OK, OPEN_MISSING, OPEN_NOT_FILE, OPEN_FAILED };

// What tells one file from another, whatever names lead to it (on Windows,
// Uplink.csv and UPLINK.csv are one file).
struct FileId {
    uint64_t volume;
    uint64_t index;
};

struct SharedFile {
    intptr_t handle;
    int64_t size;  // at opening: what is read, however the file grows meanwhile
    FileId id;
};

inline bool SameFile(const FileId &a, const FileId &b)
{
    return a.volume == b.volume && a.index == b.index;
}

// Opens a regular file for reading with read, write and delete sharing, so the
// monitor can go on appending. Anything but a regular file (a device, a pipe, a
// folder) is OPEN_NOT_FILE and is not left open.
OpenResult OpenShared(const char *path, SharedFile *file);

// Reads up to cap bytes (at most 1 MiB at a time). Returns the count, 0 at the end, -1 on an error.
int ReadShared(SharedFile *file, char *buffer, int cap);

void CloseShared(SharedFile *file);

// The working folder, for the page to name. Returns 0 (and an empty text) when it cannot tell.
int CurrentFolder(char *buffer, size_t cap);
