// Every resource and command number of the program, by kind. Shared by the .rc
// and the C++ code, so it holds nothing but numbers.
#pragma once

// Dialogs
#define IDD_ABOUTBOX 103

// Menu commands
#define IDM_ABOUT 104
#define IDM_EXIT 105

// Icons: the class icons, then the status squares of the interface table
#define IDI_VELLARY 107
#define IDI_SMALL 108
#define IDI_STATUS_GREEN 130
#define IDI_STATUS_RED 131
#define IDI_STATUS_YELLOW 133

// Menu and accelerators of the main window
#define IDR_MAINFRAME 109

// Strings
#define IDS_WINDOWCLASS 109

// The alerts' notification-area icon, and the message it sends the main
// window (WM_APP + 1)
#define IDT_ALERTS 1
#define WM_TRAYICON 0x8001

// Controls
#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
