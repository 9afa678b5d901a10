// Start-up of the monitor: configuration, window class, main window, message loop.
#pragma once

#include <windows.h>

#define CAPTION_CHARS 35
#define CAPTION_WORD1_CHARS 6
#define CAPTION_WORD2_CHARS 9
#define CLASS_NAME_CHARS 100

extern HWND g_hWnd;
extern wchar_t g_szWindowClass[CLASS_NAME_CHARS];
extern wchar_t g_szCaption[CAPTION_CHARS];
extern wchar_t g_szCaptionWord1[CAPTION_WORD1_CHARS];
extern wchar_t g_szCaptionWord2[CAPTION_WORD2_CHARS];

ATOM RegisterMainClass(HINSTANCE hInstance);

// Creates and shows the main window (whose creation builds the table and arms the
// poll timer). Returns 1 when the window exists, 0 when it could not be created.
int CreateMainWindow(HINSTANCE hInstance, int nCmdShow);

// Everything before the message loop, in order: caption words, configuration
// (vellary.cfg, vellary-v3.cfg, then vellary.ini and the alerts it turns on),
// status images, window class, main window.
// Returns CreateMainWindow's result.
int InitInstance(HINSTANCE hInstance, int nCmdShow);

// Runs the message loop with accelerator table 109 until the quit message and
// returns its exit code.
int RunMessageLoop(HINSTANCE hInstance);
