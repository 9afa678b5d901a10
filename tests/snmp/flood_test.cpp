// A device that floods the query with bad datagrams from its own address and
// port during the wait, then sends the real reply: the query takes the reply on
// its usual schedule, the process keeps its pace, and the log grows by at most
// one line per bad datagram. The test prints its figures on one line for
// bench/run.sh.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "poll/snmpquery.h"
#include "snmp/ber.h"
#include "tests/snmp/agent.h"
#include "tests/support/files.h"

namespace {

using Clock = std::chrono::steady_clock;

const int kBadDatagrams = 10000;
const int kBurst = 50;  // datagrams sent back to back between 1 ms pauses

long MsBetween(Clock::time_point a, Clock::time_point b)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(b - a).count());
}

// Bad datagrams, none of which decodes: random bytes, and cut-off copies of a
// real reply (every length check of the decoder gets its turn).
std::vector<std::string> BadDatagrams(const std::string &reply)
{
    std::vector<std::string> bad;
    uint32_t state = 2463534242u;
    auto next = [&state] {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    };
    while (bad.size() < static_cast<size_t>(kBadDatagrams)) {
        std::string bytes;
        if (bad.size() % 2 == 0) {
            bytes.resize(next() % 121);
            for (char &ch : bytes)
                ch = static_cast<char>(next());
        } else {
            bytes = reply.substr(0, next() % reply.size());
        }
        vsnmp::ber::Message msg;
        if (vsnmp::ber::DecodeMessage(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), &msg) !=
            vsnmp::ber::BER_OK)
            bad.push_back(bytes);
    }
    return bad;
}

std::vector<std::string> LogLines()
{
    std::vector<std::string> lines;
    std::string text = FileExists("vellarylog.txt") ? ReadFile("vellarylog.txt") : "";
    for (size_t pos = 0; pos < text.size();) {
        size_t eol = text.find("\r\n", pos);
        if (eol == std::string::npos)
            eol = text.size();
        lines.push_back(text.substr(pos, eol - pos));
        pos = eol + 2;
    }
    return lines;
}

size_t LogSize()
{
    std::error_code ec;
    auto size = std::filesystem::file_size("vellarylog.txt", ec);
    return ec ? 0 : static_cast<size_t>(size);
}

class QueryUnderFlood : public InTempDir {};

TEST_F(QueryUnderFlood, TakesTheRealReplyAfterTenThousandBadDatagrams)
{
    ScriptedAgent agent;
    ASSERT_TRUE(agent.StartInRange(20, 11)) << "no free address for the agent";
    const std::string reply = Response(Hex("41 04 00 BC 61 4E"));  // Counter32 12345678
    const std::vector<std::string> bad = BadDatagrams(reply);

    Clock::time_point start = Clock::now(), floodEnd, replySent;
    std::atomic<bool> sent{false};
    std::thread device([&] {
        Datagram request;
        if (!agent.Receive(&request, 3000))
            return;
        for (size_t i = 0; i < bad.size(); i++) {
            agent.SendTo(request, bad[i]);
            if (i % kBurst == kBurst - 1)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        floodEnd = Clock::now();
        // What the kernel kept is taken in once the log stops growing; the reply
        // must still come well inside the query's 4200 ms.
        size_t size = LogSize();
        while (MsBetween(start, Clock::now()) < 3000) {
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            size_t now = LogSize();
            if (now == size)
                break;
            size = now;
        }
        replySent = Clock::now();
        agent.SendTo(request, reply);
        sent = true;
    });

    // Responsiveness: how late a 10 ms sleep of another thread comes back meanwhile.
    std::atomic<bool> done{false};
    long worstLateMs = 0;
    std::thread ticker([&] {
        while (!done) {
            Clock::time_point t = Clock::now();
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
            worstLateMs = std::max(worstLateMs, MsBetween(t, Clock::now()) - 10);
        }
    });

    int64_t counter = 0;
    g_replyValue = 0;
    int result = SnmpGetCounter(nullptr, 0x0113, &counter, agent.Address().c_str(), "public", kIfInOctets2);
    Clock::time_point end = Clock::now();
    done = true;
    ticker.join();
    device.join();

    ASSERT_TRUE(sent) << "the agent never saw the request";
    EXPECT_EQ(1, result);
    EXPECT_EQ(12345678, counter);
    // The reply is taken at the first test of the slot after it arrives: at most
    // one 500 ms step later, plus scheduling slack.
    long replyAtMs = MsBetween(start, replySent), returnedAtMs = MsBetween(start, end);
    EXPECT_LE(returnedAtMs, replyAtMs + 500 + 300);
    EXPECT_LT(worstLateMs, 500);

    std::vector<std::string> lines = LogLines();
    EXPECT_LE(lines.size(), bad.size());
    for (const std::string &line : lines) {
        // "dd-mm-yyyy,hh:mm:ss,SnmpRecvMsg failure," and nothing else.
        ASSERT_EQ(40u, line.size()) << line;
        ASSERT_EQ("SnmpRecvMsg failure,", line.substr(20)) << line;
    }
    printf("flood: bad=%zu flood_ms=%ld taken_in=%zu reply_at_ms=%ld returned_at_ms=%ld worst_late_ms=%ld value=%lld\n",
           bad.size(), MsBetween(start, floodEnd), lines.size(), replyAtMs, returnedAtMs, worstLateMs,
           static_cast<long long>(counter));
}

}  // namespace
