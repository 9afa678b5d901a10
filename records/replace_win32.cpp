#include <windows.h>

#include <io.h>

#include "records/diskfile.h"
#include "records/replace.h"

namespace {

const size_t kWideChars = 1024;

}  // namespace

unsigned long CurrentProcessId() { return GetCurrentProcessId(); }

bool SyncFile(FILE *f) { return _commit(_fileno(f)) == 0; }

bool MoveOver(const char *temp, const char *path)
{
    wchar_t wideTemp[kWideChars], widePath[kWideChars];
    // rename() refuses an existing target on Windows.
    return WideFileName(temp, wideTemp, kWideChars) && WideFileName(path, widePath, kWideChars) &&
           MoveFileExW(wideTemp, widePath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool RemoveFile(const char *path)
{
    wchar_t widePath[kWideChars];
    return WideFileName(path, widePath, kWideChars) && _wremove(widePath) == 0;
}
