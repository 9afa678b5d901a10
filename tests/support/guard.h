// Memory that ends where an inaccessible page begins, for the decoders' tests:
// bytes placed at its end have no readable byte after them, so a read one past
// them faults on every build, under Wine too, where no sanitizer runs. mmap
// with a PROT_NONE page natively, VirtualAlloc with a PAGE_NOACCESS page on
// Windows (guard_posix.cpp, guard_win32.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

class GuardedBuffer {
public:
    explicit GuardedBuffer(size_t capacity = 65536);
    ~GuardedBuffer();
    GuardedBuffer(const GuardedBuffer &) = delete;
    GuardedBuffer &operator=(const GuardedBuffer &) = delete;

    // False when the pages could not be had or protected.
    bool Ok() const { return base_ != nullptr; }

    // A copy of bytes that ends flush against the inaccessible page, or null
    // when it does not fit. Valid until the next Place.
    const uint8_t *Place(const std::string &bytes)
    {
        if (!base_ || bytes.size() > accessible_)
            return nullptr;
        uint8_t *at = base_ + accessible_ - bytes.size();
        if (!bytes.empty())
            memcpy(at, bytes.data(), bytes.size());
        return at;
    }

private:
    uint8_t *base_ = nullptr;  // accessible_ bytes, then the page that is not
    size_t accessible_ = 0;
    size_t page_ = 0;
};
