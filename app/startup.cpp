#include "app/startup.h"

#include <cwchar>

#include "alerts/alerts.h"
#include "app/mainwnd.h"
#include "app/window_shared.h"
#include "config/config.h"
#include "config/settings.h"
#include "config/interfaces.h"
#include "config/v3users.h"
#include "res/resource.h"

HWND g_hWnd;
wchar_t g_szWindowClass[CLASS_NAME_CHARS];
wchar_t g_szCaption[CAPTION_CHARS] = L"Vellary - ";
wchar_t g_szCaptionWord1[CAPTION_WORD1_CHARS];
wchar_t g_szCaptionWord2[CAPTION_WORD2_CHARS];

namespace {

// Appends the letters one at a time; a word longer than its buffer is cut.
void AppendLetters(wchar_t *pszWord, size_t cchWord, const wchar_t *pszLetters)
{
    for (; *pszLetters; pszLetters++) {
        wchar_t szLetter[2] = {*pszLetters, L'\0'};
        wcsncat_s(pszWord, cchWord, szLetter, _TRUNCATE);
    }
}

}  // namespace

ATOM RegisterMainClass(HINSTANCE hInstance)
{
    WNDCLASSEXW wcex = {};
    wcex.cbSize = sizeof wcex;
    wcex.style = CS_HREDRAW | CS_VREDRAW;
    wcex.lpfnWndProc = MainWndProc;
    wcex.cbClsExtra = 0;
    wcex.cbWndExtra = 0;
    wcex.hInstance = hInstance;
    wcex.hIcon = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_VELLARY));
    wcex.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wcex.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wcex.lpszMenuName = MAKEINTRESOURCEW(IDR_MAINFRAME);
    wcex.lpszClassName = g_szWindowClass;
    wcex.hIconSm = LoadIconW(hInstance, MAKEINTRESOURCEW(IDI_SMALL));
    return RegisterClassExW(&wcex);
}

int CreateMainWindow(HINSTANCE hInstance, int nCmdShow)
{
    g_hInst = hInstance;
    wcsncat_s(g_szCaption, CAPTION_CHARS, g_szCaptionWord1, _TRUNCATE);
    wcsncat_s(g_szCaption, CAPTION_CHARS, L" ", _TRUNCATE);
    wcsncat_s(g_szCaption, CAPTION_CHARS, g_szCaptionWord2, _TRUNCATE);

    // No maximise box and no sizing border: the table is laid out for this size only.
    g_hWnd = CreateWindowExW(0, g_szWindowClass, g_szCaption, WS_SYSMENU | WS_MINIMIZEBOX, 300, 50, g_windowWidth,
                             g_windowHeight, nullptr, nullptr, hInstance, nullptr);
    if (!g_hWnd)
        return 0;
    ShowWindow(g_hWnd, nCmdShow);
    UpdateWindow(g_hWnd);
    return 1;
}

int InitInstance(HINSTANCE hInstance, int nCmdShow)
{
    AppendLetters(g_szCaptionWord1, CAPTION_WORD1_CHARS, L"SNMP");
    AppendLetters(g_szCaptionWord2, CAPTION_WORD2_CHARS, L"Monitor");

    // The interfaces, then the SNMPv3 users their community fields may name (the
    // labels are known before the first poll), then the settings of the optional
    // features, whose sections may name interfaces.
    g_interfaceCount = LoadConfig(g_interfaces);
    LoadV3Users();
    LoadSettings(g_interfaces, g_interfaceCount);
    StartAlerts();
    for (int i = 0; i < g_interfaceCount; i++)
        g_interfaces[i].firstPoll = 1;

    // The table attaches the images when the window is created.
    BuildStatusImages(hInstance);

    LoadStringW(hInstance, IDS_WINDOWCLASS, g_szWindowClass, CLASS_NAME_CHARS);
    RegisterMainClass(hInstance);
    return CreateMainWindow(hInstance, nCmdShow);
}

int RunMessageLoop(HINSTANCE hInstance)
{
    HACCEL hAccelTable = LoadAcceleratorsW(hInstance, MAKEINTRESOURCEW(IDR_MAINFRAME));
    MSG msg = {};
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        // Keys go to the focused child (the table), but the accelerators' commands are
        // the main window's: translate against the message's top-level window.
        HWND hwndTarget = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr;
        if (!TranslateAcceleratorW(hwndTarget, hAccelTable, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return msg.message == WM_QUIT ? static_cast<int>(msg.wParam) : 0;
}
