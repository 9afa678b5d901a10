// The main window: the interface table, the status line and the timer-driven poll cycle.
#pragma once

#include <windows.h>

#include <cstdint>

// Timer periods; a test-only copy of the program builds with shorter ones.
#ifndef VELLARY_FIRST_PERIOD_MS
#define VELLARY_FIRST_PERIOD_MS 5000
#endif
#ifndef VELLARY_POLL_PERIOD_MS
#define VELLARY_POLL_PERIOD_MS 300000
#endif

#define POLL_TIMER_ID 0

extern HWND g_hwndList;        // the interface table (list view)
extern HWND g_hwndStatus;      // the status line (status bar)
extern int32_t g_pollStarted;  // 1 once the first poll cycle has ended

LRESULT CALLBACK MainWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
