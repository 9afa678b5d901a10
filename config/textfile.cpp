#include "config/textfile.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const size_t kUtf8MarkBytes = 3;
// Enough of the start to tell UTF-16 without a mark from 8-bit text.
const size_t kUtf16Probe = 64;

// Whether the bytes at every other place from first on, within n, are all zero.
bool ZeroAt(const char *raw, size_t n, size_t first)
{
    for (size_t k = first; k < n; k += 2)
        if (raw[k] != 0)
            return false;
    return true;
}

}  // namespace

int TextStart(const char *raw, size_t n)
{
    const unsigned char *u = reinterpret_cast<const unsigned char *>(raw);
    if (n >= kUtf8MarkBytes && u[0] == 0xEF && u[1] == 0xBB && u[2] == 0xBF)
        return static_cast<int>(kUtf8MarkBytes);
    if (n >= 2 && ((u[0] == 0xFF && u[1] == 0xFE) || (u[0] == 0xFE && u[1] == 0xFF)))
        return -1;
    size_t probe = (n < kUtf16Probe ? n : kUtf16Probe) & ~static_cast<size_t>(1);
    if (probe == 0)
        return 0;
    // One half zero and the other not: no 8-bit text looks like that.
    bool evenZero = ZeroAt(raw, probe, 0), oddZero = ZeroAt(raw, probe, 1);
    return evenZero != oddZero ? -1 : 0;
}

int TextModeTranslate(const char *raw, size_t rawLen, char *out, int outCap)
{
    int n = 0;
    for (size_t k = 0; k < rawLen && n < outCap; k++) {
        char c = raw[k];
        if (c == 0x1A)
            break;
        if (c == '\r' && k + 1 < rawLen && raw[k + 1] == '\n')
            continue;  // the LF that follows stands for the pair
        out[n++] = c;
    }
    return n;
}

int ReadTextFile(const char *path, char *text, int cap, TextFileStatus *status)
{
    if (cap < 0)
        cap = 0;
    if (cap > TEXT_FILE_MAX_CHARS)
        cap = TEXT_FILE_MAX_CHARS;
    // Binary read with the text-mode rules applied here, so every build reads a file alike.
    FILE *file = fopen(path, "rb");
    if (!file) {
        *status = errno == ENOENT ? TEXT_NO_FILE : TEXT_UNOPENED;
        return 0;
    }
    // cap characters take at most twice as many bytes when every one is a CR LF
    // pair, plus one to see whether a last CR is followed by its LF, after the mark.
    static char raw[kUtf8MarkBytes + 2 * static_cast<size_t>(TEXT_FILE_MAX_CHARS) + 1];
    size_t rawLen = fread(raw, 1, kUtf8MarkBytes + 2 * static_cast<size_t>(cap) + 1, file);
    bool failed = ferror(file) != 0;
    fclose(file);
    int skip = TextStart(raw, rawLen);
    int n = 0;
    if (skip < 0) {
        *status = TEXT_UTF16;
    } else {
        n = TextModeTranslate(raw + skip, rawLen - static_cast<size_t>(skip), text, cap);
        *status = failed ? TEXT_READ_FAILED : TEXT_READ;
    }
    memset(raw, 0, rawLen);  // passwords stay in the caller's text only
    return n;
}

int TextFileProblem(TextFileStatus status, int n, int maxChars, const char *file, char *errors, size_t cap)
{
    if (status == TEXT_UNOPENED)
        snprintf(errors, cap, "Failed to open %s", file);
    else if (status == TEXT_UTF16)
        snprintf(errors, cap, TEXT_UTF16_MESSAGE("%s"), file);
    else if (status == TEXT_READ_FAILED)
        snprintf(errors, cap, "Failed to read %s", file);
    else if (status == TEXT_READ && n > maxChars)
        snprintf(errors, cap, "%s is longer than %d characters", file, maxChars);
    else
        return 0;
    return 1;
}
