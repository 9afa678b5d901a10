// The idle reference: the least a Win32 program with one window, one 300 s timer
// and a message loop costs while it waits. The monitor's idle figure is measured
// against this one, the same way, in the same run.
#include <windows.h>

static LRESULT CALLBACK RefWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE, LPWSTR, int nCmdShow)
{
    WNDCLASSEXW wcex = {};
    wcex.cbSize = sizeof wcex;
    wcex.lpfnWndProc = RefWndProc;
    wcex.hInstance = hInstance;
    wcex.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wcex.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    wcex.lpszClassName = L"IdleReference";
    RegisterClassExW(&wcex);
    HWND hWnd = CreateWindowExW(0, L"IdleReference", L"Idle reference", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, 500,
                                350, nullptr, nullptr, hInstance, nullptr);
    if (!hWnd)
        return 1;
    ShowWindow(hWnd, nCmdShow);
    UpdateWindow(hWnd);
    SetTimer(hWnd, 0, 300000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}
