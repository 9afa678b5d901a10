#include <windows.h>

#include <cstdio>

#include "tests/support/guard.h"

namespace {

// A read past the end is the fault these buffers are there to show: it ends
// the program with a line at once, instead of starting Wine's debugger, whose
// dialog would wait under Xvfb for a click that never comes.
LONG WINAPI EndOnFault(EXCEPTION_POINTERS *info)
{
    fprintf(stderr, "unhandled exception %08lX at %p\n", info->ExceptionRecord->ExceptionCode,
            info->ExceptionRecord->ExceptionAddress);
    fflush(stderr);
    TerminateProcess(GetCurrentProcess(), 3);
    return EXCEPTION_EXECUTE_HANDLER;
}

}  // namespace

GuardedBuffer::GuardedBuffer(size_t capacity)
{
    SetUnhandledExceptionFilter(EndOnFault);
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    page_ = info.dwPageSize;
    accessible_ = (capacity + page_ - 1) / page_ * page_;
    void *p = VirtualAlloc(nullptr, accessible_ + page_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE);
    if (!p)
        return;
    DWORD previous = 0;
    if (!VirtualProtect(static_cast<uint8_t *>(p) + accessible_, page_, PAGE_NOACCESS, &previous)) {
        VirtualFree(p, 0, MEM_RELEASE);
        return;
    }
    base_ = static_cast<uint8_t *>(p);
}

GuardedBuffer::~GuardedBuffer()
{
    if (base_)
        VirtualFree(base_, 0, MEM_RELEASE);
}
