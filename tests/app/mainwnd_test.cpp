// The main window driven in-process: created by start-up, cycles run by timer
// messages, a scripted poll, and the table and status line read back.
#include "app/mainwnd.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "app/window_shared.h"
#include "config/interfaces.h"
#include "records/localtime.h"
#include "res/resource.h"
#include "tests/app/fake_poll.h"
#include "tests/app/window_probe.h"
#include "tests/config/shown_error.h"
#include "tests/support/files.h"

namespace {

// The clock gives these times in turn and then stays at the last.
std::vector<LocalTime> g_times;
size_t g_nextTime;

void SetTimes(std::vector<LocalTime> times)
{
    g_times = std::move(times);
    g_nextTime = 0;
}

}  // namespace

// Stands in for records/localtime_win32.cpp: the scripted times.
void ReadLocalTime(LocalTime *lt)
{
    *lt = g_times[g_nextTime < g_times.size() ? g_nextTime : g_times.size() - 1];
    if (g_nextTime < g_times.size())
        g_nextTime++;
}

// These tests keep no exact history: its clock only has to link.
void ReadWallClock(LocalTime *lt, int64_t *utc)
{
    ReadLocalTime(lt);
    *utc = 0;
}

namespace {

// Takes every message but timer messages, so no real timer runs a cycle.
void DrainMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, WM_TIMER - 1, PM_REMOVE) ||
           PeekMessageW(&msg, nullptr, WM_TIMER + 1, 0xFFFFFFFF, PM_REMOVE))
        DispatchMessageW(&msg);
}

const char kLine[] = ",127.0.0.61,public,100000000,1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.2.2.1.16.1,\n";
const char kHeader[] = "Date,Hour,Time,% In,% Out";

std::string ConfigOf(std::initializer_list<const char *> names)
{
    std::string text;
    for (const char *name : names)
        text += std::string(name) + kLine;
    return text;
}

