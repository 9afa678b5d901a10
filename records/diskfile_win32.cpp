#include <windows.h>

#include <io.h>

#include <cstring>

#include "config/utf8.h"
#include "records/diskfile.h"

namespace {

// Longer than any name we form, and than most paths a user gives.
const size_t kWideChars = 1024;

}  // namespace

bool WideFileName(const char *name, wchar_t *wide, size_t cap)
{
    size_t n = strlen(name);
    if (IsValidUtf8(name, n)) {
        // Never more UTF-16 units than bytes, so it is whole when n fits.
        if (n >= cap)
            return false;
        WidenText(name, n, wide, cap, n);
        return true;
    }
    return MultiByteToWideChar(CP_ACP, 0, name, -1, wide, static_cast<int>(cap)) > 0;
}

FILE *OpenDiskFile(const char *name, const char *mode)
{
    wchar_t wideName[kWideChars], wideMode[8];
    size_t k = 0;
    for (; mode[k] && k + 1 < sizeof wideMode / sizeof wideMode[0]; k++)
        wideMode[k] = static_cast<unsigned char>(mode[k]);
    wideMode[k] = L'\0';
    if (!WideFileName(name, wideName, kWideChars))
        return nullptr;
    return _wfopen(wideName, wideMode);
}

bool DiskFileLength(FILE *f, int64_t *length)
{
    LARGE_INTEGER size;
    HANDLE h = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f)));
    if (h == INVALID_HANDLE_VALUE || !GetFileSizeEx(h, &size))
        return false;
    *length = size.QuadPart;
    return true;
}

bool CutDiskFile(const char *name, int64_t length)
{
    wchar_t wideName[kWideChars];
    if (!WideFileName(name, wideName, kWideChars))
        return false;
    HANDLE h = CreateFileW(wideName, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return false;
    LARGE_INTEGER at;
    at.QuadPart = length;
    bool cut = SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && SetEndOfFile(h);
    return CloseHandle(h) && cut;
}
