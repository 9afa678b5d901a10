// The socket calls both platforms share, and the IPv4 text rule.
#include "snmp/udp.h"

#include "snmp/sockets.h"

namespace vsnmp {
namespace net {

namespace {

sockaddr_in MakeAddress(uint32_t addr, uint16_t port)
{
    sockaddr_in sa = {};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(addr);
    sa.sin_port = htons(port);
    return sa;
}

inline SocketFd Fd(uintptr_t handle)
{
    return static_cast<SocketFd>(handle);
}

const size_t kMaxIo = 0x7FFFFFFF;

}  // namespace

bool UdpSocket::Open()
{
    Close();
    SocketFd fd = OpenUdp();
    if (fd == kNoSocket)
        return false;
    handle_ = static_cast<uintptr_t>(fd);
    open_ = true;
    return true;
}

bool UdpSocket::Bind(uint32_t addr, uint16_t port)
{
    sockaddr_in sa = MakeAddress(addr, port);
    return open_ && bind(Fd(handle_), reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0 && WatchReads();
}

bool UdpSocket::Connect(uint32_t addr, uint16_t port)
{
    sockaddr_in sa = MakeAddress(addr, port);
    return open_ && connect(Fd(handle_), reinterpret_cast<sockaddr *>(&sa), sizeof sa) == 0 && WatchReads();
}

bool UdpSocket::Send(const uint8_t *data, size_t size)
{
    if (!open_ || size > kMaxIo)
        return false;
    auto sent = send(Fd(handle_), reinterpret_cast<const char *>(data), static_cast<IoLen>(size), 0);
    return sent >= 0 && static_cast<size_t>(sent) == size;
}

bool UdpSocket::SendTo(const uint8_t *data, size_t size, uint32_t addr, uint16_t port)
{
    if (!open_ || size > kMaxIo)
        return false;
    sockaddr_in sa = MakeAddress(addr, port);
    auto sent = sendto(Fd(handle_), reinterpret_cast<const char *>(data), static_cast<IoLen>(size), 0,
                       reinterpret_cast<sockaddr *>(&sa), sizeof sa);
    return sent >= 0 && static_cast<size_t>(sent) == size;
}

long UdpSocket::Receive(uint8_t *buf, size_t cap, uint32_t *addr, uint16_t *port)
{
    if (!open_)
        return RECV_ERROR;
    sockaddr_in sa = {};
    SockLen salen = sizeof sa;
    auto n = recvfrom(Fd(handle_), reinterpret_cast<char *>(buf), static_cast<IoLen>(cap > kMaxIo ? kMaxIo : cap),
                      kRecvFlags, reinterpret_cast<sockaddr *>(&sa), &salen);
    if (n < 0)
        return LastCallWouldBlock() ? RECV_NOTHING : RECV_ERROR;
    if (sa.sin_family != AF_INET)
        return RECV_ERROR;
    *addr = ntohl(sa.sin_addr.s_addr);
    *port = ntohs(sa.sin_port);
    return static_cast<long>(n);
}

bool UdpSocket::LocalAddress(uint32_t *addr, uint16_t *port)
{
    sockaddr_in sa;
    SockLen salen = sizeof sa;
    if (!open_ || getsockname(Fd(handle_), reinterpret_cast<sockaddr *>(&sa), &salen) != 0)
        return false;
    *addr = ntohl(sa.sin_addr.s_addr);
    *port = ntohs(sa.sin_port);
    return true;
}

namespace {

template <typename Char>
bool ParseDotted(const Char *text, uint32_t *addr)
{
    uint32_t value = 0;
    for (int part = 0; text && part < 4; part++) {
        if (part > 0 && *text++ != '.')
            return false;
        unsigned n = 0;
        int digits = 0;
        for (; *text >= '0' && *text <= '9' && digits < 4; text++, digits++)
            n = n * 10 + static_cast<unsigned>(*text - '0');
        if (digits == 0 || digits > 3 || n > 255 || (digits > 1 && text[-digits] == '0'))
            return false;
        value = (value << 8) | n;
    }
    if (!text || *text != '\0')
        return false;
    *addr = value;
    return true;
}

}  // namespace

bool ParseIPv4(const char *text, uint32_t *addr)
{
    return ParseDotted(text, addr);
}

bool ParseIPv4(const wchar_t *text, uint32_t *addr)
{
    return ParseDotted(text, addr);
}

}  // namespace net
}  // namespace vsnmp
