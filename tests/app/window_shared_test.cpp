// The status image list and the About box, on this program's own resources.
#include "app/window_shared.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>

#include "res/resource.h"
#include "version.h"
#include "tests/app/window_probe.h"
#include "tests/support/dib.h"

namespace {

const Rgb kRed = {255, 0, 0};
const Rgb kGreen = {0, 255, 0};
const Rgb kYellow = {255, 255, 0};

TEST(StatusImages, RedGreenYellowAt20By20)
{
    BuildStatusImages(GetModuleHandleW(nullptr));
    ASSERT_NE(nullptr, g_hImageList);
    ASSERT_EQ(3, ImageList_GetImageCount(g_hImageList));
    int cx = 0, cy = 0;
    ASSERT_TRUE(ImageList_GetIconSize(g_hImageList, &cx, &cy));
    EXPECT_EQ(20, cx);
    EXPECT_EQ(20, cy);

    const Rgb expected[] = {kRed, kGreen, kYellow};
    // Over two backgrounds: a pixel the mask left transparent shows one of them.
    const Rgb backgrounds[] = {{0, 0, 0}, {255, 0, 255}};
    for (int i = 0; i < 3; i++) {
        for (const Rgb &bg : backgrounds) {
            SCOPED_TRACE(testing::Message() << "image " << i << " over " << bg);
            Dib dib(20, 20);
            ASSERT_TRUE(dib.Valid());
            dib.Fill(bg);
            ASSERT_TRUE(ImageList_Draw(g_hImageList, i, dib.Dc(), 0, 0, ILD_NORMAL));
            int wrong = 0;
            for (int y = 0; y < 20; y++)
                for (int x = 0; x < 20; x++)
                    wrong += !(expected[i] == dib.At(x, y));
            EXPECT_EQ(0, wrong) << "first pixel " << dib.At(0, 0) << ", centre " << dib.At(10, 10);
        }
    }
}

// --- About box ---------------------------------------------------------------

BOOL CALLBACK AddChild(HWND hwnd, LPARAM param)
{
    reinterpret_cast<std::vector<HWND> *>(param)->push_back(hwnd);
    return TRUE;
}

void DrainMessages()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageW(&msg);
}

// A modeless instance of the About box, for calling its procedure directly.
class AboutModeless : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_hInst = GetModuleHandleW(nullptr);
        hDlg_ = CreateDialogParamW(g_hInst, MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, AboutDlgProc, 0);
        ASSERT_NE(nullptr, hDlg_);
        ShowWindow(hDlg_, SW_SHOW);
        DrainMessages();
    }
    void TearDown() override
    {
        if (hDlg_)
            DestroyWindow(hDlg_);
        DrainMessages();
    }
    HWND hDlg_ = nullptr;
};

TEST_F(AboutModeless, ShowsOnlyTheVersionLineAndOk)
{
    EXPECT_EQ(L"About KORMANTH", WindowText(hDlg_));
    std::vector<HWND> children;
    EnumChildWindows(hDlg_, AddChild, reinterpret_cast<LPARAM>(&children));
    ASSERT_EQ(2u, children.size());
    EXPECT_EQ(L"Static", ClassOf(children[0]));
    EXPECT_EQ(L"" VELLARY_VERSION_TEXT, WindowText(children[0]));
    EXPECT_EQ(L"Button", ClassOf(children[1]));
    EXPECT_EQ(L"OK", WindowText(children[1]));
    EXPECT_EQ(IDOK, GetDlgCtrlID(children[1]));

    // The system menu offers Close, which the modal tests below use.
    HMENU hSys = GetSystemMenu(hDlg_, FALSE);
    ASSERT_NE(nullptr, hSys);
    UINT state = GetMenuState(hSys, SC_CLOSE, MF_BYCOMMAND);
    ASSERT_NE(UINT(-1), state);
    EXPECT_EQ(0u, state & (MF_GRAYED | MF_DISABLED));
}

