// Linux side of the probe: an ICMP datagram ("ping") socket where the kernel
// grants one to our group, else a raw socket (which needs CAP_NET_RAW).
#include "poll/ping.h"
#include "poll/ping_posix.h"
#include "snmp/udp.h"

#include <arpa/inet.h>
#include <linux/errqueue.h>
#include <linux/icmp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <ctime>

static char SendData[PING_PAYLOAD_SIZE] = "Data Buffer";

// Tells this call's request from earlier ones whose answers arrive late.
static std::atomic<unsigned> g_pingSequence{0};

static uint16_t Read16(const unsigned char *p)
{
    return static_cast<uint16_t>(p[0] << 8 | p[1]);
}

static uint32_t ReadAddress(const unsigned char *p)
{
    uint32_t addr;
    memcpy(&addr, p, sizeof addr);
    return addr;
}

// Length of the IPv4 header at p, or 0 when no whole one is there.
static size_t IpHeaderLength(const unsigned char *p, size_t cb)
{
    if (cb < 20 || (p[0] >> 4) != 4)
        return 0;
    size_t cbHeader = static_cast<size_t>(p[0] & 0x0F) * 4;
    return cbHeader >= 20 && cbHeader <= cb ? cbHeader : 0;
}

static int IsErrorReport(unsigned char type)
{
    return type == ICMP_DEST_UNREACH || type == ICMP_SOURCE_QUENCH || type == ICMP_TIME_EXCEEDED ||
           type == ICMP_PARAMETERPROB;
}

int MatchQuotedRequest(const unsigned char *icmp, size_t cb, const EchoTicket *ticket)
{
    return cb >= 8 && icmp[0] == ICMP_ECHO && icmp[1] == 0 && Read16(icmp + 4) == ticket->id &&
           Read16(icmp + 6) == ticket->seq;
}

int MatchEchoReply(const unsigned char *icmp, size_t cb, const EchoTicket *ticket)
{
    return cb >= 8 && icmp[0] == ICMP_ECHOREPLY && Read16(icmp + 4) == ticket->id && Read16(icmp + 6) == ticket->seq;
}

int MatchRawAnswer(const unsigned char *packet, size_t cb, const EchoTicket *ticket, uint32_t *source)
{
    size_t cbIp = IpHeaderLength(packet, cb);
    if (!cbIp || packet[9] != IPPROTO_ICMP)
        return 0;
    const unsigned char *icmp = packet + cbIp;
    size_t cbIcmp = cb - cbIp;

    int fAnswer = MatchEchoReply(icmp, cbIcmp, ticket);
    if (!fAnswer && cbIcmp >= 8 && IsErrorReport(icmp[0])) {
        // The report quotes the IP header of our request and its first 8 bytes.
        const unsigned char *quoted = icmp + 8;
        size_t cbQuoted = cbIcmp - 8;
        size_t cbQuotedIp = IpHeaderLength(quoted, cbQuoted);
        fAnswer = cbQuotedIp && quoted[9] == IPPROTO_ICMP && (Read16(quoted + 6) & 0x1FFF) == 0 &&
                  ReadAddress(quoted + 16) == ticket->target &&
                  MatchQuotedRequest(quoted + cbQuotedIp, cbQuoted - cbQuotedIp, ticket);
    }
    if (fAnswer)
        *source = ReadAddress(packet + 12);
    return fAnswer;
}

static int64_t NowMs()
{
    timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

static void PutChecksum(unsigned char *icmp, size_t cb)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < cb; i += 2)
        sum += Read16(icmp + i);
    if (cb & 1)
        sum += static_cast<uint32_t>(icmp[cb - 1]) << 8;
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    icmp[2] = static_cast<unsigned char>(~sum >> 8);
    icmp[3] = static_cast<unsigned char>(~sum);
}

// Opens the socket and fills in the identifier our request will carry. Returns
// the descriptor, or -1 when neither kind can be had.
static int OpenIcmpSocket(int *pfRaw, uint16_t *pId)
{
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd >= 0) {
        // The kernel puts the bound "port" in as the identifier and routes only
        // replies carrying it to this socket.
        sockaddr_in local = {};
        local.sin_family = AF_INET;
        socklen_t cbLocal = sizeof local;
        int on = 1;
        if (bind(fd, reinterpret_cast<sockaddr *>(&local), sizeof local) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr *>(&local), &cbLocal) == 0 &&
            // Error reports about the request come on the error queue, with their sender.
            setsockopt(fd, SOL_IP, IP_RECVERR, &on, sizeof on) == 0) {
            *pfRaw = 0;
            *pId = ntohs(local.sin_port);
            return fd;
        }
        close(fd);
    }

    fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
    if (fd < 0)
        return -1;
    // A raw socket sees every ICMP message on the host: let only the kinds that
    // can answer a request wake us.
    icmp_filter filter;
    filter.data = ~((1u << ICMP_ECHOREPLY) | (1u << ICMP_DEST_UNREACH) | (1u << ICMP_SOURCE_QUENCH) |
                    (1u << ICMP_TIME_EXCEEDED) | (1u << ICMP_PARAMETERPROB));
    setsockopt(fd, SOL_RAW, ICMP_FILTER, &filter, sizeof filter);
    *pfRaw = 1;
    *pId = static_cast<uint16_t>(getpid());
    return fd;
}

