// A 10 Gbit/s link polled whole: the real poll, query, callback and stack against
// the scripted agent, which answers the 64-bit counters over SNMPv2c. Only the
// clock (300 s between polls) and the probe are faked; the query's sleeps wait
// for the agent's reply instead of sleeping.
#include <gtest/gtest.h>

#include "config/interfaces.h"
#include "poll/poll.h"
#include "poll/snmpquery.h"
#include "tests/poll/poll_fakes.h"
#include "tests/poll/query_sleep.h"
#include "tests/snmp/agent.h"
#include "tests/support/files.h"

namespace {

const int kLandMs = 5000;

ScriptedAgent *g_agent;
std::vector<uint64_t> g_values;  // the agent's readings, one per query, in order
size_t g_nextValue;
uint8_t g_valueTag;  // their syntax: Counter64, or what a faulty agent sends instead
std::vector<std::string> g_requests;

// A GetResponse to a request of ours (short-form lengths throughout): the same
// version, community, request id and name, holding valueTlv.
std::string ReplyTo(const std::string &request, const std::string &valueTlv)
{
    size_t community = 5;                               // 30 LL 02 01 VV 04 ...
    size_t pdu = community + 2 + static_cast<unsigned char>(request[community + 1]);
    size_t name = pdu + 2 + 9 + 4;                      // A0 LL, id/status/index, 30 LL 30 LL
    std::string nameTlv = request.substr(name, 2 + static_cast<unsigned char>(request[name + 1]));
    std::string header = request.substr(2, pdu - 2);   // version and community
    return Tlv(0x30, header + Tlv(0xA2, request.substr(pdu + 2, 9) + Tlv(0x30, Tlv(0x30, nameTlv + valueTlv))));
}

// The query's first wait: the agent takes the request and answers with its next
// reading, and the wait lasts until the reading is in the slot.
void AnswerFirstWait(unsigned int milliseconds)
{
    if (milliseconds != 200)
        return;
    Datagram request;
    ASSERT_TRUE(g_agent->Receive(&request, kLandMs));
    g_requests.push_back(request.bytes);
    ASSERT_LT(g_nextValue, g_values.size());
    g_agent->SendTo(request, ReplyTo(request.bytes, UnsignedTlv(g_valueTag, g_values[g_nextValue++])));
    WaitFor([] { return g_replyValue.load() != 0; }, kLandMs);
}

class FastLink : public InTempDir {
protected:
    void SetUp() override
    {
        InTempDir::SetUp();
        ASSERT_TRUE(agent_.Start()) << "no free address for the agent";
        g_agent = &agent_;
        g_fake = FakeWorld();
        g_values.clear();
        g_nextValue = 0;
        g_valueTag = 0x46;
        g_requests.clear();
        savedSleep_ = g_querySleep;
        g_querySleep = AnswerFirstWait;

        memset(g_interfaces, 0, sizeof g_interfaces);
        rec = &g_interfaces[0];
        memcpy(rec->strName, "Core", 4);
        memcpy(rec->strIP, agent_.Address().data(), agent_.Address().size());
        memcpy(rec->strCommunity, "public", 6);
        memcpy(rec->strOidIn, "1.3.6.1.2.1.31.1.1.1.6.1", 24);
        memcpy(rec->strOidOut, "1.3.6.1.2.1.31.1.1.1.10.1", 25);
        rec->linkSpeed = INT64_C(10000000000);
        rec->firstPoll = 1;
    }

    void TearDown() override
    {
        g_querySleep = savedSleep_;
        g_agent = nullptr;
        InTempDir::TearDown();
    }

    ScriptedAgent agent_;
    void (*savedSleep_)(unsigned int) = nullptr;
    InterfaceRecord *rec = nullptr;
};

TEST_F(FastLink, SteadyNinePointThreeGbitsThroughWrapsAndAReset)
{
    // 9.3 Gbit/s for 300 s is 348,750,000,000 octets: the low 32 bits pass 2^32 81
    // times. 1.5 Gbit/s outbound is 56,250,000,000 octets.
    const uint64_t kIn = 348750000000, kOut = 56250000000;
    const uint64_t in0 = UINT64_C(0x00000123FFFFFF00), out0 = UINT64_C(500000000000);
    const uint64_t inReset = 37500000;  // cleared, then a second of traffic
    struct Poll {
        const char *name;
        uint64_t in, out;
        int result;
        int64_t bpsIn;
        int32_t pctIn;
        int64_t bpsOut;
        int32_t pctOut;
    } polls[] = {
        {"baseline", in0, out0, 0, 0, 0, 0, 0},
        {"steady", in0 + kIn, out0 + kOut, 1, 9300000000, 93, 1500000000, 15},
        {"inbound counter reset", inReset, out0 + 2 * kOut, 1, 0, 0, 1500000000, 15},
        {"steady again", inReset + kIn, out0 + 3 * kOut, 1, 9300000000, 93, 1500000000, 15},
    };
    for (const Poll &p : polls) {
        g_values.push_back(p.in);
        g_values.push_back(p.out);
    }
    for (const Poll &p : polls) {
        SCOPED_TRACE(p.name);
        g_fake.now += 300;
        EXPECT_EQ(p.result, PollInterface(nullptr, 0x113, 0));
        EXPECT_EQ(p.bpsIn, rec->bpsIn);
        EXPECT_EQ(p.pctIn, rec->pctIn);
        EXPECT_EQ(p.bpsOut, rec->bpsOut);
        EXPECT_EQ(p.pctOut, rec->pctOut);
        EXPECT_EQ(static_cast<int64_t>(p.in), rec->inOctets);
    }
    // Every query went as SNMPv2c, and nothing was logged.
    ASSERT_EQ(2 * sizeof polls / sizeof polls[0], g_requests.size());
    for (const std::string &request : g_requests)
        EXPECT_EQ("02 01 01", ToHex(request.substr(2, 3)));
    EXPECT_FALSE(FileExists("vellarylog.txt")) << ReadFile("vellarylog.txt");
}

TEST_F(FastLink, ACounter32OfAnHcObjectWrapsOnce)
{
    // The agent answers the HC objects in 32 bits: a lower reading is one wrap, as
    // for any Counter32, not a reset, when the device has been up all along (its
    // sysUpTime, asked once for both, over SNMPv2c as the counters).
    g_valueTag = 0x41;
    g_values = {4294000000, 4294000000, 1032704, 1032704, 259200000};
    rec->linkSpeed = 1000000;
    for (int poll = 0; poll < 2; poll++) {
        g_fake.now += 300;
        PollInterface(nullptr, 0x113, 0);
    }
    EXPECT_EQ(53333, rec->bpsIn);
    EXPECT_EQ(5, rec->pctIn);
    EXPECT_EQ(53333, rec->bpsOut);
    ASSERT_EQ(5u, g_requests.size());
    EXPECT_EQ("02 01 01", ToHex(g_requests[4].substr(2, 3)));
    EXPECT_NE(std::string::npos, ToHex(g_requests[4]).find("06 08 2B 06 01 02 01 01 03 00 05 00"));
    EXPECT_FALSE(FileExists("vellarylog.txt")) << ReadFile("vellarylog.txt");
}

}  // namespace
