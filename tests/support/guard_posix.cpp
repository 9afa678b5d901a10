#include <sys/mman.h>
#include <unistd.h>

#include "tests/support/guard.h"

GuardedBuffer::GuardedBuffer(size_t capacity)
{
    page_ = static_cast<size_t>(sysconf(_SC_PAGESIZE));
    accessible_ = (capacity + page_ - 1) / page_ * page_;
    void *p = mmap(nullptr, accessible_ + page_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED)
        return;
    if (mprotect(static_cast<uint8_t *>(p) + accessible_, page_, PROT_NONE) != 0) {
        munmap(p, accessible_ + page_);
        return;
    }
    base_ = static_cast<uint8_t *>(p);
}

GuardedBuffer::~GuardedBuffer()
{
    if (base_)
        munmap(base_, accessible_ + page_);
}
