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

const char *ErrorStatusName(int errorStatus)
{
    static const char *const kNames[] = {"noError",
                                         "tooBig",
                                         "noSuchName",
                                         "badValue",
                                         "readOnly",
                                         "genErr",
                                         "noAccess",
                                         "wrongType",
                                         "wrongLength",
                                         "wrongEncoding",
                                         "wrongValue",
                                         "noCreation",
                                         "inconsistentValue",
                                         "resourceUnavailable",
                                         "commitFailed",
                                         "undoFailed",
                                         "authorizationError",
                                         "notWritable",
                                         "inconsistentName"};
    const int known = sizeof kNames / sizeof kNames[0];
    return errorStatus >= 0 && errorStatus < known ? kNames[errorStatus] : "";
}
