#include "poll/poll.h"

#include <gtest/gtest.h>

#include "config/interfaces.h"
#include "config/v3users.h"
#include "poll/snmpquery.h"
#include "tests/poll/poll_fakes.h"

namespace {

class PollInterfaceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_fake = FakeWorld();
        memset(g_interfaces, 0, sizeof g_interfaces);
        rec = &g_interfaces[3];
        memcpy(rec->strName, "Uplink", 6);
        memcpy(rec->strIP, "127.0.0.1", 9);
        memcpy(rec->strCommunity, "public", 6);
        memcpy(rec->strOidIn, "1.3.6.1.2.1.2.2.1.10.2", 22);
        memcpy(rec->strOidOut, "1.3.6.1.2.1.2.2.1.16.2", 22);
        rec->linkSpeed = 1000000;
        rec->firstPoll = 1;
    }

    // One poll, 300 s after the previous one, with the given device state and answers.
    int Poll(int reachable, std::vector<int64_t> answers)
    {
        g_fake.now += 300;
        g_fake.spentMs = 0;
        g_fake.reachable = reachable;
        g_fake.answers = std::move(answers);
        g_fake.next = 0;
        return PollInterface(window, WM_TIMER_VALUE, 3);
    }

    void ExpectInvariants()
    {
        EXPECT_EQ(rec->inOctets, rec->prevInOctets);
        EXPECT_EQ(rec->outOctets, rec->prevOutOctets);
        EXPECT_EQ(rec->curTime, rec->prevTime);
        EXPECT_EQ(0, rec->firstPoll);
    }

    static constexpr unsigned WM_TIMER_VALUE = 0x0113;
    int windowObject = 0;
    void *window = &windowObject;
    InterfaceRecord *rec = nullptr;
};

TEST_F(PollInterfaceTest, FirstPollTakesTheBaselineOnly)
{
    rec->bpsIn = rec->pctIn = rec->bpsOut = rec->pctOut = 42;
    EXPECT_EQ(0, Poll(1, {1000000, 2000000}));
    EXPECT_EQ(1000000, rec->prevInOctets);
    EXPECT_EQ(2000000, rec->prevOutOctets);
    EXPECT_EQ(g_fake.now * 1000, rec->prevInTime);
    EXPECT_EQ(g_fake.now * 1000, rec->prevOutTime);
    EXPECT_EQ(42, rec->bpsIn);  // untouched until the second poll
    EXPECT_EQ(42, rec->pctOut);
    ExpectInvariants();

    EXPECT_EQ(1, Poll(1, {1000000 + 3750000, 2000000 + 7500000}));
    EXPECT_EQ(100000, rec->bpsIn);
    EXPECT_EQ(10, rec->pctIn);
    EXPECT_EQ(200000, rec->bpsOut);
    EXPECT_EQ(20, rec->pctOut);
    ExpectInvariants();
}

TEST_F(PollInterfaceTest, QueriesGoInboundThenOutboundWithTheRecordsValues)
{
    Poll(1, {5, 6});
    ASSERT_EQ(2u, g_fake.queries.size());
    EXPECT_EQ("1.3.6.1.2.1.2.2.1.10.2", g_fake.queries[0].oid);
    EXPECT_EQ("1.3.6.1.2.1.2.2.1.16.2", g_fake.queries[1].oid);
    for (const FakeQuery &q : g_fake.queries) {
        EXPECT_EQ("127.0.0.1", q.ip);
        EXPECT_EQ("public", q.community);
        EXPECT_EQ(window, q.window);
        EXPECT_EQ(WM_TIMER_VALUE, q.message);
        EXPECT_EQ(0, q.slotOnEntry);  // cleared before each query
    }
    ASSERT_EQ(1u, g_fake.probes.size());
    EXPECT_EQ(L"127.0.0.1", g_fake.probes[0]);
    EXPECT_TRUE(g_fake.log.empty());
}

TEST_F(PollInterfaceTest, FullWidthFieldsReachTheCallsWhole)
{
    memcpy(rec->strIP, "192.168.100.200.9", 17);  // 17 characters, no terminator
    memcpy(rec->strCommunity, "0123456789", 10);
    memset(rec->strOidIn, '1', 40);
    memcpy(rec->strName, "ABCDEFGHIJKLMNO", 15);
    Poll(1, {5, 6});
    ASSERT_EQ(1u, g_fake.probes.size());
    EXPECT_EQ(L"192.168.100.200.9", g_fake.probes[0]);
    EXPECT_EQ("192.168.100.200.9", g_fake.queries[0].ip);
    EXPECT_EQ("0123456789", g_fake.queries[0].community);
    EXPECT_EQ(std::string(40, '1'), g_fake.queries[0].oid);

    Poll(0, {});
    ASSERT_EQ(1u, g_fake.log.size());
    EXPECT_EQ("ABCDEFGHIJKLMNO,Not able to ping", g_fake.log[0]);
}

