// Process entry of the monitor. It takes no command-line options.
#include <winsock2.h>
#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE hInstance, HINSTANCE hPrevInstance, LPWSTR lpCmdLine, int nCmdShow)
{
    (void)hPrevInstance;
    (void)lpCmdLine;
    // Winsock for the whole run, before the first cycle's probe or query calls
    // into it. Should it refuse, the queries fail and say so in the log.
    WSADATA wsaData;
    bool fWinsock = WSAStartup(MAKEWORD(2, 2), &wsaData) == 0;
    int rc = InitInstance(hInstance, nCmdShow) ? RunMessageLoop(hInstance) : 0;
    if (fWinsock)
        WSACleanup();
    return rc;
}