class MainWindow : public InTempDir {
protected:
    void SetUp() override
    {
        InTempDir::SetUp();
        memset(g_interfaces, 0, sizeof g_interfaces);
        g_interfaceCount = 0;
        g_pollStarted = 0;
        wcscpy(g_szCaption, L"Vellary - ");
        g_szCaptionWord1[0] = L'\0';
        g_szCaptionWord2[0] = L'\0';
        g_fakePoll = nullptr;
        SetTimes({{6, 3, 2026, 9, 5, 7}});
    }
    void TearDown() override
    {
        if (IsWindow(g_hWnd))
            DestroyWindow(g_hWnd);
        DrainMessages();
        MSG msg;
        while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE))
            ;
        g_fakePoll = nullptr;
        InTempDir::TearDown();
    }

    void Start(const std::string &config)
    {
        WriteFile("vellary.cfg", config);
        ASSERT_EQ(1, InitInstance(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
        DrainMessages();
    }

    static void Cycle() { SendMessageW(g_hWnd, WM_TIMER, POLL_TIMER_ID, 0); }

    // Each row's image and figures, e.g. "0:12,3,12000000,3000000|2:,,,".
    static std::string Rows()
    {
        std::string out;
        for (int row = 0; row < RowCount(g_hwndList); row++) {
            if (row)
                out += "|";
            out += std::to_string(RowImage(g_hwndList, row)) + ":";
            for (int col = 1; col <= 4; col++) {
                std::wstring text = CellText(g_hwndList, row, col);
                out += std::string(text.begin(), text.end()) + (col < 4 ? "," : "");
            }
        }
        return out;
    }

    static void SetFigures(int index, int32_t pctIn, int32_t pctOut, int64_t bpsIn, int64_t bpsOut)
    {
        InterfaceRecord *rec = &g_interfaces[index];
        rec->pctIn = pctIn;
        rec->pctOut = pctOut;
        rec->bpsIn = bpsIn;
        rec->bpsOut = bpsOut;
        rec->measuredIn = rec->measuredOut = 1;
    }

    // What the poll leaves when it measured nothing.
    static void Unmeasured(int index) { g_interfaces[index].measuredIn = g_interfaces[index].measuredOut = 0; }

    std::string Listing() const
    {
        std::string names;
        for (const auto &entry : std::filesystem::directory_iterator(dir_))
            names += entry.path().filename().string() + ";";
        return names;
    }
};

TEST_F(MainWindow, CreationBuildsTableStatusLineAndFrame)
{
    // A 15-character name has no terminator in its record; a byte above 127 widens to
    // the character of the same value.
    Start(ConfigOf({"Alpha", "ABCDEFGHIJKLMNO", "Caf\xE9"}));

    EXPECT_EQ(L"Vellary - SNMP Monitor", WindowText(g_hWnd));
    EXPECT_EQ(L"KORMANTH", ClassOf(g_hWnd));
    EXPECT_EQ(GetModuleHandleW(nullptr), g_hInst);
    RECT rc;
    GetWindowRect(g_hWnd, &rc);
    EXPECT_EQ(300, rc.left);
    EXPECT_EQ(50, rc.top);
    EXPECT_EQ(500, rc.right - rc.left);
    EXPECT_EQ(350, rc.bottom - rc.top);
    LONG style = GetWindowLongW(g_hWnd, GWL_STYLE);
    EXPECT_EQ(WS_SYSMENU | WS_MINIMIZEBOX, style & (WS_SYSMENU | WS_MINIMIZEBOX));
    EXPECT_EQ(0, style & (WS_MAXIMIZEBOX | WS_THICKFRAME)) << "no maximise box, no sizing border";
    // It can be minimised and restored, and comes back at its one size.
    SendMessageW(g_hWnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(g_hWnd));
    SendMessageW(g_hWnd, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(g_hWnd));
    GetWindowRect(g_hWnd, &rc);
    EXPECT_EQ(500, rc.right - rc.left);
    EXPECT_EQ(350, rc.bottom - rc.top);
    HMENU hMenu = GetMenu(g_hWnd);
    ASSERT_NE(nullptr, hMenu);
    EXPECT_EQ(IDM_EXIT, static_cast<int>(GetMenuItemID(GetSubMenu(hMenu, 0), 0)));
    EXPECT_EQ(IDM_ABOUT, static_cast<int>(GetMenuItemID(GetSubMenu(hMenu, 1), 0)));

    ASSERT_NE(nullptr, g_hwndList);
    EXPECT_EQ(L"SysListView32", ClassOf(g_hwndList));
    EXPECT_EQ(g_hWnd, GetParent(g_hwndList));
    EXPECT_EQ(LVS_REPORT, GetWindowLongW(g_hwndList, GWL_STYLE) & LVS_TYPEMASK);
    GetWindowRect(g_hwndList, &rc);
    MapWindowPoints(nullptr, g_hWnd, reinterpret_cast<POINT *>(&rc), 2);
    EXPECT_EQ(0, rc.left);
    EXPECT_EQ(0, rc.top);
    EXPECT_EQ(500, rc.right - rc.left);
    EXPECT_EQ(250, rc.bottom - rc.top);
    EXPECT_EQ(reinterpret_cast<LRESULT>(g_hImageList), SendMessageW(g_hwndList, LVM_GETIMAGELIST, LVSIL_SMALL, 0));

    const ColumnInfo expected[] = {
        {L"Interface", 125, LVCFMT_LEFT}, {L"% In", 50, LVCFMT_LEFT},     {L"% Out", 50, LVCFMT_LEFT},
        {L"bps In", 100, LVCFMT_LEFT},    {L"bps Out", 100, LVCFMT_LEFT},
    };
    ASSERT_EQ(5, ColumnCount(g_hwndList));
    for (int i = 0; i < 5; i++) {
        ColumnInfo col = Column(g_hwndList, i);
        EXPECT_EQ(expected[i].header, col.header) << "column " << i;
        EXPECT_EQ(expected[i].width, col.width) << "column " << i;
        EXPECT_EQ(expected[i].format, col.format & LVCFMT_JUSTIFYMASK) << "column " << i;
    }

    ASSERT_EQ(3, RowCount(g_hwndList));
    EXPECT_EQ(L"Alpha", CellText(g_hwndList, 0, 0));
    EXPECT_EQ(L"ABCDEFGHIJKLMN", CellText(g_hwndList, 1, 0));
    EXPECT_EQ(L"Caf\u00E9", CellText(g_hwndList, 2, 0));
    EXPECT_EQ("0:,,,|0:,,,|0:,,,", Rows());
    for (int i = 0; i < 3; i++)
        EXPECT_EQ(1, g_interfaces[i].firstPoll) << "record " << i;

    ASSERT_NE(nullptr, g_hwndStatus);
    EXPECT_EQ(L"msctls_statusbar32", ClassOf(g_hwndStatus));
    EXPECT_EQ(g_hWnd, GetParent(g_hwndStatus));
    EXPECT_TRUE(IsWindowVisible(g_hwndStatus));
    EXPECT_NE(0, GetWindowLongW(g_hwndStatus, GWL_STYLE) & SBARS_SIZEGRIP);
    EXPECT_EQ(L"System Initializing....", StatusText(g_hwndStatus));
    EXPECT_EQ(0, g_pollStarted);
}

// What the table showed while one interface was being polled.
struct Seen {
    int index;
    std::string rows;
    std::wstring status;
};

TEST_F(MainWindow, FirstCycleLeavesRowsYellowWithZerosAndNoHistory)
{
    Start(ConfigOf({"Alpha", "Dead", "Gamma"}));
    std::vector<Seen> seen;
    g_fakePoll = [&](void *window, unsigned int message, int index) {
        EXPECT_EQ(static_cast<void *>(g_hWnd), window);
        EXPECT_EQ(static_cast<unsigned>(WM_TIMER), message);
        seen.push_back({index, Rows(), StatusText(g_hwndStatus)});
        // The first poll of every record only takes its baseline, answered or not.
        return 0;
    };
    Cycle();

    ASSERT_EQ(3u, seen.size());
    EXPECT_EQ("2:,,,|0:,,,|0:,,,", seen[0].rows);
    EXPECT_EQ(L"Alpha", seen[0].status);
    EXPECT_EQ("2:0,0,0,0|2:,,,|0:,,,", seen[1].rows);
    EXPECT_EQ(L"Dead", seen[1].status);
    EXPECT_EQ("2:0,0,0,0|2:0,0,0,0|2:,,,", seen[2].rows);
    EXPECT_EQ(L"Gamma", seen[2].status);

    EXPECT_EQ("2:0,0,0,0|2:0,0,0,0|2:0,0,0,0", Rows());
    EXPECT_EQ(L"Last polling done on 06-03-2026 at 09:05:07", StatusText(g_hwndStatus));
    EXPECT_EQ(1, g_pollStarted);
    EXPECT_EQ("vellary.cfg;", Listing()) << "no history after the first cycle";
}

TEST_F(MainWindow, LaterCyclesShowResultsFiguresAndAppendHistory)
{
    Start(ConfigOf({"Alpha", "Dead", "Gamma"}));
    Cycle();

    // The cycle begins just before midnight and its history rows are written after.
    SetTimes({{31, 12, 2026, 23, 59, 59}, {1, 1, 2027, 0, 0, 1}, {1, 1, 2027, 0, 0, 2}, {1, 1, 2027, 0, 0, 3}});
    std::vector<Seen> seen;
    g_fakePoll = [&](void *, unsigned int, int index) {
        seen.push_back({index, Rows(), StatusText(g_hwndStatus)});
        switch (index) {
        case 0:
            SetFigures(0, 12, 3, 12000000, 3000000);
            return 1;
        case 1:
            return -1;  // the device did not answer: no figures
        default:
            SetFigures(2, -5, 151, INT_MIN, INT_MAX);
            return 1;
        }
    };
    Cycle();

    EXPECT_EQ("1:12,3,12000000,3000000|0:,,,|1:-5,151,-2147483648,2147483647", Rows());
    EXPECT_EQ(L"Last polling done on 31-12-2026 at 23:59:59", StatusText(g_hwndStatus));
    EXPECT_EQ(std::string(kHeader) + "\r\n01-01-2027,00,00:00:01,12,3", ReadFile("Alpha.csv"));
    EXPECT_EQ(std::string(kHeader) + "\r\n01-01-2027,00,00:00:02,,", ReadFile("Dead.csv"));
    // History works its percentages out again from the rates, over the link speed.
    EXPECT_EQ(std::string(kHeader) + "\r\n01-01-2027,00,00:00:03,-2147,2147", ReadFile("Gamma.csv"));
    ASSERT_EQ(3u, seen.size());
    // While its own interface is polled a row is yellow and empty; the others keep
    // what they showed.
    EXPECT_EQ("2:,,,|2:0,0,0,0|2:0,0,0,0", seen[0].rows);
    EXPECT_EQ("1:12,3,12000000,3000000|2:,,,|2:0,0,0,0", seen[1].rows);
    EXPECT_EQ("1:12,3,12000000,3000000|0:,,,|2:,,,", seen[2].rows);

    // A third cycle: the dead device answers again; rows continue under one header.
    SetTimes({{1, 1, 2027, 0, 5, 0}, {1, 1, 2027, 0, 5, 9}});
    seen.clear();
    g_fakePoll = [&](void *, unsigned int, int index) {
        seen.push_back({index, Rows(), StatusText(g_hwndStatus)});
        if (index == 1) {
            SetFigures(1, 50, 0, 50000000, 0);
            g_interfaces[1].measuredOut = 0;  // one direction alone has a figure
        } else {
            Unmeasured(index);
        }
        return index == 1 ? 1 : -1;
    };
    Cycle();
    EXPECT_EQ("0:,,,|2:,,,|1:-5,151,-2147483648,2147483647", seen[1].rows);
    EXPECT_EQ("0:,,,|1:50,,50000000,|0:,,,", Rows());
    EXPECT_EQ(std::string(kHeader) + "\r\n01-01-2027,00,00:00:02,,\r\n01-01-2027,00,00:05:09,50,",
              ReadFile("Dead.csv"));
    EXPECT_EQ(L"Last polling done on 01-01-2027 at 00:05:00", StatusText(g_hwndStatus));
}

TEST_F(MainWindow, SixtyFourBitRatesShowInFull)
{
    Start("Fast,127.0.0.61,public,10000000000,1.3.6.1.2.1.31.1.1.1.6.1,1.3.6.1.2.1.31.1.1.1.10.1,\n"
          "Limits,127.0.0.61,public,1,1.3.6.1.2.1.31.1.1.1.6.1,1.3.6.1.2.1.31.1.1.1.10.1,\n");
    Cycle();
    g_fakePoll = [](void *, unsigned int, int index) {
        if (index == 0)
            SetFigures(0, 93, 150, 9300000000, 15000000000);
        else
            SetFigures(1, INT32_MAX, INT32_MIN, INT64_MAX, INT64_MIN);
        return 1;
    };
    Cycle();
    EXPECT_EQ("1:93,150,9300000000,15000000000|1:2147483647,-2147483648,9223372036854775807,-9223372036854775808",
              Rows());
    EXPECT_EQ(std::string(kHeader) + "\r\n06-03-2026,09,09:05:07,93,150", ReadFile("Fast.csv"));
}

// The texts of Wine's notification area that mention Vellary's icon or its
// balloons, once they hold want (at most 5 s: the tray window is another process).
std::vector<std::wstring> TrayShows(const std::wstring &want)
{
    std::vector<std::wstring> ours;
    for (int k = 0; k < 250; k++) {
        ours.clear();
        bool found = false;
        for (const std::wstring &text : TrayTexts()) {
            if (text.find(L"Vellary:") != std::wstring::npos || text.find(L"127.0.0.61") != std::wstring::npos)
                ours.push_back(text);
            found = found || text == want;
        }
        if (found)
            break;
        Sleep(20);
    }
    return ours;
}

bool Holds(const std::vector<std::wstring> &texts, const std::wstring &text)
{
    return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST_F(MainWindow, AlertsInTheTray)
{
    WriteFile("vellary.ini", "[alerts]\ndown = 1\nabove = 50\nabove-for = 1\ntray = yes\n");
    Start(ConfigOf({"Alpha", "Beta"}));
    EXPECT_TRUE(Holds(TrayShows(L"hidden\tVellary: nothing down or above"), L"hidden\tVellary: nothing down or above"));
    g_fakePoll = [](void *, unsigned int, int index) {
        InterfaceRecord *rec = &g_interfaces[index];
        rec->freshIn = rec->freshOut = index == 1;
        if (index == 1)
            SetFigures(1, 60, 10, 60000000, 10000000);
        else
            Unmeasured(0);
        return index == 1 ? 1 : -1;
    };
    Cycle();
    SetTimes({{6, 3, 2026, 9, 10, 7}});
    Cycle();  // Alpha down, Beta above

    std::vector<std::wstring> shown = TrayShows(L"hidden\tVellary: 1 down, 1 above");
    EXPECT_TRUE(Holds(shown, L"hidden\tVellary: 1 down, 1 above")) << shown.size();
    shown = TrayShows(L"shown\t127.0.0.61 in\n% In 60, % Out 10\nat 09:10:07");
    EXPECT_TRUE(Holds(shown, L"shown\t127.0.0.61 in\n% In 60, % Out 10\nat 09:10:07")) << shown.size();

    // A click on the icon brings the window back from the taskbar.
    ShowWindow(g_hWnd, SW_MINIMIZE);
    SendMessageW(g_hWnd, WM_TRAYICON, IDT_ALERTS, WM_LBUTTONUP);
    EXPECT_FALSE(IsIconic(g_hWnd));

    // At exit the icon goes. Wine drops the icons of a window that is gone, so
    // the window stays while it is told it is being destroyed.
    SendMessageW(g_hWnd, WM_DESTROY, 0, 0);
    NOTIFYICONDATAW nid = {};
    nid.cbSize = sizeof nid;
    nid.hWnd = g_hWnd;
    nid.uID = IDT_ALERTS;
    nid.uFlags = NIF_TIP;
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &nid)) << "the icon is still there";
}

