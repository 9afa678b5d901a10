// Prints the running program's table, read from outside its process: one line per
// row with the row's image index and its five cells, comma-separated. The list view
// reads and writes its LVITEMW in its own process, so the item and its text buffer
// live there. For the end-to-end run.
#include <windows.h>

#include <commctrl.h>

#include <cstdio>

namespace {

struct Remote {
    LVITEMW item;
    wchar_t text[128];
};

bool Exchange(HANDLE hProcess, Remote *remote, LVITEMW *item, HWND hList, UINT message, WPARAM wParam)
{
    item->pszText = remote->text;
    item->cchTextMax = 128;
    if (!WriteProcessMemory(hProcess, &remote->item, item, sizeof *item, nullptr))
        return false;
    SendMessageW(hList, message, wParam, reinterpret_cast<LPARAM>(&remote->item));
    return ReadProcessMemory(hProcess, &remote->item, item, sizeof *item, nullptr);
}

}  // namespace

int main()
{
    HWND hWnd = FindWindowW(L"KORMANTH", L"Vellary - SNMP Monitor");
    HWND hList = hWnd ? FindWindowExW(hWnd, nullptr, L"SysListView32", nullptr) : nullptr;
    if (!hList) {
        fprintf(stderr, "no table\n");
        return 1;
    }
    DWORD pid = 0;
    GetWindowThreadProcessId(hList, &pid);
    HANDLE hProcess = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    Remote *remote = hProcess ? static_cast<Remote *>(VirtualAllocEx(hProcess, nullptr, sizeof(Remote),
                                                                      MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
                              : nullptr;
    if (!remote) {
        fprintf(stderr, "cannot reach the program's memory\n");
        return 1;
    }
    int rows = static_cast<int>(SendMessageW(hList, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; row++) {
        LVITEMW item = {};
        item.mask = LVIF_IMAGE;
        item.iItem = row;
        item.iImage = -1;
        Exchange(hProcess, remote, &item, hList, LVM_GETITEMW, 0);
        printf("%d", item.iImage);
        for (int column = 0; column < 5; column++) {
            LVITEMW cell = {};
            cell.iSubItem = column;
            wchar_t text[128] = {};
            if (Exchange(hProcess, remote, &cell, hList, LVM_GETITEMTEXTW, row) && cell.pszText)
                ReadProcessMemory(hProcess, cell.pszText, text, sizeof text - sizeof text[0], nullptr);
            printf(",");
            for (const wchar_t *p = text; *p; p++)
                putchar(*p < 128 ? static_cast<char>(*p) : '?');
        }
        printf("\n");
    }
    VirtualFreeEx(hProcess, remote, 0, MEM_RELEASE);
    CloseHandle(hProcess);
    return 0;
}
