#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstdlib>

#include "poll/ping.h"
#include "snmp/udp.h"

static char SendData[PING_PAYLOAD_SIZE] = "Data Buffer";

int PingHost(const wchar_t *address)
{
    // Anything but dotted-decimal IPv4 leaves no target: send nothing.
    uint32_t addr = 0;
    if (!vsnmp::net::ParseIPv4(address, &addr))
        return 0;
    IN_ADDR ipaddr;
    ipaddr.S_un.S_addr = htonl(addr);

    HANDLE hIcmp = IcmpCreateFile();
    if (hIcmp == INVALID_HANDLE_VALUE)
        return 0;

    // This build's own reply record, the echoed payload, and the 8 bytes an ICMP
    // error report needs: a fixed 60 fits only the 32-bit record.
    DWORD dwReplySize = sizeof(ICMP_ECHO_REPLY) + PING_PAYLOAD_SIZE + 8;
    void *pReply = malloc(dwReplySize);
    if (!pReply) {
        IcmpCloseHandle(hIcmp);
        return 0;
    }

    int iResult = 0;
    DWORD dwReplies = IcmpSendEcho(hIcmp, ipaddr.S_un.S_addr, SendData,
                                   PING_PAYLOAD_SIZE, nullptr, pReply, dwReplySize, PING_TIMEOUT_MS);
    if (dwReplies > 0) {
        // Only the first answer's source decides, whatever its kind or status.
        const ICMP_ECHO_REPLY *pEcho = static_cast<const ICMP_ECHO_REPLY *>(pReply);
        if (pEcho->Address == ipaddr.S_un.S_addr)
            iResult = 1;
    }

    IcmpCloseHandle(hIcmp);
    free(pReply);
    return iResult;
}
