#include <winsock2.h>
#include <ws2tcpip.h>
#include <iphlpapi.h>
#include <icmpapi.h>

#include <cstdlib>

#include "poll/ping.h"

static char SendData[PING_PAYLOAD_SIZE] = "Data Buffer";

// True when the text is made only of ASCII digits and dots, as dotted-decimal
// IPv4 is. InetPtonW alone lets through look-alikes such as full-width digits.
static int IsDottedText(const wchar_t *address)
{
    for (int i = 0; address[i] != L'\0'; i++) {
        if ((address[i] < L'0' || address[i] > L'9') && address[i] != L'.')
            return 0;
    }
    return 1;
}

int PingHost(const wchar_t *address)
{
    IN_ADDR ipaddr;
    // Anything but dotted-decimal IPv4 leaves no target: send nothing.
    if (!address || !IsDottedText(address) || InetPtonW(AF_INET, address, &ipaddr) != 1)
        return 0;

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
