// Prints what Wine's notification area shows (window_probe.h's TrayTexts), one
// text a line as UTF-8, each line break in a text written as \n. For the alerts
// run, which reads the program's tray from outside it.
#include <windows.h>

#include <cstdio>
#include <string>

#include "tests/app/window_probe.h"

int main()
{
    for (const std::wstring &text : TrayTexts()) {
        std::wstring line;
        for (wchar_t c : text)
            line += c == L'\n' ? std::wstring(L"\\n") : std::wstring(1, c);
        char utf8[4096];
        if (WideCharToMultiByte(CP_UTF8, 0, line.c_str(), -1, utf8, sizeof utf8, nullptr, nullptr) > 0)
            printf("%s\n", utf8);
    }
    return 0;
}
