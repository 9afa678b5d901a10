// Winsock, and event objects to end a receiver's wait: the socket's readiness
// (WSAEventSelect) and the stop signal are waited for together.
#include <windows.h>

#include <cstdint>

#include "snmp/sockets.h"
#include "snmp/udp.h"

namespace vsnmp {
namespace net {

bool NetStartup()
{
    WSADATA wsaData;
    return WSAStartup(MAKEWORD(2, 2), &wsaData) == 0;
}

void NetCleanup()
{
    WSACleanup();
}

StopSignal::~StopSignal()
{
    if (open_)
        CloseHandle(reinterpret_cast<HANDLE>(handle_));
}

bool StopSignal::Open()
{
    if (open_)
        return true;
    HANDLE event = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!event)
        return false;
    handle_ = reinterpret_cast<uintptr_t>(event);
    open_ = true;
    return true;
}

void StopSignal::Raise()
{
    if (open_)
        SetEvent(reinterpret_cast<HANDLE>(handle_));
}

bool UdpSocket::WatchReads()
{
    if (readEvent_)
        return true;
    WSAEVENT event = WSACreateEvent();
    if (event == WSA_INVALID_EVENT)
        return false;
    readEvent_ = reinterpret_cast<uintptr_t>(event);
    return WSAEventSelect(static_cast<SOCKET>(handle_), event, FD_READ) == 0;
}

int UdpSocket::Wait(StopSignal *stop, int timeoutMs)
{
    if (!open_ || !readEvent_ || (stop && !stop->open_))
        return -1;
    // The stop first: when both are signalled, the lowest index is the one returned.
    HANDLE events[2];
    DWORD count = 0;
    if (stop)
        events[count++] = reinterpret_cast<HANDLE>(stop->handle_);
    events[count++] = reinterpret_cast<HANDLE>(readEvent_);
    DWORD which = WaitForMultipleObjects(count, events, FALSE, timeoutMs < 0 ? INFINITE : timeoutMs);
    if (which == WAIT_FAILED)
        return -1;
    if (which != WAIT_OBJECT_0 + count - 1)
        return 0;
    // Resets the event; the next datagram after the caller's reads sets it again.
    WSANETWORKEVENTS happened;
    return WSAEnumNetworkEvents(static_cast<SOCKET>(handle_), reinterpret_cast<WSAEVENT>(readEvent_), &happened) == 0
               ? 1
               : -1;
}

void UdpSocket::Close()
{
    if (open_)
        closesocket(static_cast<SOCKET>(handle_));
    if (readEvent_)
        WSACloseEvent(reinterpret_cast<WSAEVENT>(readEvent_));
    open_ = false;
    handle_ = 0;
    readEvent_ = 0;
}

}  // namespace net
}  // namespace vsnmp
