// The program as a process: start-up order, the frame, and how it ends, driven by
// real key input.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/app/window_probe.h"
#include "tests/support/files.h"

namespace {

class Program : public InTempDir {
protected:
    void TearDown() override
    {
        if (pi_.hProcess) {
            if (WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT)
                TerminateProcess(pi_.hProcess, 1);
            CloseHandle(pi_.hProcess);
            CloseHandle(pi_.hThread);
        }
        InTempDir::TearDown();
    }

    // Starts the program in the test's working directory.
    void Launch()
    {
        std::wstring cmd = L"\"" + std::wstring(VELLARY_PROGRAM) + L"\"";
        STARTUPINFOW si = {};
        si.cb = sizeof si;
        ASSERT_TRUE(CreateProcessW(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi_))
            << "cannot start " << std::string(cmd.begin(), cmd.end());
    }

    // The program's window of the class with the caption, once it shows.
    HWND WaitForOwnWindow(const wchar_t *pszClass, const wchar_t *pszCaption)
    {
        HWND hwnd = WaitForWindow(pszClass, pszCaption, 20000);
        DWORD pid = 0;
        if (hwnd)
            GetWindowThreadProcessId(hwnd, &pid);
        return pid == pi_.dwProcessId ? hwnd : nullptr;
    }

    // The process's exit code once it ends within ms, or -1.
    long ExitCode(int ms)
    {
        if (WaitForSingleObject(pi_.hProcess, ms) != WAIT_OBJECT_0)
            return -1;
        DWORD code = 1234;
        GetExitCodeProcess(pi_.hProcess, &code);
        return static_cast<long>(code);
    }

    // Opens a menu of the window with the key chord and waits until its popup shows;
    // a second try covers keys that arrived before the new window was active.
    bool OpenMenu(HWND hWnd, std::initializer_list<WORD> chord)
    {
        for (int attempt = 0; attempt < 2; attempt++) {
            SetForegroundWindow(hWnd);
            PressChord(chord);
            if (WaitForWindow(L"#32768", nullptr, 3000))
                return true;
        }
        return false;
    }

    PROCESS_INFORMATION pi_ = {};
};

const wchar_t kCaption[] = L"Vellary - SNMP Monitor";

TEST_F(Program, FileExitEndsWithCodeZero)
{
    WriteFile("vellary.cfg", "");  // an empty file: no interfaces, and no message box
    Launch();
    HWND hWnd = WaitForOwnWindow(L"KORMANTH", kCaption);
    ASSERT_NE(nullptr, hWnd);
    LONG style = GetWindowLongW(hWnd, GWL_STYLE);
    EXPECT_EQ(0, style & (WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_NE(0, style & WS_MINIMIZEBOX);

    SetForegroundWindow(hWnd);
    PressChord({VK_MENU, VK_SHIFT, VK_OEM_2});
    HWND hAbout = WaitForOwnWindow(L"#32770", L"About KORMANTH");
    EXPECT_NE(nullptr, hAbout) << "Alt+? opens the About box";
    if (hAbout) {
        PressChord({VK_ESCAPE});
        EXPECT_TRUE(WaitGone(hAbout, 5000));
    }

    ASSERT_TRUE(OpenMenu(hWnd, {VK_MENU, 'F'})) << "File menu";
    PressChord({'X'});
    EXPECT_EQ(0, ExitCode(10000));
}

TEST_F(Program, CloseItemEndsWithCodeZero)
{
    WriteFile("vellary.cfg", "");
    Launch();
    HWND hWnd = WaitForOwnWindow(L"KORMANTH", kCaption);
    ASSERT_NE(nullptr, hWnd);
    ASSERT_TRUE(OpenMenu(hWnd, {VK_MENU, VK_SPACE})) << "system menu";
    PressChord({'C'});
    EXPECT_EQ(0, ExitCode(10000));
}

TEST_F(Program, MissingConfigurationIsReportedBeforeTheWindowOpensEmpty)
{
    Launch();
    HWND hBox = WaitForOwnWindow(L"#32770", L"ERROR");
    ASSERT_NE(nullptr, hBox);
    EXPECT_EQ(nullptr, FindWindowW(L"KORMANTH", kCaption)) << "no main window while the box is up";
    SetForegroundWindow(hBox);
    PressChord({VK_RETURN});

    HWND hWnd = WaitForOwnWindow(L"KORMANTH", kCaption);
    ASSERT_NE(nullptr, hWnd);
    HWND hList = FindWindowExW(hWnd, nullptr, L"SysListView32", nullptr);
    ASSERT_NE(nullptr, hList);
    EXPECT_EQ(5, ColumnCount(hList));
    EXPECT_EQ(0, RowCount(hList));
    PostMessageW(hWnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, ExitCode(10000));
}

}  // namespace