TEST_F(PollInterfaceTest, DeviceDownAtFirstPoll)
{
    g_replyValue.store(99);
    EXPECT_EQ(0, Poll(0, {}));
    EXPECT_EQ(0, g_replyValue.load());  // cleared even though no query followed
    EXPECT_TRUE(g_fake.queries.empty());
    ASSERT_EQ(1u, g_fake.log.size());
    EXPECT_EQ("Uplink,Not able to ping", g_fake.log[0]);
    EXPECT_EQ(0, rec->prevInTime);  // no baseline from a reading never made
    EXPECT_EQ(0, rec->prevOutTime);
    ExpectInvariants();

    // Back up: its counters become the baseline, no rate from the whole counter.
    EXPECT_EQ(1, Poll(1, {60000000, 70000000}));
    EXPECT_EQ(0, rec->bpsIn);
    EXPECT_EQ(0, rec->pctIn);
    EXPECT_EQ(0, rec->bpsOut);
    EXPECT_EQ(0, rec->pctOut);
    ExpectInvariants();

    // True rates from the next poll on.
    EXPECT_EQ(1, Poll(1, {60000000 + 3750000, 70000000 + 375000}));
    EXPECT_EQ(100000, rec->bpsIn);
    EXPECT_EQ(10000, rec->bpsOut);
    EXPECT_EQ(1, rec->pctOut);
}

TEST_F(PollInterfaceTest, DeviceDownLaterGivesZeroesAndMinusOne)
{
    Poll(1, {1000000, 1000000});
    Poll(1, {4750000, 4750000});
    ASSERT_EQ(100000, rec->bpsIn);
    EXPECT_EQ(-1, Poll(0, {}));
    EXPECT_EQ(0, rec->bpsIn);
    EXPECT_EQ(0, rec->pctIn);
    EXPECT_EQ(0, rec->bpsOut);
    EXPECT_EQ(0, rec->pctOut);
    EXPECT_EQ(1u, g_fake.log.size());
    ExpectInvariants();

    // The gap is spanned: 600 s of a steady 100,000 bit/s.
    EXPECT_EQ(1, Poll(1, {4750000 + 7500000, 4750000 + 7500000}));
    EXPECT_EQ(100000, rec->bpsIn);
    EXPECT_EQ(100000, rec->bpsOut);
}

TEST_F(PollInterfaceTest, OneFailedQueryAffectsOnlyItsDirection)
{
    Poll(1, {1000000, 1000000});
    EXPECT_EQ(1, Poll(1, {0, 4750000}));  // inbound got no value
    EXPECT_EQ(2u + 2u, g_fake.queries.size());  // the outbound query was still made
    EXPECT_EQ(0, rec->bpsIn);
    EXPECT_EQ(0, rec->pctIn);
    EXPECT_EQ(100000, rec->bpsOut);
    EXPECT_EQ(1000000, rec->inOctets);
    ExpectInvariants();
}

TEST_F(PollInterfaceTest, EachReadingsWidthDecidesWhatALowerReadingMeans)
{
    // The width comes with the reading; the objects named are not asked.
    memcpy(rec->strOidOut, "1.3.6.1.2.1.31.1.1.1.10.2", 25);  // ifHCOutOctets, yet read as 32 bits
    g_fake.bits = {64, 32};  // every poll: inbound 64 bits, outbound 32
    Poll(1, {4294000000, 4294000000});
    EXPECT_EQ(1, Poll(1, {1032704, 1032704}));
    EXPECT_EQ(0, rec->bpsIn);  // reset: no rate, a new baseline
    EXPECT_EQ(0, rec->pctIn);
    EXPECT_EQ(53333, rec->bpsOut);  // Counter32: one wrap
    EXPECT_EQ(5, rec->pctOut);
    ExpectInvariants();
    EXPECT_EQ(1, Poll(1, {1032704 + 3750000, 1032704}));
    EXPECT_EQ(100000, rec->bpsIn);
}

TEST_F(PollInterfaceTest, ClockSetBackGivesNoRate)
{
    Poll(1, {1000000, 1000000});
    g_fake.now -= 900;  // the next poll comes 300 s before the last one
    EXPECT_EQ(1, Poll(1, {4750000, 4750000}));
    EXPECT_EQ(0, rec->bpsIn);
    EXPECT_EQ(0, rec->pctIn);
    // ... and a new baseline from which the next poll measures.
    EXPECT_EQ(1, Poll(1, {4750000 + 3750000, 4750000}));
    EXPECT_EQ(100000, rec->bpsIn);
}

