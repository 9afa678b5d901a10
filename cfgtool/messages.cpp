#include "cfgtool/messages.h"

#include <cstdarg>

int Fail(FILE *err, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vfprintf(err, format, args);
    va_end(args);
    return 1;
}

void Note(FILE *err, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vfprintf(err, format, args);
    va_end(args);
    fflush(err);
}
