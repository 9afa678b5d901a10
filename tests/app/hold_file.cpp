// Holds a file open as a spreadsheet holds the one it shows: read access, read
// sharing only, so no one can write it meanwhile. Says "held" on standard output
// once it has the file, and lets go when the release file appears.
//   hold_file <file> <release file>
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3)
        return 2;
    HANDLE hFile = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (hFile == INVALID_HANDLE_VALUE)
        return 1;
    printf("held\n");
    fflush(stdout);
    // Two minutes at most, should the release never come.
    for (int i = 0; i < 1200 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; i++)
        Sleep(100);
    CloseHandle(hFile);
    return 0;
}
