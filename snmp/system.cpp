#include "snmp/system.h"

#include <system_error>

bool vsnmp::sys::StartNetwork()
{
    return net::NetStartup();
}

bool vsnmp::sys::SendDatagram(net::UdpSocket &socket, const uint8_t *data, size_t size)
{
    return socket.Send(data, size);
}

bool vsnmp::sys::StartThread(std::thread *thread, void (*body)(void *), void *arg)
{
    try {
        *thread = std::thread(body, arg);
        return true;
    } catch (const std::system_error &) {
        return false;
    }
}
