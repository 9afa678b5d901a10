// Writing as a Windows text-mode stream does, on every build: each LF goes out
// as CR LF, whatever text it comes from, so no bare LF reaches a file and every
// build writes the same bytes.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdio>

// Writes n characters of text in one write. Returns false when not all of it was written.
bool WriteText(FILE *file, const char *text, size_t n);

// Formats at most 1023 characters and writes them as WriteText does.
bool PrintText(FILE *file, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// PrintText with its arguments in a va_list, for printers of their own.
bool VPrintText(FILE *file, const char *format, va_list args);
