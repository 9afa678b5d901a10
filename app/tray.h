// The alerts' notification-area icon (vellary.ini's tray = yes): the program's
// icon, a tooltip that counts the interfaces down and above, and a balloon
// per event. Clicking it brings the main window to the front. Without alerts,
// or without tray = yes, every call here does nothing.
#pragma once

#include <windows.h>

#include "alerts/event.h"

// Adds the icon for the main window hWnd.
void AddTrayIcon(HWND hWnd);

// Shows each of the count events in a balloon, the tooltip brought up to date.
void ShowTrayAlerts(HWND hWnd, const AlertEvent *events, int count);

// The icon's WM_TRAYICON: a click on it, or on its balloon, brings the window
// to the front.
LRESULT OnTrayIcon(HWND hWnd, LPARAM lParam);

// Whether message says that the taskbar was created anew (Explorer restarted,
// which forgets every icon); the icon is then added again.
bool OnTaskbarCreated(HWND hWnd, UINT message);

// Takes the icon away, at exit.
void RemoveTrayIcon(HWND hWnd);
