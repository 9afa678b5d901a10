#include "config/interfaces.h"

#include <cctype>

InterfaceRecord g_interfaces[MAX_INTERFACES];
int32_t g_interfaceCount;

namespace {

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
