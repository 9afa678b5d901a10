#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "tests/support/procstat.h"

namespace {

// Wine's GetProcessHandleCount always says 0, so our own handles are counted by
// asking after each handle value in turn: handles are multiples of 4, handed out
// lowest first, so a long run of free values means the table has ended. Asking the
// system for every process's handles instead made Wine 8's wineserver read past a
// handle table and crash, now and then, while other programs ran beside the tests.
const ULONG_PTR kHandleStep = 4;
const ULONG_PTR kFreeRunEnd = 1024;  // free values in a row after the last handle
// The type name of one of our own handles ("Event", "File", ...).
void HandleTypeName(HANDLE handle, char *name, size_t cch)
{
    // OBJECT_TYPE_INFORMATION starts with the name as a UNICODE_STRING.
    alignas(8) unsigned char info[1024];
    ULONG cbInfo = 0;
    snprintf(name, cch, "?");
    if (NtQueryObject(handle, static_cast<OBJECT_INFORMATION_CLASS>(2), info, sizeof info, &cbInfo) != 0)
        return;
    const auto *typeName = reinterpret_cast<const UNICODE_STRING *>(info);
    size_t len = typeName->Length / sizeof(wchar_t);
    if (len >= cch)
        len = cch - 1;
    for (size_t i = 0; i < len; i++)
        name[i] = static_cast<char>(typeName->Buffer[i] < 0x80 ? typeName->Buffer[i] : '?');
    name[len] = '\0';
}

struct TypeCount {
    char name[32];
    int count;
};

long CountHandles(char *types, size_t cchTypes)
{
    long count = 0;
    std::vector<TypeCount> byType;
    ULONG_PTR lastSeen = 0;
    for (ULONG_PTR value = kHandleStep; value - lastSeen <= kFreeRunEnd * kHandleStep; value += kHandleStep) {
        HANDLE handle = reinterpret_cast<HANDLE>(value);
        DWORD flags = 0;
        if (!GetHandleInformation(handle, &flags))
            continue;
        lastSeen = value;
        count++;
        TypeCount tc = {};
        HandleTypeName(handle, tc.name, sizeof tc.name);
        auto it = std::find_if(byType.begin(), byType.end(),
                               [&tc](const TypeCount &t) { return strcmp(t.name, tc.name) == 0; });
        if (it != byType.end()) {
            it->count++;
        } else {
            tc.count = 1;
            byType.push_back(tc);
        }
    }
    std::sort(byType.begin(), byType.end(),
              [](const TypeCount &a, const TypeCount &b) { return strcmp(a.name, b.name) < 0; });
    size_t used = 0;
    types[0] = '\0';
    for (const TypeCount &t : byType) {
        int n = snprintf(types + used, cchTypes - used, "%s%s:%d", used ? "," : "", t.name, t.count);
        if (n < 0 || static_cast<size_t>(n) >= cchTypes - used)
            break;
        used += static_cast<size_t>(n);
    }
    return count;
}

long CountThreads()
{
    HANDLE hSnap = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (hSnap == INVALID_HANDLE_VALUE)
        return -1;
    THREADENTRY32 te;
    te.dwSize = sizeof te;
    long count = 0;
    for (BOOL ok = Thread32First(hSnap, &te); ok; ok = Thread32Next(hSnap, &te)) {
        if (te.th32OwnerProcessID == GetCurrentProcessId())
            count++;
    }
    CloseHandle(hSnap);
    return count;
}

long long HeapBytesInUse()
{
    HANDLE heaps[64];
    DWORD cHeaps = GetProcessHeaps(64, heaps);
    long long total = 0;
    for (DWORD i = 0; i < cHeaps && i < 64; i++) {
        PROCESS_HEAP_ENTRY entry = {};
        HeapLock(heaps[i]);
        while (HeapWalk(heaps[i], &entry)) {
            if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY)
                total += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return total;
}

// Under Wine the Linux side of this process is visible through Z:.
long HostFds()
{
    WIN32_FIND_DATAW fd;
    HANDLE hFind = FindFirstFileW(L"Z:\\proc\\self\\fd\\*", &fd);
    if (hFind == INVALID_HANDLE_VALUE)
        return -1;
    long count = 0;
    do {
        if (fd.cFileName[0] != L'.')
            count++;
    } while (FindNextFileW(hFind, &fd));
    FindClose(hFind);
    return count;
}

}  // namespace

void ReadProcStat(ProcStat *stat)
{
    stat->handles = CountHandles(stat->handleTypes, sizeof stat->handleTypes);
    stat->threads = CountThreads();
    PROCESS_MEMORY_COUNTERS pmc = {};
    pmc.cb = sizeof pmc;
    stat->rssKb = GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc)
                      ? static_cast<long>(pmc.WorkingSetSize / 1024)
                      : -1;
    stat->heapBytes = HeapBytesInUse();
    stat->hostFds = HostFds();
}
