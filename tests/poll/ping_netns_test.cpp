// The Linux probe with each kind of socket, run from the second host H, whose
// ping_group_range decides which kind the probe gets.
#include "poll/ping.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sched.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>
#include <vector>

#include "tests/poll/peer.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Runs f on a thread of its own inside the network namespace at path.
void InNamespace(const std::string &path, const std::function<void()> &f)
{
    std::thread thread([&] {
        int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        ASSERT_LE(0, fd) << path;
        int rc = setns(fd, CLONE_NEWNET);
        close(fd);
        ASSERT_EQ(0, rc) << "cannot enter " << path;
        f();
    });
    thread.join();
}

// Collects the echo requests that reach P, from a raw socket inside P.
class RequestCapture {
public:
    explicit RequestCapture(const PingPeer &peer)
    {
        thread_ = std::thread([this, path = "/proc/" + peer.holder + "/ns/net"] {
            int nsfd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
            int fd = -1;
            if (nsfd >= 0 && setns(nsfd, CLONE_NEWNET) == 0)
                fd = socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_ICMP);
            if (nsfd >= 0)
                close(nsfd);
            ok_ = fd >= 0;
            ready_ = true;
            while (fd >= 0 && !stop_) {
                pollfd pfd = {fd, POLLIN, 0};
                if (poll(&pfd, 1, 50) <= 0)
                    continue;
                unsigned char packet[1500];
                ssize_t cb = recv(fd, packet, sizeof packet, 0);
                size_t cbIp = cb >= 20 ? static_cast<size_t>(packet[0] & 0x0F) * 4 : 0;
                if (cbIp && static_cast<size_t>(cb) > cbIp && packet[cbIp] == 8)
                    requests_.emplace_back(packet + cbIp, packet + cb);
            }
            if (fd >= 0)
                close(fd);
        });
        while (!ready_)
            std::this_thread::yield();
    }
    ~RequestCapture() { Stop(); }

    bool Listening() const { return ok_; }

    // ICMP messages of the echo requests seen, in order of arrival.
    const std::vector<Bytes> &Stop()
    {
        stop_ = true;
        if (thread_.joinable())
            thread_.join();
        return requests_;
    }

private:
    std::thread thread_;
    std::atomic<bool> ready_{false}, ok_{false}, stop_{false};
    std::vector<Bytes> requests_;
};

bool Checksummed(const Bytes &icmp)
{
    uint32_t sum = 0;
    for (size_t i = 0; i + 1 < icmp.size(); i += 2)
        sum += static_cast<uint32_t>(icmp[i] << 8 | icmp[i + 1]);
    while (sum >> 16)
        sum = (sum & 0xFFFF) + (sum >> 16);
    return sum == 0xFFFF;
}

struct SocketKind {
    const char *name;
    const char *pingGroupRange;  // who may open ICMP datagram sockets in H
    bool datagram;
};

void PrintTo(const SocketKind &kind, std::ostream *os)
{
    *os << kind.name;
}

class ProbeFromHost : public WithPingPeer, public ::testing::WithParamInterface<SocketKind> {
protected:
    // Runs f in H with the probe getting this test's kind of socket.
    void InHost(const std::function<void()> &f)
    {
        InNamespace(peer_.hostns, [&] {
            FILE *range = fopen("/proc/sys/net/ipv4/ping_group_range", "w");
            ASSERT_NE(nullptr, range);
            fputs(GetParam().pingGroupRange, range);
            fclose(range);
            int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_ICMP);
            if (fd >= 0)
                close(fd);
            ASSERT_EQ(GetParam().datagram, fd >= 0) << "ping_group_range did not take";
            f();
        });
    }
};

TEST_P(ProbeFromHost, SilentPeerGetsOneWholeRequestAndGivesZeroAfterTheTimeOut)
{
    long echoes = PeerCounter(peer_, "snmp", "IcmpMsg", "InType8");
    RequestCapture capture(peer_);
    ASSERT_TRUE(capture.Listening());
    InHost([&] {
        Stopwatch watch;
        EXPECT_EQ(0, PingHost(Widen(peer_.hostpeer).c_str()));
        EXPECT_GE(watch.Ms(), PING_TIMEOUT_MS - 100);
        EXPECT_LT(watch.Ms(), PING_TIMEOUT_MS + 1000);
    });
    const std::vector<Bytes> &requests = capture.Stop();
    ASSERT_EQ(1u, requests.size());
    const Bytes &icmp = requests[0];
    ASSERT_EQ(8u + PING_PAYLOAD_SIZE, icmp.size());
    EXPECT_EQ(0, icmp[1]);  // code
    EXPECT_TRUE(Checksummed(icmp));
    Bytes payload = {'D', 'a', 't', 'a', ' ', 'B', 'u', 'f', 'f', 'e', 'r'};
    payload.resize(PING_PAYLOAD_SIZE, 0);
    EXPECT_EQ(payload, Bytes(icmp.begin() + 8, icmp.end()));
    EXPECT_EQ(echoes + 1, PeerCounter(peer_, "snmp", "IcmpMsg", "InType8"));
}

TEST_P(ProbeFromHost, RoutersReportGivesZeroAtOnce)
{
    long reports = PeerCounter(peer_, "snmp", "IcmpMsg", "OutType3");
    InHost([&] {
        Stopwatch watch;
        EXPECT_EQ(0, PingHost(Widen(peer_.unreachable).c_str()));
        EXPECT_LT(watch.Ms(), 2000);
    });
    EXPECT_EQ(reports + 1, PeerCounter(peer_, "snmp", "IcmpMsg", "OutType3"));
}

TEST_P(ProbeFromHost, LoopbackAnswersEveryTimeLeavingNoDescriptors)
{
    InHost([] {
        Stopwatch watch;
        ASSERT_EQ(1, PingHost(L"127.0.0.1"));
        EXPECT_LT(watch.Ms(), 1000);
        long before = OpenHandleCount();
        int answered = 0;
        for (int i = 0; i < 2000; i++)
            answered += PingHost(L"127.0.0.1");
        EXPECT_EQ(2000, answered);
        EXPECT_EQ(before, OpenHandleCount());
    });
}

INSTANTIATE_TEST_SUITE_P(Kinds, ProbeFromHost,
                         ::testing::Values(SocketKind{"datagram", "0 2147483647", true},
                                           SocketKind{"raw", "1 0", false}),
                         [](const ::testing::TestParamInfo<SocketKind> &info) { return info.param.name; });

}  // namespace
