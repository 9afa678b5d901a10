#include <windows.h>

#include <direct.h>

#include "records/diskfile.h"
#include "report/files.h"

namespace {

uint64_t g_unknownFiles;

}  // namespace

OpenResult OpenShared(const char *path, SharedFile *file)
{
    // The monitor's names: a UTF-8 name is the file the monitor made of it.
    wchar_t widePath[1024];
    if (!WideFileName(path, widePath, sizeof widePath / sizeof widePath[0]))
        return OPEN_FAILED;
    HANDLE h = CreateFileW(widePath, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD error = GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)
            return OPEN_MISSING;
        // A folder refuses to open as a file.
        DWORD attributes = GetFileAttributesW(widePath);
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) ? OPEN_NOT_FILE
                                                                                                  : OPEN_FAILED;
    }
    LARGE_INTEGER size;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        return OPEN_NOT_FILE;
    }
    file->handle = reinterpret_cast<intptr_t>(h);
    file->size = size.QuadPart;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileInformationByHandle(h, &info))
        file->id = {info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
    else
        file->id = {UINT64_MAX, ++g_unknownFiles};  // unknown: like no other file
    return OPEN_OK;
}

int ReadShared(SharedFile *file, char *buffer, int cap)
{
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(file->handle), buffer, static_cast<DWORD>(cap), &got, nullptr))
        return -1;
    return static_cast<int>(got);
}

void CloseShared(SharedFile *file)
{
    CloseHandle(reinterpret_cast<HANDLE>(file->handle));
    file->handle = 0;
}

int CurrentFolder(char *buffer, size_t cap)
{
    if (cap > 0 && _getcwd(buffer, static_cast<int>(cap)))
        return 1;
    if (cap > 0)
        buffer[0] = '\0';
    return 0;
}
