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

// Ends a receiver's wait from another thread: an eventfd on Linux, an event
// object on Windows. Closed when it goes out of scope.
class StopSignal {
public:
    StopSignal() = default;
    ~StopSignal();
    StopSignal(const StopSignal &) = delete;
    StopSignal &operator=(const StopSignal &) = delete;

    bool Open();
    void Raise();

private:
    friend class UdpSocket;
    uintptr_t handle_ = 0;
    bool open_ = false;
};

const long RECV_NOTHING = -1;  // no datagram is waiting
const long RECV_ERROR = -2;    // an error came instead of a datagram (an ICMP unreachable)

// An owned UDP socket; closed when it goes out of scope.
class UdpSocket {
public:
    UdpSocket() = default;
    ~UdpSocket() { Close(); }
    UdpSocket(const UdpSocket &) = delete;
    UdpSocket &operator=(const UdpSocket &) = delete;

    bool Open();
    // Bind and Connect also make the socket ready for Wait (on Windows an event
    // object, and the socket non-blocking), and fail when it cannot be.
    bool Bind(uint32_t addr, uint16_t port);
    // From now on only datagrams from addr:port are received.
    bool Connect(uint32_t addr, uint16_t port);
    // One datagram to the connected peer; true when all of it was handed over.
    bool Send(const uint8_t *data, size_t size);
    bool SendTo(const uint8_t *data, size_t size, uint32_t addr, uint16_t port);
    // Waits until a datagram (or an error) is waiting, stop (if any) is raised,
    // or timeoutMs pass (-1: no time-out): 1 for a datagram, 0 when stopped (also
    // when a datagram waits too) or timed out, -1 on failure. A signal that
    // interrupts the wait does not end it.
    int Wait(StopSignal *stop, int timeoutMs);
    // The next waiting datagram into buf, with its source, without blocking:
    // its size, RECV_NOTHING or RECV_ERROR.
    long Receive(uint8_t *buf, size_t cap, uint32_t *addr, uint16_t *port);
    bool LocalAddress(uint32_t *addr, uint16_t *port);
    void Close();

private:
    bool WatchReads();

    uintptr_t handle_ = 0;
    uintptr_t readEvent_ = 0;  // Windows: signalled when a datagram arrives
    bool open_ = false;
};

// Dotted-decimal IPv4, the one rule for every address text of the program: four
// parts of 1 to 3 ASCII digits, each at most 255, no leading zeros, nothing
// before or after. Returns false, addr untouched, for anything else.
bool ParseIPv4(const char *text, uint32_t *addr);
bool ParseIPv4(const wchar_t *text, uint32_t *addr);

}  // namespace net
}  // namespace vsnmp
