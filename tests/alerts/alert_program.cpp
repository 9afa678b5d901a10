// The program an alert starts in the tests and the benchmark. It writes, to
// alert-PID.txt in its working folder, the time it started (microseconds of
// the wall clock since 1970, "started=...") and every entry of its environment
// that starts with VELLARY_ or ALERT_TEST_, as UTF-8, one a line; its command
// line's words after the first, if any, as "argument=...". Then it runs on for
// as long as a file "hold" is in that folder (at most a minute).
#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
extern char **environ;
#endif

namespace {

std::vector<std::string> Environment()
{
    std::vector<std::string> entries;
#ifdef _WIN32
    wchar_t *block = GetEnvironmentStringsW();
    for (const wchar_t *p = block; p && *p; p += wcslen(p) + 1) {
        char utf8[4096];
        int n = WideCharToMultiByte(CP_UTF8, 0, p, -1, utf8, sizeof utf8, nullptr, nullptr);
        if (n > 0)
            entries.emplace_back(utf8);
    }
    FreeEnvironmentStringsW(block);
#else
    for (char **e = environ; e && *e; e++)
        entries.emplace_back(*e);
#endif
    return entries;
}

long Pid()
{
#ifdef _WIN32
    return static_cast<long>(GetCurrentProcessId());
#else
    return static_cast<long>(getpid());
#endif
}

}  // namespace

int main(int argc, char **argv)
{
    auto started = std::chrono::system_clock::now();
    std::string text =
        "started=" +
        std::to_string(std::chrono::duration_cast<std::chrono::microseconds>(started.time_since_epoch()).count()) +
        "\n";
    for (const std::string &entry : Environment())
        if (entry.rfind("VELLARY_", 0) == 0 || entry.rfind("ALERT_TEST_", 0) == 0)
            text += entry + "\n";
    for (int k = 1; k < argc; k++)
        text += std::string("argument=") + argv[k] + "\n";
    std::string name = "alert-" + std::to_string(Pid());
    // Whole or not at all, for a reader that waits for the file.
    FILE *f = fopen((name + ".tmp").c_str(), "wb");
    if (!f)
        return 1;
    fwrite(text.data(), 1, text.size(), f);
    fclose(f);
    std::error_code ec;
    std::filesystem::rename(name + ".tmp", name + ".txt", ec);
    for (int k = 0; k < 3000 && std::filesystem::exists("hold", ec); k++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return 0;
}
