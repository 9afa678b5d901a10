// The poll cycle of the real main window, timed. The program starts as the
// monitor does (vellary.cfg from the working directory, the window with its
// table) and then hands the window procedure WM_TIMER itself, once per cycle,
// timing each whole cycle, and then the window's end (with alerts, the wait for
// a post in flight); it prints "key=value" lines for bench/run.sh.
//   cycle_bench <cycles>
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/mainwnd.h"
#include "app/startup.h"
#include "config/interfaces.h"

// Handles what the window has queued (painting, mostly) between two cycles.
static void PumpMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int main(int argc, char **argv)
{
    int cycles = argc > 1 ? atoi(argv[1]) : 3;
    if (!InitInstance(GetModuleHandleW(nullptr), SW_SHOWNORMAL))
        return 1;
    printf("interfaces=%d\n", static_cast<int>(g_interfaceCount));

    std::vector<double> ms;
    for (int c = 0; c < cycles; c++) {
        PumpMessages();
        auto t0 = std::chrono::steady_clock::now();
        SendMessageW(g_hWnd, WM_TIMER, POLL_TIMER_ID, 0);
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        printf("cycle_ms=%.1f\n", ms.back());
        fflush(stdout);
    }
    std::vector<double> sorted = ms;
    std::sort(sorted.begin(), sorted.end());
    if (!sorted.empty())
        printf("cycle_median_ms=%.1f\n", sorted[(sorted.size() - 1) / 2]);
    auto t0 = std::chrono::steady_clock::now();
    DestroyWindow(g_hWnd);
    PumpMessages();
    printf("exit_ms=%.1f\n", std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    return 0;
}
