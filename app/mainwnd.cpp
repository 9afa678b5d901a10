// Everything inside the main window. A poll cycle runs whole inside one WM_TIMER
// message on the window thread, so cycles never overlap and the table only moves
// through the explicit repaints below.
#include "app/mainwnd.h"

#include <commctrl.h>

#include <cstdlib>
#include <cwchar>

#include "alerts/alerts.h"
#include "app/tray.h"
#include "app/window_shared.h"
#include "config/interfaces.h"
#include "config/settings.h"
#include "config/utf8.h"
#include "export/prometheus.h"
#include "poll/poll.h"
#include "records/exacthistory.h"
#include "records/history.h"
#include "records/localtime.h"
#include "res/resource.h"

HWND g_hwndList;
HWND g_hwndStatus;
int32_t g_pollStarted;

namespace {

#define WORK_CHARS 100
#define NAME_CHARS 15  // a shown name: 14 characters and the terminator

LVITEMW g_lvItem;      // the row descriptor, reused for every insertion
LVCOLUMNW g_lvColumn;  // the column descriptor
wchar_t string[WORK_CHARS];
LocalTime lt;

struct Column {
    const wchar_t *pszHeader;
    int cx;
};
const Column kColumns[] = {
    {L"Interface", 125}, {L"% In", 50}, {L"% Out", 50}, {L"bps In", 100}, {L"bps Out", 100},
};

// Widens record index's name into string, cut to 14 characters: UTF-8 when it is
// valid UTF-8, else each byte the wide character of the same value.
void WidenName(int index)
{
    const InterfaceRecord &rec = g_interfaces[index];
    WidenText(rec.strName, FieldLength(rec.strName, sizeof rec.strName), string, NAME_CHARS, NAME_CHARS - 1);
}

void SetStatusText(const wchar_t *pszText)
{
    SendMessageW(g_hwndStatus, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(pszText));
}

// (Re)inserts row index with string as its name and the descriptor's current image.
void InsertRow(int index)
{
    g_lvItem.iItem = index;
    g_lvItem.iSubItem = 0;
    g_lvItem.pszText = string;
    SendMessageW(g_hwndList, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&g_lvItem));
}

// Rates are 64-bit and shown in full. MinGW-w64's own printf family (libstdc++
// turns it on) reads %lld as the C standard says; so do the runtime DLL's.
void SetFigure(int index, int column, int64_t value)
{
    swprintf(string, WORK_CHARS, L"%lld", static_cast<long long>(value));
    LVITEMW lvCell = {};
    lvCell.iSubItem = column;
    lvCell.pszText = string;
    SendMessageW(g_hwndList, LVM_SETITEMTEXTW, index, reinterpret_cast<LPARAM>(&lvCell));
}

void CreateTable(HWND hWnd)
{
    INITCOMMONCONTROLSEX icex = {};
    icex.dwSize = sizeof icex;
    icex.dwICC = ICC_LISTVIEW_CLASSES;
    InitCommonControlsEx(&icex);

    g_hwndList = CreateWindowExW(0, L"SysListView32", L"", WS_CHILD | WS_VISIBLE | LVS_REPORT, 0, 0,
                                 g_windowWidth, g_windowHeight - 100, hWnd, nullptr, nullptr, nullptr);
    SendMessageW(g_hwndList, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(g_hImageList));

    g_lvColumn.mask = LVCF_WIDTH | LVCF_TEXT;
    for (int iCol = 0; iCol < static_cast<int>(sizeof kColumns / sizeof kColumns[0]); iCol++) {
        g_lvColumn.cx = kColumns[iCol].cx;
        g_lvColumn.pszText = const_cast<wchar_t *>(kColumns[iCol].pszHeader);
        SendMessageW(g_hwndList, LVM_INSERTCOLUMNW, iCol, reinterpret_cast<LPARAM>(&g_lvColumn));
    }

    g_lvItem.mask = LVIF_TEXT | LVIF_IMAGE;
    g_lvItem.iImage = STATUS_RED;
    for (int i = 0; i < g_interfaceCount; i++) {
        WidenName(i);
        InsertRow(i);
    }
    UpdateWindow(g_hwndList);
}

