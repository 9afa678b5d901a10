// The platform's side of writing: standard output as the bytes written, and a
// file replaced in one step.
#pragma once

#include <cstdio>

// Keeps the platform's text mode from turning each CR LF into CR CR LF.
void SetStdoutBinary();

// Makes what was written to f reach the disk. false when it could not.
bool SyncFile(FILE *f);

// Puts the file temp in the place of path, replacing what is there in one
// step: a reader sees the old file or the new one, never a part.
bool MoveOver(const char *temp, const char *path);
