// The whole poll against a real agent: lo's counters from snmpd while the test
// pushes a known number of bytes through loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include "config/interfaces.h"
#include "poll/clock.h"
#include "poll/poll.h"
#include "tests/support/files.h"
#include "tests/support/snmpd.h"

namespace {

// Sends `total` bytes of UDP payload to a socket of our own on 127.0.0.1.
void PushThroughLoopback(size_t total)
{
    int rx = socket(AF_INET, SOCK_DGRAM, 0);
    int tx = socket(AF_INET, SOCK_DGRAM, 0);
    ASSERT_GE(rx, 0);
    ASSERT_GE(tx, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, bind(rx, reinterpret_cast<sockaddr *>(&addr), sizeof addr));
    socklen_t len = sizeof addr;
    getsockname(rx, reinterpret_cast<sockaddr *>(&addr), &len);
    static char chunk[60000];
    static char sink[65536];
    for (size_t sent = 0; sent < total; sent += sizeof chunk) {
        ASSERT_EQ(static_cast<ssize_t>(sizeof chunk),
                  sendto(tx, chunk, sizeof chunk, 0, reinterpret_cast<sockaddr *>(&addr), sizeof addr));
        recv(rx, sink, sizeof sink, 0);  // keep the receive queue from overflowing
    }
    close(tx);
    close(rx);
}

// Bytes lo has received so far, as the kernel counts them (the agent's source too).
int64_t LoopbackReceived()
{
    return std::stoll(ReadFile("/sys/class/net/lo/statistics/rx_bytes"));
}

class PollAgainstSnmpd : public InTempDir {};

TEST_F(PollAgainstSnmpd, RatesFollowRealTraffic)
{
    // snmpd serves interface counters from a cache of about two seconds: the
    // window for the ceiling opens before the agent starts, and the second poll
    // comes late enough for a fresh reading.
    int64_t receivedBefore = LoopbackReceived();
    SnmpdAgent agent;
    ASSERT_TRUE(agent.Start(51, 59)) << "snmpd did not start on 127.0.0.51-59";

    memset(g_interfaces, 0, sizeof g_interfaces);
    InterfaceRecord *rec = &g_interfaces[0];
    std::string index = std::to_string(if_nametoindex("lo"));
    snprintf(rec->strName, sizeof rec->strName, "loopback");
    memcpy(rec->strIP, agent.Address().data(), agent.Address().size());
    snprintf(rec->strCommunity, sizeof rec->strCommunity, "%s", SnmpdAgent::kCommunity);
    snprintf(rec->strOidIn, sizeof rec->strOidIn, "1.3.6.1.2.1.2.2.1.10.%s", index.c_str());
    snprintf(rec->strOidOut, sizeof rec->strOidOut, "1.3.6.1.2.1.2.2.1.16.%s", index.c_str());
    rec->linkSpeed = 1000000000;
    rec->firstPoll = 1;

    ASSERT_EQ(0, PollInterface(nullptr, 0x113, 0));
    ASSERT_NE(0, rec->prevInTime) << "no baseline reading";

    const size_t kBytes = 60000 * 500;  // 30 MB, a few hundred Mbit/s over the interval
    PushThroughLoopback(kBytes);
    while (MonotonicMs() < rec->curTime + 4000)
        std::this_thread::sleep_for(std::chrono::milliseconds(50));

    ASSERT_EQ(1, PollInterface(nullptr, 0x113, 0));
    int64_t receivedAfter = LoopbackReceived();
    // At least the test's own bytes, at most everything lo carried from before the
    // first reading to after the second, over the record's own interval.
    int64_t elapsed = rec->deltaInMs;
    ASSERT_GT(elapsed, 0);
    int64_t floor = static_cast<int64_t>(kBytes) * 8000 / elapsed;
    int64_t ceiling = (receivedAfter - receivedBefore) * 8000 / elapsed;
    EXPECT_GE(rec->bpsIn, floor);
    EXPECT_LE(rec->bpsIn, ceiling);
    // On loopback every byte goes out and in.
    EXPECT_GE(rec->bpsOut, static_cast<int64_t>(kBytes) * 8000 / rec->deltaOutMs);
    EXPECT_EQ(rec->bpsIn * INT64_C(100) / rec->linkSpeed, rec->pctIn);

    EXPECT_EQ(rec->inOctets, rec->prevInOctets);
    EXPECT_EQ(rec->outOctets, rec->prevOutOctets);
    EXPECT_EQ(rec->curTime, rec->prevTime);
    EXPECT_EQ(0, rec->firstPoll);
    EXPECT_FALSE(FileExists("vellarylog.txt")) << ReadFile("vellarylog.txt");
}

}  // namespace
