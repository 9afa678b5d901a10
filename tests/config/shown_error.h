// What a call showed the user as a configuration error, the same text on both
// builds: "caption: text\n". On Windows the message box is modal, so a second
// thread reads and answers it; elsewhere the text goes to standard error.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include <thread>
#endif

inline std::string ShownError(const std::function<void()> &call)
{
#ifdef _WIN32
    std::string shown;
    std::atomic<bool> done{false};
    std::thread answer([&] {
        for (int tries = 0; tries < 200 && !done; tries++) {
            HWND box = FindWindowW(nullptr, L"ERROR");
            if (box) {
                wchar_t caption[64], text[4096];
                GetWindowTextW(box, caption, 64);
                GetDlgItemTextW(box, 0xFFFF, text, 4096);
                // The texts are ASCII.
                for (const wchar_t *p = caption; *p; p++)
                    shown += static_cast<char>(*p);
                shown += ": ";
                for (const wchar_t *p = text; *p; p++)
                    shown += static_cast<char>(*p);
                shown += "\n";
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(50);
        }
    });
    call();
    done = true;
    answer.join();
    return shown;
#else
    ::testing::internal::CaptureStderr();
    call();
    return ::testing::internal::GetCapturedStderr();
#endif
}