TEST_F(MainWindow, ResultOtherThanOneOrMinusOneLeavesTheRowYellow)
{
    Start(ConfigOf({"Alpha", "Beta"}));
    Cycle();
    g_fakePoll = [](void *, unsigned int, int index) { return index == 0 ? 0 : 7; };
    Cycle();
    EXPECT_EQ("2:,,,|2:,,,", Rows());
    EXPECT_TRUE(FileExists("Alpha.csv"));
    EXPECT_TRUE(FileExists("Beta.csv"));
}

TEST_F(MainWindow, MissingConfigurationShowsErrorFirstThenAnEmptyTable)
{
    std::atomic<bool> boxSeen{false}, mainWindowBeforeBox{true};
    std::wstring boxText;
    std::thread helper([&] {
        HWND hBox = WaitForWindow(L"#32770", L"ERROR", 10000);
        if (!hBox)
            return;
        boxSeen = true;
        mainWindowBeforeBox = FindWindowW(L"KORMANTH", nullptr) != nullptr;
        HWND hChild = nullptr;
        while ((hChild = FindWindowExW(hBox, hChild, L"Static", nullptr)))
            if (!WindowText(hChild).empty())
                boxText = WindowText(hChild);
        PostMessageW(hBox, WM_COMMAND, IDOK, 0);
    });
    ASSERT_EQ(1, InitInstance(GetModuleHandleW(nullptr), SW_SHOWNORMAL));
    helper.join();
    ASSERT_TRUE(boxSeen);
    EXPECT_FALSE(mainWindowBeforeBox) << "the message box comes before the main window";
    EXPECT_EQ(L"Failed to open configuration file", boxText);

    EXPECT_EQ(0, g_interfaceCount);
    EXPECT_EQ(5, ColumnCount(g_hwndList));
    EXPECT_EQ(0, RowCount(g_hwndList));
    EXPECT_EQ(L"System Initializing....", StatusText(g_hwndStatus));

    int polls = 0;
    g_fakePoll = [&](void *, unsigned int, int) { return ++polls, 1; };
    SetTimes({{6, 3, 2026, 9, 5, 7}, {6, 3, 2026, 9, 10, 7}});
    Cycle();
    EXPECT_EQ(L"Last polling done on 06-03-2026 at 09:05:07", StatusText(g_hwndStatus));
    Cycle();
    EXPECT_EQ(L"Last polling done on 06-03-2026 at 09:10:07", StatusText(g_hwndStatus));
    EXPECT_EQ(0, polls);
    EXPECT_EQ(0, RowCount(g_hwndList));
    EXPECT_EQ("", Listing()) << "nothing written";
}