// A 32-bit reading below its baseline asks for sysUpTime, once per poll, the
// way the counter was asked; the answer tells a restart from a wrap.
TEST_F(PollInterfaceTest, ALowerReadingAsksTheDevicesUptime)
{
    struct Case {
        const char *name;
        std::vector<int64_t> answers;  // inbound, outbound, then sysUpTime when asked
        size_t queries;
        int measuredIn, measuredOut;
        int64_t bpsIn, bpsOut;
    } cases[] = {
        {"both fell: one question, a restart", {1032704, 1000, 100}, 3, 0, 0, 0, 0},
        {"up for 30 days: one wrap", {1032704, 8750000, 259200000}, 3, 1, 1, 53333, 100000},
        {"no answer: one wrap", {1032704, 8750000, 0}, 3, 1, 1, 53333, 100000},
        {"nothing fell: nothing more asked", {4294375000, 8750000}, 2, 1, 1, 10000, 100000},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        Poll(1, {4294000000, 5000000});
        EXPECT_EQ(1, Poll(1, c.answers));
        ASSERT_EQ(2 + c.queries, g_fake.queries.size());
        EXPECT_EQ(c.measuredIn, rec->measuredIn);
        EXPECT_EQ(c.measuredOut, rec->measuredOut);
        EXPECT_EQ(c.bpsIn, rec->bpsIn);
        EXPECT_EQ(c.bpsOut, rec->bpsOut);
        if (c.queries == 3) {
            const FakeQuery &q = g_fake.queries[4];
            EXPECT_EQ("1.3.6.1.2.1.1.3.0", q.oid);
            EXPECT_EQ("public", q.community);
            EXPECT_EQ(g_fake.queries[2].translateMode, q.translateMode);
            EXPECT_EQ(0, q.slotOnEntry);
        }
        ExpectInvariants();
        // Each reading is the next baseline.
        EXPECT_EQ(1, Poll(1, {c.answers[0] + 375000, c.answers[1] + 375000}));
        EXPECT_EQ(10000, rec->bpsIn);
        EXPECT_EQ(10000, rec->bpsOut);
    }
}

TEST_F(PollInterfaceTest, DirectionsAskedInTwoVersionsAskTheUptimeInEach)
{
    // ifHCInOctets answered in 32 bits (SNMPv2c), ifOutOctets (SNMPv1): both fall.
    memcpy(rec->strOidIn, "1.3.6.1.2.1.31.1.1.1.6.2", 25);
    Poll(1, {4294000000, 4294000000});
    Poll(1, {1000, 1000, 259200000, 100});  // up for 30 days over SNMPv2c, 1 s over SNMPv1
    ASSERT_EQ(6u, g_fake.queries.size());
    EXPECT_EQ(g_fake.queries[2].translateMode, g_fake.queries[4].translateMode);
    EXPECT_EQ(g_fake.queries[3].translateMode, g_fake.queries[5].translateMode);
    EXPECT_NE(g_fake.queries[4].translateMode, g_fake.queries[5].translateMode);
    EXPECT_EQ(1, rec->measuredIn);   // wrapped
    EXPECT_EQ(0, rec->measuredOut);  // restarted
}

TEST_F(PollInterfaceTest, SilenceIsLoggedOnceWhenItStartsAndOnceWhenItEnds)
{
    Poll(1, {1000000, 1000000});
    Poll(1, {0, 0});  // silent
    Poll(1, {0, 0});
    Poll(0, {});  // no probe answer: nothing said of SNMP
    Poll(1, {0, 0});
    EXPECT_EQ(0, rec->measuredIn);
    EXPECT_EQ(0, rec->measuredOut);
    EXPECT_EQ(1, Poll(1, {1000000 + 5 * 3750000, 0}));  // the inbound counter answers
    EXPECT_EQ(1, rec->measuredIn);
    EXPECT_EQ(100000, rec->bpsIn);  // the true average over the whole gap
    EXPECT_EQ(0, rec->measuredOut);
    Poll(1, {0, 0});
    EXPECT_EQ((std::vector<std::string>{"Uplink,SNMP no answer", "Uplink,Not able to ping", "Uplink,SNMP answer again",
                                        "Uplink,SNMP no answer"}),
              g_fake.log);
}

TEST_F(PollInterfaceTest, ReadingsAreTimedWhenTheirGetWentOut)
{
    g_fake.answeredMs = 200;
    g_fake.unansweredMs = 4200;
    Poll(1, {1000000, 1000000});
    // The inbound query waits in vain: the outbound GET goes out 4 s later than before.
    Poll(1, {0, 1000000 + 3800000});
    EXPECT_EQ(3800000, rec->deltaOutOctets);
    EXPECT_EQ(304000, rec->deltaOutMs);
    EXPECT_EQ(100000, rec->bpsOut);
    EXPECT_EQ(0, rec->deltaInOctets);
    EXPECT_EQ(0, rec->deltaInMs);
}

}  // namespace

// A record whose community is the label of a bad line of vellary-v3.cfg is not
// polled: no probe, no query, no line; its row stays yellow, then red.
TEST_F(PollInterfaceTest, ARecordNamingABadLabelIsNotPolled)
{
    const char users[] = "core,mon,SHA,authpass1,DES,privpass1\n";
    char errors[V3_ERRORS_CHARS];
    int whole = 0;
    g_v3UserCount = ScanV3Users(users, strlen(users), g_v3Users, MAX_V3_USERS, errors, sizeof errors, &whole);
    memcpy(rec->strCommunity, "core\0\0", 6);
    EXPECT_EQ(0, Poll(1, {5, 6}));
    EXPECT_EQ(-1, Poll(1, {7, 8}));
    EXPECT_TRUE(g_fake.probes.empty());
    EXPECT_TRUE(g_fake.queries.empty());
    EXPECT_TRUE(g_fake.log.empty());
    EXPECT_EQ(0, rec->bpsIn);
    g_v3UserCount = 0;
}
