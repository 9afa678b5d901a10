#include <winsock2.h>
#include <ws2tcpip.h>

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
    WSADATA wsaData;
    return WSAStartup(MAKEWORD(2, 2), &wsaData) == 0;
}

void NetCleanup()
{
    WSACleanup();
}

bool UdpSocket::Open()
{
    Close();
    SOCKET s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return false;
    handle_ = static_cast<uintptr_t>(s);
    open_ = true;
    return true;
}

bool UdpSocket::Bind(uint32_t addr, uint16_t port)
{
    sockaddr_in sa = MakeAddress(addr, port);
    return open_ && bind(static_cast<SOCKET>(handle_), reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
}

bool UdpSocket::Connect(uint32_t addr, uint16_t port)
{
    sockaddr_in sa = MakeAddress(addr, port);
    return open_ && connect(static_cast<SOCKET>(handle_), reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0;
}

bool UdpSocket::Send(const uint8_t *data, size_t size)
{
    if (!open_ || size > 0x7FFFFFFF)
        return false;
    int sent = send(static_cast<SOCKET>(handle_), reinterpret_cast<const char *>(data), static_cast<int>(size), 0);
    return sent != SOCKET_ERROR && static_cast<size_t>(sent) == size;
}

bool UdpSocket::SendTo(const uint8_t *data, size_t size, uint32_t addr, uint16_t port)
{
    if (!open_ || size > 0x7FFFFFFF)
        return false;
    sockaddr_in sa = MakeAddress(addr, port);
    int sent = sendto(static_cast<SOCKET>(handle_), reinterpret_cast<const char *>(data), static_cast<int>(size), 0,
                      reinterpret_cast<sockaddr *>(&sa), sizeof sa);
    return sent != SOCKET_ERROR && static_cast<size_t>(sent) == size;
}

int UdpSocket::Wait(int timeoutMs)
{
    if (!open_)
        return -1;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(static_cast<SOCKET>(handle_), &readable);
    timeval tv = {timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int n = select(0, &readable, nullptr, nullptr, &tv);
    if (n == SOCKET_ERROR)
        return -1;
    return n > 0 ? 1 : 0;
}

long UdpSocket::RecvFrom(uint8_t *buf, size_t cap, uint32_t *addr, uint16_t *port)
{
    if (!open_)
        return -1;
    sockaddr_in sa;
    int salen = sizeof sa;
    memset(&sa, 0, sizeof sa);
    int capInt = cap > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(cap);
    int n = recvfrom(static_cast<SOCKET>(handle_), reinterpret_cast<char *>(buf), capInt, 0,
                     reinterpret_cast<sockaddr *>(&sa), &salen);
    // WSAECONNRESET here is an ICMP unreachable, WSAEMSGSIZE a datagram cut short.
    if (n == SOCKET_ERROR || sa.sin_family != AF_INET)
        return -1;
    *addr = ntohl(sa.sin_addr.s_addr);
    *port = ntohs(sa.sin_port);
    return n;
}

bool UdpSocket::LocalAddress(uint32_t *addr, uint16_t *port)
{
    sockaddr_in sa;
    int salen = sizeof sa;
    if (!open_ || getsockname(static_cast<SOCKET>(handle_), reinterpret_cast<sockaddr *>(&sa), &salen) != 0)
        return false;
    *addr = ntohl(sa.sin_addr.s_addr);
    *port = ntohs(sa.sin_port);
    return true;
}

void UdpSocket::Close()
{
    if (open_)
        closesocket(static_cast<SOCKET>(handle_));
    open_ = false;
    handle_ = 0;
}

}  // namespace net
}  // namespace vsnmp
