#include "tests/app/window_probe.h"

#include <commctrl.h>

#include <vector>

std::wstring WindowText(HWND hwnd)
{
    wchar_t buf[256] = {};
    GetWindowTextW(hwnd, buf, 256);
    return buf;
}

std::wstring ClassOf(HWND hwnd)
{
    wchar_t buf[64] = {};
    GetClassNameW(hwnd, buf, 64);
    return buf;
}

int RowCount(HWND hwndList)
{
    return static_cast<int>(SendMessageW(hwndList, LVM_GETITEMCOUNT, 0, 0));
}

int RowImage(HWND hwndList, int row)
{
    LVITEMW item = {};
    item.mask = LVIF_IMAGE;
    item.iItem = row;
    item.iImage = -100;
    SendMessageW(hwndList, LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return item.iImage;
}

std::wstring CellText(HWND hwndList, int row, int column)
{
    wchar_t buf[256] = {};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = 256;
    SendMessageW(hwndList, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(&item));
    return buf;
}

int ColumnCount(HWND hwndList)
{
    HWND hwndHeader = reinterpret_cast<HWND>(SendMessageW(hwndList, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageW(hwndHeader, HDM_GETITEMCOUNT, 0, 0));
}

ColumnInfo Column(HWND hwndList, int column)
{
    wchar_t buf[64] = {};
    LVCOLUMNW col = {};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
    col.pszText = buf;
    col.cchTextMax = 64;
    SendMessageW(hwndList, LVM_GETCOLUMNW, column, reinterpret_cast<LPARAM>(&col));
    return {buf, col.cx, col.fmt};
}

std::wstring StatusText(HWND hwndStatus)
{
    wchar_t buf[256] = {};
    if (LOWORD(SendMessageW(hwndStatus, SB_GETTEXTLENGTHW, 0, 0)) < 256)
        SendMessageW(hwndStatus, SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(buf));
    return buf;
}

HWND WaitForWindow(const wchar_t *pszClass, const wchar_t *pszCaption, int ms)
{
    for (int waited = 0; waited <= ms; waited += 10) {
        HWND hwnd = FindWindowW(pszClass, pszCaption);
        if (hwnd && IsWindowVisible(hwnd))
            return hwnd;
        Sleep(10);
    }
    return nullptr;
}

bool WaitGone(HWND hwnd, int ms)
{
    for (int waited = 0; waited <= ms; waited += 10) {
        if (!IsWindow(hwnd))
            return true;
        Sleep(10);
    }
    return false;
}

void PressChord(std::initializer_list<WORD> keys)
{
    std::vector<INPUT> inputs;
    for (WORD vk : keys) {
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        inputs.push_back(in);
    }
    for (auto it = keys.end(); it != keys.begin();) {
        WORD vk = *--it;
        INPUT in = {};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = vk;
        in.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
        in.ki.dwFlags = KEYEVENTF_KEYUP;
        inputs.push_back(in);
    }
    SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
    Sleep(50);
}