TEST_F(MainWindow, AUtf8NameIsShownAndNamesItsHistoryFile)
{
    // As Notepad saves it, with its mark; the second name is not UTF-8.
    Start("\xEF\xBB\xBF" + ConfigOf({"B\xC3\xBCro-S\xC3\xBC\x64", "Caf\xE9"}));
    EXPECT_EQ(L"B\u00FCro-S\u00FCd", CellText(g_hwndList, 0, 0));
    EXPECT_EQ(L"Caf\u00E9", CellText(g_hwndList, 1, 0));
    Cycle();
    Cycle();
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(L"B\u00FCro-S\u00FCd.csv")));
    // The other keeps the name the narrow calls give it.
    FILE *f = fopen("Caf\xE9.csv", "rb");
    EXPECT_NE(nullptr, f);
    if (f)
        fclose(f);
}

TEST_F(MainWindow, AConfigurationSavedAsUtf16RunsWithNoInterfaces)
{
    std::string utf16 = "\xFF\xFE";
    for (char c : ConfigOf({"Uplink"}))
        utf16 += std::string(1, c) + '\0';
    EXPECT_EQ("ERROR: vellary.cfg is saved as UTF-16 (Unicode). Save it as ANSI or UTF-8.\n",
              ShownError([&] { Start(utf16); }));
    EXPECT_EQ(0, RowCount(g_hwndList));
    Cycle();
    Cycle();
    EXPECT_EQ("vellary.cfg;", Listing()) << "no file named after junk";
}

