#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "snmp/udp.h"

namespace vsnmp {
namespace net {

namespace {

sockaddr_in MakeAddress(uint32_t addr, uint16_t port)
{
    sockaddr_in sa;
    memset(&sa, 0, sizeof sa);
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(addr);
    sa.sin_port = htons(port);
    return sa;
}

}  // namespace

bool NetStartup()
{
    return true;
}

void NetCleanup()
{
}

bool UdpSocket::Open()
{
    Close();
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    handle_ = static_cast<uintptr_t>(fd);
    open_ = true;
    return true;
}

bool UdpSocket::Bind(uint32_t addr, uint16_t port)
{
    sockaddr_in sa = MakeAddress(addr, port);
    return open_ && bind(static_cast<int>(handle_), reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
}

bool UdpSocket::Connect(uint32_t addr, uint16_t port)
{
    sockaddr_in sa = MakeAddress(addr, port);
    return open_ && connect(static_cast<int>(handle_), reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
}

bool UdpSocket::Send(const uint8_t *data, size_t size)
{
    if (!open_)
        return false;
    ssize_t sent = send(static_cast<int>(handle_), data, size, MSG_NOSIGNAL);
    return sent >= 0 && static_cast<size_t>(sent) == size;
}

bool UdpSocket::SendTo(const uint8_t *data, size_t size, uint32_t addr, uint16_t port)
{
    if (!open_)
        return false;
    sockaddr_in sa = MakeAddress(addr, port);
    ssize_t sent = sendto(static_cast<int>(handle_), data, size, MSG_NOSIGNAL, reinterpret_cast<sockaddr *>(&sa),
                          sizeof sa);
    return sent >= 0 && static_cast<size_t>(sent) == size;
}

int UdpSocket::Wait(int timeoutMs)
{
    if (!open_)
        return -1;
    pollfd pfd = {static_cast<int>(handle_), POLLIN, 0};
    int n = poll(&pfd, 1, timeoutMs);
    if (n < 0)
        return errno == EINTR ? 0 : -1;
    return n > 0 ? 1 : 0;
}

long UdpSocket::RecvFrom(uint8_t *buf, size_t cap, uint32_t *addr, uint16_t *port)
{
    if (!open_)
        return -1;
    sockaddr_in sa;
    socklen_t salen = sizeof sa;
    memset(&sa, 0, sizeof sa);
    ssize_t n = recvfrom(static_cast<int>(handle_), buf, cap, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&sa),
                         &salen);
    if (n < 0 || sa.sin_family != AF_INET)
        return -1;
    *addr = ntohl(sa.sin_addr.s_addr);
    *port = ntohs(sa.sin_port);
    return static_cast<long>(n);
}

bool UdpSocket::LocalAddress(uint32_t *addr, uint16_t *port)
{
    sockaddr_in sa;
    socklen_t salen = sizeof sa;
    if (!open_ || getsockname(static_cast<int>(handle_), reinterpret_cast<sockaddr *>(&sa), &salen) != 0)
        return false;
    *addr = ntohl(sa.sin_addr.s_addr);
    *port = ntohs(sa.sin_port);
    return true;
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
