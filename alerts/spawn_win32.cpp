#include <windows.h>

#include <cwchar>
#include <vector>

#include "alerts/spawn.h"
#include "config/settings.h"
#include "config/utf8.h"
#include "records/diskfile.h"

namespace {

// Whether the entry at p ("NAME=value") sets a name of ours; names are told
// apart in any case, as Windows does.
bool Replaced(const wchar_t *p, const wchar_t (*ours)[ALERT_ENV_CHARS])
{
    for (int k = 0; k < ALERT_ENV_VARS; k++) {
        size_t name = wcscspn(ours[k], L"=") + 1;
        if (_wcsnicmp(p, ours[k], name) == 0)
            return true;
    }
    return false;
}

// This process's environment with ours in place of any of the same names, as
// CreateProcessW takes it: zero-ended entries, then one more zero. Its size is
// the environment's, so it is not a fixed buffer.
std::vector<wchar_t> EnvironmentBlock(const AlertEnvironment &env)
{
    static wchar_t ours[ALERT_ENV_VARS][ALERT_ENV_CHARS];
    for (int k = 0; k < ALERT_ENV_VARS; k++)
        WidenText(env.entries[k], strlen(env.entries[k]), ours[k], ALERT_ENV_CHARS, ALERT_ENV_CHARS);
    std::vector<wchar_t> block;
    wchar_t *current = GetEnvironmentStringsW();
    for (const wchar_t *p = current; p && *p; p += wcslen(p) + 1)
        if (!Replaced(p, ours))
            block.insert(block.end(), p, p + wcslen(p) + 1);
    if (current)
        FreeEnvironmentStringsW(current);
    for (const wchar_t *entry : ours)
        block.insert(block.end(), entry, entry + wcslen(entry) + 1);
    block.push_back(L'\0');
    return block;
}

}  // namespace

int StartChild(const char *path, const AlertEnvironment &env, ChildProcess *child)
{
    static wchar_t wide[SETTINGS_VALUE_CHARS];
    static wchar_t application[MAX_PATH + 16];
    static wchar_t commandLine[SETTINGS_VALUE_CHARS + 32];
    if (!WideFileName(path, wide, SETTINGS_VALUE_CHARS))
        return 0;
    const wchar_t *program = wide;
    commandLine[0] = L'\0';
    if (IsBatchFile(path)) {
        // cmd.exe would start and only say so on its console: the log must.
        if (GetFileAttributesW(wide) == INVALID_FILE_ATTRIBUTES)
            return 0;
        UINT n = GetSystemDirectoryW(application, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return 0;
        wcscat(application, L"\\cmd.exe");
        program = application;
        // cmd.exe takes off the outer pair of quotes and keeps the inner.
        wcscat(commandLine, L"cmd.exe /c \"");
    }
    wcscat(commandLine, L"\"");
    wcscat(commandLine, wide);
    wcscat(commandLine, program == wide ? L"\"" : L"\"\"");

    std::vector<wchar_t> block = EnvironmentBlock(env);
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    // No console window for cmd.exe: an alert at night should not put one in
    // front of the user. A program with windows of its own still shows them.
    if (!CreateProcessW(program, commandLine, nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT | CREATE_NO_WINDOW,
                        block.data(), nullptr, &si, &pi))
        return 0;
    CloseHandle(pi.hThread);
    *child = reinterpret_cast<ChildProcess>(pi.hProcess);
    return 1;
}

int ChildEnded(ChildProcess child)
{
    HANDLE h = reinterpret_cast<HANDLE>(child);
    if (WaitForSingleObject(h, 0) == WAIT_TIMEOUT)
        return 0;
    CloseHandle(h);
    return 1;
}

void ReleaseChild(ChildProcess child) { CloseHandle(reinterpret_cast<HANDLE>(child)); }
