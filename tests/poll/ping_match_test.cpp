// Which ICMP packets the Linux probe takes as the answer to its request.
#include "poll/ping_posix.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>

#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

const uint16_t kId = 0x1234;
const uint16_t kSeq = 7;
const char kLocal[] = "192.0.2.1";
const char kTarget[] = "192.0.2.10";
const char kRouter[] = "198.51.100.7";

uint32_t Addr(const char *text)
{
    in_addr addr;
    inet_pton(AF_INET, text, &addr);
    return addr.s_addr;
}

Bytes Icmp(int type, int code, uint16_t id, uint16_t seq, size_t cbPayload = 32)
{
    Bytes b = {static_cast<unsigned char>(type), static_cast<unsigned char>(code), 0, 0,
               static_cast<unsigned char>(id >> 8), static_cast<unsigned char>(id),
               static_cast<unsigned char>(seq >> 8), static_cast<unsigned char>(seq)};
    b.resize(8 + cbPayload, 0);
    return b;
}

struct IpOpts {
    int protocol = 1;
    int ihl = 5;
    int version = 4;
    uint16_t fragment = 0;
};

Bytes Ip(const char *src, const char *dst, const Bytes &body, IpOpts o = {})
{
    Bytes b(static_cast<size_t>(o.ihl > 5 ? o.ihl : 5) * 4, 0);
    b[0] = static_cast<unsigned char>(o.version << 4 | o.ihl);
    size_t total = b.size() + body.size();
    b[2] = static_cast<unsigned char>(total >> 8);
    b[3] = static_cast<unsigned char>(total);
    b[6] = static_cast<unsigned char>(o.fragment >> 8);
    b[7] = static_cast<unsigned char>(o.fragment);
    b[8] = 64;
    b[9] = static_cast<unsigned char>(o.protocol);
    uint32_t s = Addr(src), d = Addr(dst);
    memcpy(&b[12], &s, 4);
    memcpy(&b[16], &d, 4);
    b.insert(b.end(), body.begin(), body.end());
    return b;
}

// An error report quoting the datagram's IP header and its first 8 bytes.
Bytes Report(int type, const Bytes &datagram)
{
    Bytes b = Icmp(type, 1, 0, 0, 0);
    size_t cbQuote = static_cast<size_t>(datagram[0] & 0x0F) * 4 + 8;
    b.insert(b.end(), datagram.begin(), datagram.begin() + static_cast<long>(cbQuote));
    return b;
}

const Bytes kRequest = Ip(kLocal, kTarget, Icmp(8, 0, kId, kSeq));

struct Case {
    const char *name;
    Bytes packet;
    int answers;
    const char *source;
};

