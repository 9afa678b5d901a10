// The files we write, named by text from our files or the command line, and
// what a failed append needs to leave them whole. A name that is valid UTF-8
// is that text on every build (through the wide calls on Windows); any other
// is taken byte for byte, as the narrow calls always took it. Tests link a twin
// of the platform's file in its place, to fail a write part-way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// fopen with that name rule.
FILE *OpenDiskFile(const char *name, const char *mode);

// The length of the file open as f. false when it cannot be told.
bool DiskFileLength(FILE *f, int64_t *length);

// Cuts the file of that name back to length bytes. false when it could not.
bool CutDiskFile(const char *name, int64_t length);

// Opens the file of that name to append (binary), lets write put its text in
// (told the file's length before it, 0 for a new or empty file), and makes sure
// all of it reached the file: every write, the flush and the close succeeded.
// Anything less is cut off again, so the file never keeps part of it. Returns
// whether it was written.
bool AppendWhole(const char *name, void (*write)(FILE *f, int64_t length, void *context), void *context);

// What joins a folder and a file's name.
#ifdef _WIN32
#define PATH_SEPARATOR "\\"
#else
#define PATH_SEPARATOR "/"
#endif

#ifdef _WIN32
// The name as the wide calls take it: decoded as UTF-8 when it is valid UTF-8,
// else through the ANSI code page as the narrow calls do. false when it does
// not fit in cap.
bool WideFileName(const char *name, wchar_t *wide, size_t cap);
#endif
