// The peer namespaces that tests/poll/ping-peer.sh builds as a ctest fixture,
// and what the probe tests measure with them.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

struct PingPeer {
    std::string ns;           // P: takes echo requests, never answers
    std::string peer;         // P's address on the link from this namespace
    std::string unreachable;  // routed through P, which reports it unreachable
    std::string hostns;       // H: the second host wired to P (native tests)
    std::string hostpeer;     // P's address as H sees it
    std::string holder;       // a process inside P, for its counters
};

// Reads the fixture's state; returns false with the reason to skip when the
// namespaces could not be had.
bool LoadPingPeer(PingPeer *peer, std::string *reason);

// One of P's counters from /proc/<holder>/net/<file>, e.g. ("snmp", "IcmpMsg",
// "InType8"); a counter the kernel has not listed yet is 0, a missing file -1.
long PeerCounter(const PingPeer &peer, const char *file, const char *group, const char *name);

// Whether this process may send ICMP at all (CAP_NET_RAW, or a group that
// net.ipv4.ping_group_range admits); if not, says why.
bool IcmpAllowed(std::string *reason);

// Open descriptors (Linux) or handles (Windows) of this process.
long OpenHandleCount();

#ifdef _WIN32
// Bytes in use in this process's heaps (the C runtime's included).
long long HeapBytesInUse();
#endif

std::wstring Widen(const std::string &text);

class Stopwatch {
public:
    long Ms() const
    {
        return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now() - start_)
                                     .count());
    }

private:
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

// Tests that need the peer namespaces; they skip, saying why, without them.
class WithPingPeer : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string reason;
        if (!LoadPingPeer(&peer_, &reason))
            GTEST_SKIP() << reason;
    }
    PingPeer peer_;
};
