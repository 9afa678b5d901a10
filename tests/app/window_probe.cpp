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

namespace {

// A tooltip's tool and its text, in the tray's process.
struct RemoteTool {
    TTTOOLINFOW info;
    wchar_t text[1024];
};

struct TrayWalk {
    DWORD pid;
    HANDLE process;
    RemoteTool *remote;
    std::vector<std::wstring> *texts;
};

BOOL CALLBACK ReadTooltips(HWND hwnd, LPARAM lParam)
{
    TrayWalk *walk = reinterpret_cast<TrayWalk *>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != walk->pid || ClassOf(hwnd) != TOOLTIPS_CLASSW)
        return TRUE;
    int tools = static_cast<int>(SendMessageW(hwnd, TTM_GETTOOLCOUNT, 0, 0));
    for (int k = 0; k < tools; k++) {
        RemoteTool local = {};
        local.info.cbSize = sizeof local.info;
        local.info.lpszText = walk->remote->text;
        if (!WriteProcessMemory(walk->process, walk->remote, &local, sizeof local, nullptr))
            continue;
        SendMessageW(hwnd, TTM_ENUMTOOLSW, k, reinterpret_cast<LPARAM>(&walk->remote->info));
        if (ReadProcessMemory(walk->process, walk->remote, &local, sizeof local, nullptr)) {
            local.text[1023] = L'\0';
            walk->texts->push_back((IsWindowVisible(hwnd) ? L"shown\t" : L"hidden\t") + std::wstring(local.text));
        }
    }
    return TRUE;
}

}  // namespace

std::vector<std::wstring> TrayTexts()
{
    std::vector<std::wstring> texts;
    TrayWalk walk = {};
    walk.texts = &texts;
    HWND tray = FindWindowW(L"Shell_TrayWnd", nullptr);
    if (!tray || !GetWindowThreadProcessId(tray, &walk.pid))
        return texts;
    walk.process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, walk.pid);
    if (!walk.process)
        return texts;
    walk.remote = static_cast<RemoteTool *>(
        VirtualAllocEx(walk.process, nullptr, sizeof(RemoteTool), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (walk.remote) {
        EnumWindows(ReadTooltips, reinterpret_cast<LPARAM>(&walk));
        VirtualFreeEx(walk.process, walk.remote, 0, MEM_RELEASE);
    }
    CloseHandle(walk.process);
    return texts;
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
