#include "tests/snmp/refusals.h"

#include <atomic>
#include <cstdlib>
#include <new>

#include "snmp/system.h"

namespace {

std::atomic<unsigned> g_refusals{0};

bool Refused(unsigned what)
{
    return (g_refusals.load() & what) != 0;
}

}  // namespace

void SetRefusals(unsigned refusals)
{
    g_refusals = refusals;
}

namespace vsnmp {
namespace sys {

bool StartNetwork()
{
    return !Refused(REFUSE_STARTUP) && net::NetStartup();
}

bool SendDatagram(net::UdpSocket &socket, const uint8_t *data, size_t size)
{
    return !Refused(REFUSE_SEND) && socket.Send(data, size);
}

bool StartThread(std::thread *thread, void (*body)(void *), void *arg)
{
    if (Refused(REFUSE_THREAD))
        return false;
    *thread = std::thread(body, arg);
    return true;
}

}  // namespace sys
}  // namespace vsnmp

// Every allocation of the program comes here, so a refusal reaches whatever the
// stack allocates; everything else is malloc and free as usual.
void *operator new(std::size_t size)
{
    void *p = Refused(REFUSE_MEMORY) ? nullptr : std::malloc(size > 0 ? size : 1);
    if (!p)
        throw std::bad_alloc();
    return p;
}

void operator delete(void *p) noexcept
{
    std::free(p);
}

void operator delete(void *p, std::size_t) noexcept
{
    std::free(p);
}
