#include "records/textmode.h"

#include <cstdarg>

namespace {

const size_t kChunk = 1024;

}  // namespace

bool WriteText(FILE *file, const char *text, size_t n)
{
    // Translated a piece at a time into a buffer with room for every LF doubled.
    char out[2 * kChunk];
    while (n > 0) {
        size_t take = n < kChunk ? n : kChunk;
        size_t len = 0;
        for (size_t k = 0; k < take; k++) {
            if (text[k] == '\n')
                out[len++] = '\r';
            out[len++] = text[k];
        }
        if (fwrite(out, 1, len, file) != len)
            return false;
        text += take;
        n -= take;
    }
    return true;
}

bool VPrintText(FILE *file, const char *format, va_list args)
{
    char text[kChunk];
    int cch = vsnprintf(text, sizeof text, format, args);
    if (cch < 0)
        return false;
    size_t n = static_cast<size_t>(cch) < sizeof text ? static_cast<size_t>(cch) : sizeof text - 1;
    return WriteText(file, text, n);
}

bool PrintText(FILE *file, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    bool written = VPrintText(file, format, args);
    va_end(args);
    return written;
}
