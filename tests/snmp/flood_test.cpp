// A device that floods the query from its own address and port during the
// wait, then sends the real reply: the query takes the reply on its usual
// schedule, the process keeps its pace, the log gets a few lines and the
// session's memory stays under its ceiling. The tests print their figures on
// one line each for bench/run.sh.
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
#include "tests/poll/query_sleep.h"
#include "tests/snmp/agent.h"
#include "tests/support/files.h"
#include "tests/support/procstat.h"

namespace {

using Clock = std::chrono::steady_clock;

const int kBadDatagrams = 10000;
const int kBurst = 50;  // datagrams sent back to back between 1 ms pauses
const size_t kMaxLogLines = 8;  // what a query may log of what a device sends

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

class QueryUnderFlood : public InTempDir {};

TEST_F(QueryUnderFlood, TakesTheRealReplyAfterTenThousandBadDatagrams)
{
    ScriptedAgent agent;
    ASSERT_TRUE(agent.StartInRange(29, 21)) << "no free address for the agent";
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
        // The reply follows what the kernel still holds; sent again until taken,
        // in case a full receive queue dropped it.
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        replySent = Clock::now();
        sent = true;
        while (g_replyValue.load() == 0 && MsBetween(start, Clock::now()) < 4200) {
            agent.SendTo(request, reply);
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
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

    std::vector<std::string> lines = LogEntries();
    EXPECT_LE(lines.size(), kMaxLogLines);
    for (const std::string &line : lines)
        ASSERT_EQ("SnmpRecvMsg failure,", line);
    printf("flood: bad=%zu flood_ms=%ld log_lines=%zu reply_at_ms=%ld returned_at_ms=%ld worst_late_ms=%ld value=%lld\n",
           bad.size(), MsBetween(start, floodEnd), lines.size(), replyAtMs, returnedAtMs, worstLateMs,
           static_cast<long long>(counter));
}

// Every one of these decodes as a reply with no number; half carry their bulk
// in the community, half in an OCTET STRING value, the two things a reply used
// to leave behind until the clean-up.
std::string LargeNumberlessReply(size_t i)
{
    const size_t kBulk = 60000;
    std::string name = Hex("06 0A 2B 06 01 02 01 02 02 01 0A 02");
    std::string value = i % 2 == 0 ? Tlv(0x04, std::string(kBulk, 'v')) : Hex("05 00");
    std::string community = i % 2 == 0 ? "public" : std::string(kBulk, 'c');
    std::string pdu = Hex("02 01 01 02 01 00 02 01 00") + Tlv(0x30, Tlv(0x30, name + value));
    return Tlv(0x30, Hex("02 01 00") + Tlv(0x04, community) + Tlv(0xA2, pdu));
}

std::atomic<bool> g_floodOver{false};

// The query's first sleep lasts until the device is done; the rest are skipped.
void SleepThroughTheFlood(unsigned int)
{
    WaitFor([] { return g_floodOver.load(); }, 120000);
}

TEST_F(QueryUnderFlood, LargeRepliesThatHoldNoNumberStayUnderTheCeiling)
{
    const int kReplies = 10000;
    const long long kCeilingBytes = 8 << 20;
    ScriptedAgent agent;
    ASSERT_TRUE(agent.StartInRange(29, 21)) << "no free address for the agent";
    const std::string reply = Response(Hex("41 04 00 BC 61 4E"));  // Counter32 12345678

    ProcStat stat;
    ReadProcStat(&stat);
    const long long before = stat.heapBytes;
    long long peak = before;
    g_floodOver = false;
    std::thread device([&] {
        Datagram request;
        if (agent.Receive(&request, 10000)) {
            for (int i = 0; i < kReplies; i++) {
                agent.SendTo(request, LargeNumberlessReply(static_cast<size_t>(i)));
                if (i % 100 == 99) {
                    ReadProcStat(&stat);
                    peak = std::max(peak, stat.heapBytes);
                }
            }
            for (int k = 0; k < 50 && g_replyValue.load() == 0; k++) {
                agent.SendTo(request, reply);
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
            ReadProcStat(&stat);
            peak = std::max(peak, stat.heapBytes);
        }
        g_floodOver = true;
    });

    void (*saved)(unsigned int) = g_querySleep;
    g_querySleep = SleepThroughTheFlood;
    int64_t counter = 0;
    g_replyValue = 0;
    int result = SnmpGetCounter(nullptr, 0x0113, &counter, agent.Address().c_str(), "public", kIfInOctets2);
    g_querySleep = saved;
    device.join();

    EXPECT_EQ(1, result);
    EXPECT_EQ(12345678, counter);
    EXPECT_LT(peak - before, kCeilingBytes);
    EXPECT_FALSE(FileExists("vellarylog.txt"));
    printf("large: replies=%d heap_before=%lld heap_peak=%lld value=%lld\n", kReplies, before, peak,
           static_cast<long long>(counter));
}

}  // namespace