// Reads one message from a datagram socket. Returns 1 and the answer's source
// when it answers the ticket, else 0.
static int ReadDatagramAnswer(int fd, short revents, const EchoTicket *ticket, uint32_t *source)
{
    unsigned char message[576];
    sockaddr_in from = {};

    if (revents & POLLERR) {
        // The data is the quoted request, the name its destination, and the
        // control message names the reporter.
        alignas(cmsghdr) unsigned char control[256];
        iovec iov = {message, sizeof message};
        msghdr msg = {};
        msg.msg_name = &from;
        msg.msg_namelen = sizeof from;
        msg.msg_iov = &iov;
        msg.msg_iovlen = 1;
        msg.msg_control = control;
        msg.msg_controllen = sizeof control;
        ssize_t cb = recvmsg(fd, &msg, MSG_ERRQUEUE | MSG_DONTWAIT);
        if (cb >= 0) {
            if (from.sin_addr.s_addr != ticket->target || !MatchQuotedRequest(message, static_cast<size_t>(cb), ticket))
                return 0;
            for (cmsghdr *cm = CMSG_FIRSTHDR(&msg); cm; cm = CMSG_NXTHDR(&msg, cm)) {
                sock_extended_err ee;
                sockaddr_in offender;
                if (cm->cmsg_level != SOL_IP || cm->cmsg_type != IP_RECVERR ||
                    cm->cmsg_len < CMSG_LEN(sizeof ee + sizeof offender))
                    continue;
                memcpy(&ee, CMSG_DATA(cm), sizeof ee);
                memcpy(&offender, CMSG_DATA(cm) + sizeof ee, sizeof offender);
                if (ee.ee_origin != SO_EE_ORIGIN_ICMP || offender.sin_family != AF_INET)
                    continue;
                *source = offender.sin_addr.s_addr;
                return 1;
            }
            return 0;
        }
    }

    socklen_t cbFrom = sizeof from;
    ssize_t cb = recvfrom(fd, message, sizeof message, MSG_DONTWAIT, reinterpret_cast<sockaddr *>(&from), &cbFrom);
    if (cb < 0 || !MatchEchoReply(message, static_cast<size_t>(cb), ticket))
        return 0;
    *source = from.sin_addr.s_addr;
    return 1;
}

static int ReadRawAnswer(int fd, const EchoTicket *ticket, uint32_t *source)
{
    unsigned char packet[576];
    // Reads cut at the buffer's end: the headers that decide are at the start.
    ssize_t cb = recv(fd, packet, sizeof packet, MSG_DONTWAIT);
    return cb > 0 && MatchRawAnswer(packet, static_cast<size_t>(cb), ticket, source);
}

int PingHost(const wchar_t *address)
{
    in_addr ipaddr;
    uint32_t addr = 0;
    if (!vsnmp::net::ParseIPv4(address, &addr))
        return 0;
    ipaddr.s_addr = htonl(addr);

    int fRaw = 0;
    uint16_t id = 0;
    int fd = OpenIcmpSocket(&fRaw, &id);
    if (fd < 0)
        return 0;

    EchoTicket ticket = {ipaddr.s_addr, id, static_cast<uint16_t>(g_pingSequence.fetch_add(1) + 1)};
    unsigned char request[8 + PING_PAYLOAD_SIZE] = {ICMP_ECHO, 0};
    request[4] = static_cast<unsigned char>(ticket.id >> 8);
    request[5] = static_cast<unsigned char>(ticket.id);
    request[6] = static_cast<unsigned char>(ticket.seq >> 8);
    request[7] = static_cast<unsigned char>(ticket.seq);
    memcpy(request + 8, SendData, PING_PAYLOAD_SIZE);
    PutChecksum(request, sizeof request);

    sockaddr_in to = {};
    to.sin_family = AF_INET;
    to.sin_addr = ipaddr;
    int iResult = 0;
    if (sendto(fd, request, sizeof request, 0, reinterpret_cast<sockaddr *>(&to), sizeof to) ==
        static_cast<ssize_t>(sizeof request)) {
        // The first message that answers this request decides; others do not
        // stretch the wait past the time-out.
        int64_t deadline = NowMs() + PING_TIMEOUT_MS;
        for (;;) {
            int64_t remaining = deadline - NowMs();
            if (remaining <= 0)
                break;
            pollfd pfd = {fd, POLLIN, 0};
            int rc = poll(&pfd, 1, static_cast<int>(remaining));
            if (rc < 0 && errno == EINTR)
                continue;
            if (rc <= 0 || (pfd.revents & POLLNVAL))
                break;
            uint32_t source = 0;
            int fAnswered = fRaw ? ReadRawAnswer(fd, &ticket, &source)
                                 : ReadDatagramAnswer(fd, pfd.revents, &ticket, &source);
            if (fAnswered) {
                iResult = source == ticket.target;
                break;
            }
        }
    }
    close(fd);
    return iResult;
}
