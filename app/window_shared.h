// Window state that start-up and the main window share: the module, the status
// images of the interface table, the window size, and the About box.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <cstdint>

extern HINSTANCE g_hInst;
extern HIMAGELIST g_hImageList;
extern int32_t g_windowWidth;
extern int32_t g_windowHeight;

// Status image indices in g_hImageList.
#define STATUS_RED 0
#define STATUS_GREEN 1
#define STATUS_YELLOW 2

// Builds g_hImageList from the module's status icons: 20 x 20 images red, green,
// yellow at STATUS_RED, STATUS_GREEN, STATUS_YELLOW. Failures are not reported.
void BuildStatusImages(HINSTANCE hInst);

// The About box: IDOK or IDCANCEL end it with that result.
INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam);
