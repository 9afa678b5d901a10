#include "records/historyname.h"

#include <cctype>
#include <cstdio>
#include <cstring>

namespace {

// What follows the name in each kind of history file, the rates' file first.
const char *const kEndings[] = {".csv", ".exact.csv"};

bool SameLetters(const char *a, const char *b, size_t n)
{
    for (size_t i = 0; i < n; i++)
        if (toupper(static_cast<unsigned char>(a[i])) != toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

bool IsDeviceName(const char *stem, size_t len)
{
    // Windows opens these devices whatever extension follows, and ignores blanks before it.
    while (len > 0 && stem[len - 1] == ' ')
        len--;
    static const char *const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char *device : kDevices)
        if (len == strlen(device) && SameLetters(stem, device, len))
            return true;
    return len == 4 && (SameLetters(stem, "COM", 3) || SameLetters(stem, "LPT", 3)) && stem[3] >= '0' && stem[3] <= '9';
}

// Whether the file of name with ending is also what a shorter name would give
// with a longer ending of another kind, as Windows compares names.
bool EndsLikeAnotherKind(const char *name, size_t len, const char *ending)
{
    size_t e = strlen(ending);
    for (const char *other : kEndings) {
        size_t m = strlen(other);
        if (m <= e || m > len + e)
            continue;
        bool same = true;
        for (size_t j = 0, at = len + e - m; j < m && same; j++, at++) {
            char c = at < len ? name[at] : ending[at - len];
            same = toupper(static_cast<unsigned char>(c)) == toupper(static_cast<unsigned char>(other[j]));
        }
        if (same)
            return true;
    }
    return false;
}

int FormFileName(const InterfaceRecord *rec, const char *ending, char *buf, size_t cap)
{
    int len = snprintf(buf, cap, "%s%s", FieldValue(rec->strName).str, ending);
    return len > 0 && static_cast<size_t>(len) < cap;
}

}  // namespace

bool IsFileNameChar(unsigned char c) { return c >= 0x20 && c != 0x7F && !strchr("\\/:*?\"<>|", c); }

bool IsUsableFileStem(const char *name, size_t len)
{
    if (len == 0)
        return false;
    size_t stem = len;
    for (size_t i = 0; i < len; i++) {
        if (!IsFileNameChar(static_cast<unsigned char>(name[i])))
            return false;
        if (name[i] == '.' && stem == len)
            stem = i;
    }
    return !IsDeviceName(name, stem);
}

bool IsUsableHistoryName(const char *name, size_t len)
{
    if (!IsUsableFileStem(name, len))
        return false;
    for (const char *ending : kEndings)
        if (EndsLikeAnotherKind(name, len, ending))
            return false;
    return true;
}

int FormHistoryFileName(const InterfaceRecord *rec, char *buf, size_t cap)
{
    return FormFileName(rec, kEndings[0], buf, cap);
}

int HistoryFileName(const InterfaceRecord *rec, char *buf, size_t cap)
{
    return FormHistoryFileName(rec, buf, cap) &&
           IsUsableHistoryName(rec->strName, FieldLength(rec->strName, sizeof rec->strName));
}

int FormExactHistoryFileName(const InterfaceRecord *rec, char *buf, size_t cap)
{
    return FormFileName(rec, kEndings[1], buf, cap);
}

int ExactHistoryFileName(const InterfaceRecord *rec, char *buf, size_t cap)
{
    return FormExactHistoryFileName(rec, buf, cap) &&
           IsUsableHistoryName(rec->strName, FieldLength(rec->strName, sizeof rec->strName));
}