void CreateStatusLine(HWND hWnd)
{
    g_hwndStatus = CreateWindowExW(0, L"msctls_statusbar32", nullptr, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0,
                                   0, 0, 0, hWnd, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetStatusText(L"System Initializing....");
    ShowWindow(g_hwndStatus, SW_SHOW);
    UpdateWindow(g_hwndStatus);
}

void OnCreate(HWND hWnd)
{
    CreateTable(hWnd);
    CreateStatusLine(hWnd);
    AddTrayIcon(hWnd);
    SetTimer(hWnd, POLL_TIMER_ID, VELLARY_FIRST_PERIOD_MS, nullptr);
}

void OnDestroy(HWND hWnd)
{
    RemoveTrayIcon(hWnd);
    StopAlerts();
    PostQuitMessage(0);
}

// Polls interface j and shows the outcome in its row; the row is yellow with empty
// figures while the poll runs. From the second cycle on, a direction that was not
// measured keeps its figures empty: a 0 would read as an idle link.
void PollRow(HWND hWnd, UINT message, int j, bool fLater)
{
    const InterfaceRecord *rec = &g_interfaces[j];

    g_lvItem.iImage = STATUS_YELLOW;
    WidenName(j);
    SetStatusText(string);
    SendMessageW(g_hwndList, LVM_DELETEITEM, j, 0);
    InsertRow(j);
    UpdateWindow(g_hwndList);

    int r = PollInterface(hWnd, message, j);
    // Alerts right after the poll, before anything else can delay them.
    AlertEvent events[ALERT_CHANGES_MAX];
    int raised = RaiseAlerts(j, events);
    ShowTrayAlerts(hWnd, events, raised);
    if (r == -1)
        g_lvItem.iImage = STATUS_RED;
    else if (r == 1)
        g_lvItem.iImage = STATUS_GREEN;

    WidenName(j);
    SendMessageW(g_hwndList, LVM_DELETEITEM, j, 0);
    InsertRow(j);
    UpdateWindow(g_hwndList);

    bool showIn = !fLater || rec->measuredIn;
    bool showOut = !fLater || rec->measuredOut;
    if (showIn)
        SetFigure(j, 1, rec->pctIn);
    if (showOut)
        SetFigure(j, 2, rec->pctOut);
    if (showIn)
        SetFigure(j, 3, rec->bpsIn);
    if (showOut)
        SetFigure(j, 4, rec->bpsOut);
    UpdateWindow(g_hwndList);
}

// One complete poll cycle over every interface, in table order. The closing status
// text shows when the cycle began, however long it took.
void RunPollCycle(HWND hWnd, UINT message)
{
    ReadLocalTime(&lt);
    int32_t fLater = g_pollStarted;
    if (!fLater)
        SetTimer(hWnd, POLL_TIMER_ID, VELLARY_POLL_PERIOD_MS, nullptr);

    for (int j = 0; j < g_interfaceCount; j++) {
        PollRow(hWnd, message, j, fLater != 0);
        if (fLater) {
            AppendHistory(j);
            if (g_settings.exactHistory)
                AppendExactHistory(j);
        }
    }
    if (g_settings.exportFolder[0])
        WritePrometheusExport(g_settings.exportFolder);
    if (!fLater)
        g_pollStarted = 1;

    swprintf(string, WORK_CHARS, L"Last polling done on %02d-%02d-%02d at %02d:%02d:%02d", lt.day, lt.month,
             lt.year, lt.hour, lt.minute, lt.second);
    SetStatusText(string);
}

LRESULT OnCommand(HWND hWnd, WPARAM wParam, LPARAM lParam)
{
    // The high word tells menu from accelerator; both act alike.
    switch (LOWORD(wParam)) {
    case IDM_ABOUT:
        DialogBoxParamW(g_hInst, MAKEINTRESOURCEW(IDD_ABOUTBOX), hWnd, AboutDlgProc, 0);
        return 0;
    case IDM_EXIT:
        DestroyWindow(hWnd);
        return 0;
    default:
        return DefWindowProcW(hWnd, WM_COMMAND, wParam, lParam);
    }
}

}  // namespace

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        OnCreate(hWnd);
        return 0;
    case WM_TIMER:
        RunPollCycle(hWnd, message);
        return 0;
    case WM_COMMAND:
        return OnCommand(hWnd, wParam, lParam);
    case WM_TRAYICON:
        return OnTrayIcon(hWnd, lParam);
    case WM_PAINT: {
        // The child controls paint themselves.
        PAINTSTRUCT ps;
        BeginPaint(hWnd, &ps);
        EndPaint(hWnd, &ps);
        return 0;
    }
    case WM_DESTROY:
        OnDestroy(hWnd);
        return 0;
    default:
        if (OnTaskbarCreated(hWnd, message))
            return 0;
        return DefWindowProcW(hWnd, message, wParam, lParam);
    }
}
