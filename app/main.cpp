// Process entry of the monitor. It takes no command-line options.
#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow)
{
    (void)hPrevInstance;
    (void)lpCmdLine;
    if (!InitInstance(hInstance, nCmdShow))
        return 0;
    return RunMessageLoop(hInstance);
}