TEST_F(MainWindow, CommandsSplitOnTheLowWord)
{
    Start(ConfigOf({"Alpha"}));

    // Unknown commands go to default processing, which does nothing with them.
    EXPECT_EQ(0, SendMessageW(g_hWnd, WM_COMMAND, 106, 0));
    EXPECT_EQ(0, SendMessageW(g_hWnd, WM_COMMAND, MAKEWPARAM(0, IDM_EXIT), 0));
    EXPECT_TRUE(IsWindow(g_hWnd));

    // About, with an accelerator's high word: a modal box owned by the main window.
    HWND hOwner = nullptr;
    std::thread helper([&] {
        HWND hAbout = WaitForWindow(L"#32770", L"About KORMANTH", 10000);
        if (!hAbout)
            return;
        hOwner = GetWindow(hAbout, GW_OWNER);
        PostMessageW(hAbout, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(0, SendMessageW(g_hWnd, WM_COMMAND, MAKEWPARAM(IDM_ABOUT, 1), 0));
    helper.join();
    EXPECT_EQ(g_hWnd, hOwner);

    // Exit destroys the window, whose end posts the quit message with 0.
    EXPECT_EQ(0, SendMessageW(g_hWnd, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 1), 0));
    EXPECT_FALSE(IsWindow(g_hWnd));
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(0u, msg.wParam);
}

// --- real key input through the message loop --------------------------------

// Runs the message loop while another thread types; returns the loop's exit code.
// The helper ends the loop by force if the typing did not.
int LoopWhileTyping(const std::function<void()> &type, bool *endedByKeys)
{
    DWORD dwThread = GetCurrentThreadId();
    std::atomic<bool> forced{false};
    std::thread helper([&] {
        type();
        if (!WaitGone(g_hWnd, 5000)) {
            forced = true;
            PostThreadMessageW(dwThread, WM_QUIT, 99, 0);
        }
    });
    int rc = RunMessageLoop(GetModuleHandleW(nullptr));
    helper.join();
    *endedByKeys = !forced;
    return rc;
}

// Types the chord and tells whether the About box came up; closes it with Escape.
bool AboutOpensOn(std::initializer_list<WORD> keys)
{
    PressChord(keys);
    HWND hAbout = WaitForWindow(L"#32770", L"About KORMANTH", 3000);
    if (!hAbout)
        return false;
    PressChord({VK_ESCAPE});
    return WaitGone(hAbout, 3000);
}

TEST_F(MainWindow, KeysOpenAboutAndExitThroughTheLoop)
{
    Start(ConfigOf({"Alpha"}));
    SetForegroundWindow(g_hWnd);
    bool aboutOnQuestionMark = false, aboutOnSlash = false, aboutFromTable = false;
    bool ended = false;
    int rc = LoopWhileTyping(
        [&] {
            aboutOnQuestionMark = AboutOpensOn({VK_MENU, VK_SHIFT, VK_OEM_2});
            aboutOnSlash = AboutOpensOn({VK_MENU, VK_OEM_2});
            // With the table focused the keys reach the table first.
            PostMessageW(g_hwndList, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(200, 60));
            PostMessageW(g_hwndList, WM_LBUTTONUP, 0, MAKELPARAM(200, 60));
            Sleep(200);
            aboutFromTable = AboutOpensOn({VK_MENU, VK_SHIFT, VK_OEM_2});
            // File > Exit from the keyboard.
            PressChord({VK_MENU, 'F'});
            WaitForWindow(L"#32768", nullptr, 3000);  // the menu's popup
            PressChord({'X'});
        },
        &ended);
    EXPECT_TRUE(aboutOnQuestionMark);
    EXPECT_TRUE(aboutOnSlash);
    EXPECT_TRUE(aboutFromTable);
    EXPECT_TRUE(ended);
    EXPECT_EQ(0, rc);
    EXPECT_FALSE(IsWindow(g_hWnd));
}

TEST_F(MainWindow, CloseItemOfTheSystemMenuEndsTheLoop)
{
    Start(ConfigOf({"Alpha"}));
    SetForegroundWindow(g_hWnd);
    bool ended = false;
    int rc = LoopWhileTyping(
        [] {
            PressChord({VK_MENU, VK_SPACE});
            WaitForWindow(L"#32768", nullptr, 3000);  // the system menu's popup
            PressChord({'C'});
        },
        &ended);
    EXPECT_TRUE(ended);
    EXPECT_EQ(0, rc);
}

}  // namespace