TEST(PingMatch, AnswersAndNonAnswers)
{
    IpOpts options;
    options.ihl = 6;
    IpOpts udp;
    udp.protocol = 17;
    IpOpts laterFragment;
    laterFragment.fragment = 0x2003;
    IpOpts version6;
    version6.version = 6;
    IpOpts shortHeader;
    shortHeader.ihl = 4;

    const Case cases[] = {
        {"echo reply from the target", Ip(kTarget, kLocal, Icmp(0, 0, kId, kSeq)), 1, kTarget},
        {"echo reply from elsewhere", Ip(kRouter, kLocal, Icmp(0, 0, kId, kSeq)), 1, kRouter},
        {"echo reply with a short payload", Ip(kTarget, kLocal, Icmp(0, 0, kId, kSeq, 0)), 1, kTarget},
        {"echo reply to another sequence", Ip(kTarget, kLocal, Icmp(0, 0, kId, kSeq + 1)), 0, nullptr},
        {"echo reply to another identifier", Ip(kTarget, kLocal, Icmp(0, 0, kId + 1, kSeq)), 0, nullptr},
        {"our own request seen on loopback", kRequest, 0, nullptr},
        {"unreachable from a router", Ip(kRouter, kLocal, Report(3, kRequest)), 1, kRouter},
        {"unreachable from the target", Ip(kTarget, kLocal, Report(3, kRequest)), 1, kTarget},
        {"source quench", Ip(kRouter, kLocal, Report(4, kRequest)), 1, kRouter},
        {"time exceeded", Ip(kRouter, kLocal, Report(11, kRequest)), 1, kRouter},
        {"parameter problem", Ip(kRouter, kLocal, Report(12, kRequest)), 1, kRouter},
        {"redirect is not an answer", Ip(kRouter, kLocal, Report(5, kRequest)), 0, nullptr},
        {"timestamp reply", Ip(kTarget, kLocal, Icmp(14, 0, kId, kSeq)), 0, nullptr},
        {"report on another sequence", Ip(kRouter, kLocal, Report(3, Ip(kLocal, kTarget, Icmp(8, 0, kId, 9)))), 0,
         nullptr},
        {"report on a request to another address",
         Ip(kRouter, kLocal, Report(3, Ip(kLocal, kRouter, Icmp(8, 0, kId, kSeq)))), 0, nullptr},
        {"report on a UDP datagram", Ip(kRouter, kLocal, Report(3, Ip(kLocal, kTarget, Icmp(8, 0, kId, kSeq), udp))),
         0, nullptr},
        {"report on a later fragment",
         Ip(kRouter, kLocal, Report(3, Ip(kLocal, kTarget, Icmp(8, 0, kId, kSeq), laterFragment))), 0, nullptr},
        {"report quoting a header with options",
         Ip(kRouter, kLocal, Report(3, Ip(kLocal, kTarget, Icmp(8, 0, kId, kSeq), options))), 1, kRouter},
        {"outer header with options", Ip(kTarget, kLocal, Icmp(0, 0, kId, kSeq), options), 1, kTarget},
        {"not ICMP", Ip(kTarget, kLocal, Icmp(0, 0, kId, kSeq), udp), 0, nullptr},
        {"IP version 6", Ip(kTarget, kLocal, Icmp(0, 0, kId, kSeq), version6), 0, nullptr},
        {"header length below 20", Ip(kTarget, kLocal, Icmp(0, 0, kId, kSeq), shortHeader), 0, nullptr},
        {"header length past the end", Bytes{0x4F, 0, 0, 40, 0, 0, 0, 0, 64, 1, 0, 0, 192, 0, 2, 10, 192, 0, 2, 1, 0,
                                              0, 0, 0, 0x12, 0x34, 0, 7},
         0, nullptr},
        {"empty", Bytes{}, 0, nullptr},
    };
    EchoTicket ticket = {Addr(kTarget), kId, kSeq};
    for (const Case &c : cases) {
        uint32_t source = 0;
        EXPECT_EQ(c.answers, MatchRawAnswer(c.packet.data(), c.packet.size(), &ticket, &source)) << c.name;
        if (c.source) {
            EXPECT_EQ(Addr(c.source), source) << c.name;
        }
    }
}

// Every prefix too short to hold the deciding headers is no answer; the rest of
// the packet (payload, the quoted request's data) is not needed.
TEST(PingMatch, CutPacketsAnswerOnlyWithTheirHeadersWhole)
{
    EchoTicket ticket = {Addr(kTarget), kId, kSeq};
    struct {
        const char *name;
        Bytes packet;
        size_t cbNeeded;
    } cases[] = {
        {"echo reply", Ip(kTarget, kLocal, Icmp(0, 0, kId, kSeq)), 20 + 8},
        {"unreachable", Ip(kRouter, kLocal, Report(3, kRequest)), 20 + 8 + 20 + 8},
    };
    for (const auto &c : cases) {
        for (size_t cb = 0; cb <= c.packet.size(); cb++) {
            Bytes prefix(c.packet.begin(), c.packet.begin() + static_cast<long>(cb));
            uint32_t source = 0;
            EXPECT_EQ(cb >= c.cbNeeded ? 1 : 0, MatchRawAnswer(prefix.data(), prefix.size(), &ticket, &source))
                << c.name << " cut to " << cb;
        }
    }
}

}  // namespace
