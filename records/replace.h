// Replacing a file so that a reader sees the old one or the new one, never a
// part: the new text goes to a file of this process's own beside it, reaches
// the disk, and then takes the old one's place in one step.
#pragma once

#include <cstddef>
#include <cstdio>

enum PlaceResult { PLACE_DONE, PLACE_UNWRITTEN, PLACE_NOT_MOVED };

// Forms "<path>.<process id>.tmp" into buf: a name neither a user's file nor
// another run is likely to have. Returns 0 when it does not fit in cap.
int TempFileName(const char *path, char *buf, size_t cap);

// Ends the writing of f, opened on temp (by OpenDiskFile), and puts temp in place of path.
// written is false when a write to f already failed. f is closed in any case.
// Returns PLACE_DONE; PLACE_UNWRITTEN when written is false or f could not be
// flushed to the disk and closed; PLACE_NOT_MOVED when temp could not take
// path's place. temp is removed unless PLACE_DONE.
int PutFileInPlace(FILE *f, bool written, const char *temp, const char *path);

// The platform's side of it.
unsigned long CurrentProcessId();
// Makes what was flushed to f reach the disk. false when it could not.
bool SyncFile(FILE *f);
// Moves temp over path, replacing any file there in one step; names as
// OpenDiskFile takes them.
bool MoveOver(const char *temp, const char *path);
bool RemoveFile(const char *path);
