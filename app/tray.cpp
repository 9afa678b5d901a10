#include "app/tray.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "alerts/alerts.h"
#include "app/window_shared.h"
#include "config/settings.h"
#include "config/utf8.h"
#include "res/resource.h"

namespace {

bool g_wanted;  // tray = yes
bool g_shown;   // the icon is in the notification area
UINT g_taskbarCreated;

void Describe(HWND hWnd, NOTIFYICONDATAW *nid)
{
    memset(nid, 0, sizeof *nid);
    nid->cbSize = sizeof *nid;
    nid->hWnd = hWnd;
    nid->uID = IDT_ALERTS;
}

void SetTip(NOTIFYICONDATAW *nid)
{
    int down = 0, above = 0;
    CountAlerts(&down, &above);
    const size_t cap = sizeof nid->szTip / sizeof nid->szTip[0];
    if (down == 0 && above == 0)
        wcsncpy(nid->szTip, L"Vellary: nothing down or above", cap - 1);
    else
        swprintf(nid->szTip, cap, L"Vellary: %d down, %d above", down, above);
    nid->uFlags |= NIF_TIP;
}

// Appends the 8-bit text (UTF-8, or a byte a character) to wide.
void AppendWidened(wchar_t *wide, size_t cap, const char *text)
{
    size_t used = wcslen(wide);
    if (used + 1 < cap)
        WidenText(text, strlen(text), wide + used, cap - used, cap - used - 1);
}

void AppendFigure(wchar_t *wide, size_t cap, const wchar_t *label, int32_t has, int32_t pct)
{
    size_t used = wcslen(wide);
    if (has)
        swprintf(wide + used, cap - used, L"%ls %d", label, static_cast<int>(pct));
    else
        swprintf(wide + used, cap - used, L"%ls -", label);
}

// "Uplink down" over the detail, the figures where there are any, and the time.
void SetBalloon(NOTIFYICONDATAW *nid, const AlertEvent &event)
{
    const size_t titleCap = sizeof nid->szInfoTitle / sizeof nid->szInfoTitle[0];
    const size_t infoCap = sizeof nid->szInfo / sizeof nid->szInfo[0];
    nid->szInfoTitle[0] = L'\0';
    AppendWidened(nid->szInfoTitle, titleCap, event.name);
    AppendWidened(nid->szInfoTitle, titleCap, " ");
    AppendWidened(nid->szInfoTitle, titleCap, event.event);
    nid->szInfo[0] = L'\0';
    AppendWidened(nid->szInfo, infoCap, event.detail);
    if (event.hasIn || event.hasOut) {
        AppendWidened(nid->szInfo, infoCap, "\n");
        AppendFigure(nid->szInfo, infoCap, L"% In", event.hasIn, event.pctIn);
        AppendWidened(nid->szInfo, infoCap, ", ");
        AppendFigure(nid->szInfo, infoCap, L"% Out", event.hasOut, event.pctOut);
    }
    // The time of day out of 2026-12-09T03:14:07+01:00.
    char clock[16];
    snprintf(clock, sizeof clock, "\nat %.8s", strlen(event.time) > 11 ? event.time + 11 : "");
    AppendWidened(nid->szInfo, infoCap, clock);
    bool warning = strcmp(event.event, "down") == 0 || strcmp(event.event, "above") == 0;
    nid->dwInfoFlags = warning ? NIIF_WARNING : NIIF_INFO;
    nid->uFlags |= NIF_INFO;
}

bool AddIcon(HWND hWnd)
{
    NOTIFYICONDATAW nid;
    Describe(hWnd, &nid);
    nid.uFlags = NIF_ICON | NIF_MESSAGE;
    nid.uCallbackMessage = WM_TRAYICON;
    nid.hIcon = static_cast<HICON>(LoadImageW(g_hInst, MAKEINTRESOURCEW(IDI_SMALL), IMAGE_ICON,
                                              GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SetTip(&nid);
    bool added = Shell_NotifyIconW(NIM_ADD, &nid) != FALSE;
    if (nid.hIcon)
        DestroyIcon(nid.hIcon);  // the notification area keeps a copy
    return added;
}

}  // namespace

void AddTrayIcon(HWND hWnd)
{
    g_wanted = g_settings.alerts.on && g_settings.alerts.tray;
    if (!g_wanted)
        return;
    g_taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    g_shown = AddIcon(hWnd);
}

void ShowTrayAlerts(HWND hWnd, const AlertEvent *events, int count)
{
    if (!g_shown)
        return;
    for (int k = 0; k < count; k++) {
        NOTIFYICONDATAW nid;
        Describe(hWnd, &nid);
        SetTip(&nid);
        SetBalloon(&nid, events[k]);
        Shell_NotifyIconW(NIM_MODIFY, &nid);
    }
}

LRESULT OnTrayIcon(HWND hWnd, LPARAM lParam)
{
    switch (LOWORD(lParam)) {
    case WM_LBUTTONUP:
    case NIN_BALLOONUSERCLICK:
        ShowWindow(hWnd, IsIconic(hWnd) ? SW_RESTORE : SW_SHOW);
        SetForegroundWindow(hWnd);
        return 0;
    default:
        return 0;
    }
}

bool OnTaskbarCreated(HWND hWnd, UINT message)
{
    if (!g_wanted || message != g_taskbarCreated)
        return false;
    g_shown = AddIcon(hWnd);
    return true;
}

void RemoveTrayIcon(HWND hWnd)
{
    if (g_shown) {
        NOTIFYICONDATAW nid;
        Describe(hWnd, &nid);
        Shell_NotifyIconW(NIM_DELETE, &nid);
    }
    g_shown = false;
    g_wanted = false;
}
