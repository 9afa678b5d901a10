// UDP over IPv4, the one thing the stack needs from the platform: Winsock on
// Windows, BSD sockets elsewhere. Addresses and ports are in host byte order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace vsnmp {
namespace net {

// Winsock's start-up and clean-up (counted by the system); nothing elsewhere.
bool NetStartup();
void NetCleanup();

// An owned UDP socket; closed when it goes out of scope.
class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket() { Close(); }
    UdpSocket(const UdpSocket &) = delete;
    UdpSocket &operator=(const UdpSocket &) = delete;

    bool Open();
    bool Bind(uint32_t addr, uint16_t port);
    // From now on only datagrams from addr:port are received.
    bool Connect(uint32_t addr, uint16_t port);
    // One datagram to the connected peer; true when all of it was handed over.
    bool Send(const uint8_t *data, size_t size);
    bool SendTo(const uint8_t *data, size_t size, uint32_t addr, uint16_t port);
    // 1 when a datagram (or an error) is waiting, 0 after timeoutMs, -1 on failure.
    int Wait(int timeoutMs);
    // The next datagram into buf, with its source; returns its size, or -1 for
    // an error reported instead of a datagram (such as an ICMP unreachable).
    long RecvFrom(uint8_t *buf, size_t cap, uint32_t *addr, uint16_t *port);
    bool LocalAddress(uint32_t *addr, uint16_t *port);
    void Close();
    bool IsOpen() const { return open_; }

private:
    uintptr_t handle_ = 0;
    bool open_ = false;
};

}  // namespace net
}  // namespace vsnmp
