// Reading windows back and driving them with real key input, for the window tests.
#pragma once

#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

std::wstring WindowText(HWND hwnd);
std::wstring ClassOf(HWND hwnd);

// The table, read in-process.
int RowCount(HWND hwndList);
int RowImage(HWND hwndList, int row);
std::wstring CellText(HWND hwndList, int row, int column);
int ColumnCount(HWND hwndList);
struct ColumnInfo {
    std::wstring header;
    int width;
    int format;
};
ColumnInfo Column(HWND hwndList, int column);

std::wstring StatusText(HWND hwndStatus);

// The texts the notification area shows, read from Wine's tray window (in
// explorer.exe, so through that process's memory): each icon's tooltip and each
// balloon's text, "hidden" or "shown" and a tab before each.
std::vector<std::wstring> TrayTexts();

// Waits up to ms for a visible top-level window of the class with the caption
// (any process); null when none came.
HWND WaitForWindow(const wchar_t *pszClass, const wchar_t *pszCaption, int ms);
// Waits up to ms for the window to be gone.
bool WaitGone(HWND hwnd, int ms);

// Presses the virtual keys in order and releases them in reverse, as one chord of
// real input to the window in front.
void PressChord(std::initializer_list<WORD> keys);
