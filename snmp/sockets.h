// The BSD socket calls under the names both platforms share; what differs is
// named here once, so the socket code itself is written once (udp.cpp).
#pragma once

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
typedef SOCKET SocketFd;
typedef int SockLen;
typedef int IoLen;  // Winsock counts bytes in int
const SocketFd kNoSocket = INVALID_SOCKET;
const int kRecvFlags = 0;  // the socket is non-blocking once bound or connected (WSAEventSelect)
inline SocketFd OpenUdp() { return socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP); }
inline bool LastCallWouldBlock() { return WSAGetLastError() == WSAEWOULDBLOCK; }
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
typedef int SocketFd;
typedef socklen_t SockLen;
typedef size_t IoLen;
const SocketFd kNoSocket = -1;
const int kRecvFlags = MSG_DONTWAIT;
inline SocketFd OpenUdp() { return socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0); }
inline bool LastCallWouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }
#endif
