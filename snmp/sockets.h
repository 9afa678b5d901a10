// The BSD socket calls under the names both platforms share; what differs in
// their types is named here once, so the socket code itself is written once.
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
typedef SOCKET SocketFd;
typedef int SockLen;
typedef int IoLen;  // Winsock counts bytes in int
const SocketFd kNoSocket = INVALID_SOCKET;
const int kRecvFlags = 0;  // the receiver's socket is non-blocking by WSAEventSelect
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
typedef int SocketFd;
typedef socklen_t SockLen;
typedef size_t IoLen;
const SocketFd kNoSocket = -1;
const int kRecvFlags = MSG_DONTWAIT;
#endif

namespace vsnmp {
namespace net {

// The platform half of the socket layer (udp_posix.cpp, udp_win32.cpp).
SocketFd OpenUdp();
void CloseSocket(SocketFd fd);
bool LastCallWouldBlock();

}  // namespace net
}  // namespace vsnmp
