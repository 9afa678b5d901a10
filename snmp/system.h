// What the stack asks of the system that the system may refuse. Tests link a
// file of their own in place of system.cpp to refuse on demand.
#pragma once

#include <thread>

#include "snmp/udp.h"

namespace vsnmp {
namespace sys {

bool StartNetwork();
bool SendDatagram(net::UdpSocket &socket, const uint8_t *data, size_t size);
// false, with *thread untouched, when no thread can be had.
bool StartThread(std::thread *thread, void (*body)(void *), void *arg);

}  // namespace sys
}  // namespace vsnmp
