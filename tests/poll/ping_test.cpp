// The probe on the build's own platform side: Linux sockets natively, the
// Windows ICMP functions under Wine.
#include "poll/ping.h"

#include <gtest/gtest.h>

#include "tests/poll/peer.h"

#ifdef _WIN32
#include <winsock2.h>
#include <iphlpapi.h>
#include <icmpapi.h>
#endif

namespace {

#define SKIP_WITHOUT_ICMP()                   \
    do {                                      \
        std::string reason;                   \
        if (!IcmpAllowed(&reason))            \
            GTEST_SKIP() << reason;           \
    } while (0)

TEST(PingHost, LoopbackAnswersAtOnce)
{
    SKIP_WITHOUT_ICMP();
    for (const wchar_t *address : {L"127.0.0.1", L"127.0.0.21"}) {
        Stopwatch watch;
        EXPECT_EQ(1, PingHost(address)) << address;
        EXPECT_LT(watch.Ms(), 1000) << address;
    }
}

TEST(PingHost, TextThatIsNotIPv4GivesZeroAtOnce)
{
    // The rule itself has its table with the stack's tests; here only that the
    // probe goes by it and sends nothing.
    const wchar_t *texts[] = {L"", L"localhost", L"127.0.0.01", L"\xFF11\xFF12\xFF17.0.0.1", nullptr};
    Stopwatch watch;
    for (const wchar_t *text : texts)
        EXPECT_EQ(0, PingHost(text)) << (text ? text : L"(null)");
    EXPECT_LT(watch.Ms(), 1000);
}

TEST(PingHost, ThousandsOfCallsLeaveNothingBehind)
{
    SKIP_WITHOUT_ICMP();
    const int kCalls = 3000;
    ASSERT_EQ(1, PingHost(L"127.0.0.1"));  // first-use set-up out of the way
    long handles = OpenHandleCount();
#ifdef _WIN32
    // The count does see a handle left open.
    HANDLE hIcmp = IcmpCreateFile();
    EXPECT_EQ(handles + 1, OpenHandleCount());
    IcmpCloseHandle(hIcmp);
    long long bytes = HeapBytesInUse();
#endif
    int answered = 0;
    for (int i = 0; i < kCalls; i++)
        answered += PingHost(L"127.0.0.1");
    EXPECT_EQ(kCalls, answered);
    EXPECT_EQ(handles, OpenHandleCount());
#ifdef _WIN32
    // A lost reply buffer would add over 200 KB.
    EXPECT_LT(HeapBytesInUse(), bytes + 16 * 1024);
#endif
}

using PingPeerNamespace = WithPingPeer;

TEST_F(PingPeerNamespace, SilentPeerGetsOneRequestAndGivesZeroAfterTheTimeOut)
{
    std::wstring peer = Widen(peer_.peer);
    long echoes = PeerCounter(peer_, "snmp", "IcmpMsg", "InType8");
    long octets = PeerCounter(peer_, "netstat", "IpExt", "InOctets");
    ASSERT_LE(0, echoes);

    // Near misses of the address are not sent anywhere.
    for (const wchar_t *tail : {L" ", L".0", L"/30", L"\n"})
        EXPECT_EQ(0, PingHost((peer + tail).c_str()));
    EXPECT_EQ(echoes, PeerCounter(peer_, "snmp", "IcmpMsg", "InType8"));

    Stopwatch watch;
    EXPECT_EQ(0, PingHost(peer.c_str()));
    long ms = watch.Ms();
    EXPECT_GE(ms, PING_TIMEOUT_MS - 100);
    EXPECT_LT(ms, PING_TIMEOUT_MS + 1000);
    // One request, no retry: an IP header, the 8-byte ICMP header and the payload.
    EXPECT_EQ(echoes + 1, PeerCounter(peer_, "snmp", "IcmpMsg", "InType8"));
    EXPECT_EQ(octets + 20 + 8 + PING_PAYLOAD_SIZE, PeerCounter(peer_, "netstat", "IpExt", "InOctets"));
}

TEST_F(PingPeerNamespace, RoutersReportGivesZeroAtOnce)
{
    long reports = PeerCounter(peer_, "snmp", "IcmpMsg", "OutType3");
    Stopwatch watch;
    EXPECT_EQ(0, PingHost(Widen(peer_.unreachable).c_str()));
    EXPECT_LT(watch.Ms(), 2000);
    EXPECT_EQ(reports + 1, PeerCounter(peer_, "snmp", "IcmpMsg", "OutType3"));
}

}  // namespace
