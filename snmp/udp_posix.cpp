// BSD sockets, and an eventfd to end a receiver's wait.
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>

#include "snmp/sockets.h"
#include "snmp/udp.h"

namespace vsnmp {
namespace net {

bool NetStartup()
{
    return true;
}

void NetCleanup()
{
}

StopSignal::~StopSignal()
{
    if (open_)
        close(static_cast<int>(handle_));
}

bool StopSignal::Open()
{
    if (open_)
        return true;
    int fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0)
        return false;
    handle_ = static_cast<uintptr_t>(fd);
    open_ = true;
    return true;
}

void StopSignal::Raise()
{
    uint64_t one = 1;
    if (open_ && write(static_cast<int>(handle_), &one, sizeof one) < 0) {
        // Only a counter at its limit refuses, and then it is raised already.
    }
}

bool UdpSocket::WatchReads()
{
    return true;
}

int UdpSocket::Wait(StopSignal *stop, int timeoutMs)
{
    if (!open_ || (stop && !stop->open_))
        return -1;
    pollfd pfd[2] = {{static_cast<int>(handle_), POLLIN, 0}, {stop ? static_cast<int>(stop->handle_) : -1, POLLIN, 0}};
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    int n;
    // A signal is no reason to stop: wait again for what is left of the time.
    while ((n = poll(pfd, stop ? 2 : 1, timeoutMs)) < 0 && errno == EINTR) {
        if (timeoutMs > 0) {
            auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            timeoutMs = left.count() > 0 ? static_cast<int>(left.count()) : 0;
        }
    }
    if (n < 0)
        return -1;
    return n > 0 && pfd[0].revents != 0 && (!stop || pfd[1].revents == 0) ? 1 : 0;
}

void UdpSocket::Close()
{
    if (open_)
        close(static_cast<int>(handle_));
    open_ = false;
    handle_ = 0;
}

}  // namespace net
}  // namespace vsnmp