TEST_F(AboutModeless, ProcedureResults)
{
    struct Case {
        const char *name;
        UINT message;
        WPARAM wParam;
        INT_PTR result;
        bool ends;
    };
    const Case cases[] = {
        {"init", WM_INITDIALOG, 0, TRUE, false},
        {"other command", WM_COMMAND, IDM_ABOUT, FALSE, false},
        {"command 0", WM_COMMAND, 0, FALSE, false},
        {"OK only in the high word", WM_COMMAND, MAKEWPARAM(0, IDOK), FALSE, false},
        {"close", WM_CLOSE, 0, FALSE, false},
        {"paint", WM_PAINT, 0, FALSE, false},
        {"system command", WM_SYSCOMMAND, SC_CLOSE, FALSE, false},
        {"OK clicked", WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), TRUE, true},
        {"OK with a notification in the high word", WM_COMMAND, MAKEWPARAM(IDOK, 0x1234), TRUE, true},
        {"cancel", WM_COMMAND, IDCANCEL, TRUE, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ShowWindow(hDlg_, SW_SHOW);
        EXPECT_EQ(c.result, AboutDlgProc(hDlg_, c.message, c.wParam, 0));
        // A modeless dialog that was ended is hidden.
        EXPECT_EQ(!c.ends, IsWindowVisible(hDlg_) != FALSE);
    }
}

// Runs the About box modally on this thread while another thread waits for it to
// show and then does act(dialog). Returns the dialog's result; *closed tells whether
// act ended it (the helper ends it by force after some seconds otherwise).
INT_PTR RunModal(const std::function<void(HWND)> &act, bool *closed)
{
    g_hInst = GetModuleHandleW(nullptr);
    DWORD dwThread = GetCurrentThreadId();
    std::atomic<bool> acted{false}, forced{false};
    std::thread helper([&] {
        HWND hDlg = nullptr;
        for (int tries = 0; tries < 500 && !hDlg; tries++) {
            EnumThreadWindows(
                dwThread,
                [](HWND hwnd, LPARAM param) -> BOOL {
                    wchar_t cls[16] = {};
                    GetClassNameW(hwnd, cls, 16);
                    if (std::wstring(cls) == L"#32770" && IsWindowVisible(hwnd)) {
                        *reinterpret_cast<HWND *>(param) = hwnd;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&hDlg));
            if (!hDlg)
                Sleep(10);
        }
        if (!hDlg)
            return;
        act(hDlg);
        acted = true;
        for (int tries = 0; tries < 1000 && IsWindow(hDlg); tries++)
            Sleep(10);
        if (IsWindow(hDlg)) {
            // The modal loop ends on a quit message.
            forced = true;
            PostThreadMessageW(dwThread, WM_QUIT, 0, 0);
        }
    });
    INT_PTR result = DialogBoxParamW(g_hInst, MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, AboutDlgProc, 0);
    helper.join();
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
        ;  // the quit message the loop re-posts, if it was forced
    *closed = acted && !forced;
    return result;
}

TEST(AboutModal, OkEnterEscapeAndCloseEachEndIt)
{
    struct Case {
        const char *name;
        std::function<void(HWND)> act;
        INT_PTR result;
    };
    const Case cases[] = {
        {"OK clicked",
         [](HWND hDlg) {
             HWND hOk = GetDlgItem(hDlg, IDOK);
             PostMessageW(hOk, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
             PostMessageW(hOk, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
         },
         IDOK},
        {"Enter",
         [](HWND hDlg) { PostMessageW(GetDlgItem(hDlg, IDOK), WM_KEYDOWN, VK_RETURN, 0x001C0001); },
         IDOK},
        {"Escape",
         [](HWND hDlg) { PostMessageW(GetDlgItem(hDlg, IDOK), WM_KEYDOWN, VK_ESCAPE, 0x00010001); },
         IDCANCEL},
        {"Close item", [](HWND hDlg) { PostMessageW(hDlg, WM_SYSCOMMAND, SC_CLOSE, 0); }, IDCANCEL},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        bool closed = false;
        EXPECT_EQ(c.result, RunModal(c.act, &closed));
        EXPECT_TRUE(closed);
    }
}

}  // namespace
