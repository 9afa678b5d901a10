// SnmpGetCounter against a real agent: snmpd on a loopback address of our own,
// with a generated configuration, read back with snmpget for reference.
#include <gtest/gtest.h>
#include <net/if.h>

#include <string>
#include <vector>

#include "poll/snmpquery.h"
#include "tests/snmp/agent.h"
#include "tests/support/files.h"
#include "tests/support/snmpd.h"

namespace {

const char *const kCommunity = SnmpdAgent::kCommunity;

std::vector<unsigned int> g_sleeps;
int g_firstWaitMs = 0;

// The first wait lasts until a value or a log line arrives (at most
// g_firstWaitMs of real time); the others are only counted.
void CountingSleep(unsigned int milliseconds)
{
    g_sleeps.push_back(milliseconds);
    if (g_sleeps.size() == 1)
        WaitFor([] { return g_replyValue.load() != 0 || FileExists("vellarylog.txt"); }, g_firstWaitMs);
}

// One snmpd for the whole program, on the first of 127.0.0.41-49 it can bind.
class Snmpd : public ::testing::Environment {
public:
    void SetUp() override { agent.Start(41, 49); }
    void TearDown() override { agent.Stop(); }
    SnmpdAgent agent;
};

SnmpdAgent *g_snmpd = &static_cast<Snmpd *>(::testing::AddGlobalTestEnvironment(new Snmpd))->agent;

class RealAgent : public InTempDir {
protected:
    void SetUp() override
    {
        InTempDir::SetUp();
        ASSERT_FALSE(g_snmpd->Address().empty()) << "snmpd did not start on 127.0.0.41-49";
        g_replyValue = 0;
        saved_ = g_querySleep;
        g_querySleep = CountingSleep;
        g_sleeps.clear();
        g_firstWaitMs = 5000;
        index_ = std::to_string(if_nametoindex("lo"));
    }

    void TearDown() override
    {
        g_querySleep = saved_;
        InTempDir::TearDown();
    }

    int Query(int64_t *counter, const std::string &oid, const char *community = kCommunity)
    {
        return SnmpGetCounter(nullptr, 0x113, counter, g_snmpd->Address().c_str(), community, oid.c_str());
    }

    void (*saved_)(unsigned int) = nullptr;
    std::string index_;
};

}  // namespace

TEST_F(RealAgent, SpeedOfLoopbackMatchesSnmpget)
{
    std::string oid = "1.3.6.1.2.1.2.2.1.5." + index_;
    std::string reference = g_snmpd->Get(oid);
    ASSERT_FALSE(reference.empty());
    int64_t counter = 0;
    EXPECT_EQ(1, Query(&counter, oid));
    EXPECT_EQ(reference, std::to_string(counter));
    EXPECT_EQ(std::vector<unsigned int>{200}, g_sleeps);
    EXPECT_FALSE(FileExists("vellarylog.txt"));
}

TEST_F(RealAgent, InOctetsLieBetweenTwoReadings)
{
    // The 32-bit counter over SNMPv1, the 64-bit one over SNMPv2c, which is the
    // only version snmpd answers it to.
    for (std::string column : {"1.3.6.1.2.1.2.2.1.10.", "1.3.6.1.2.1.31.1.1.1.6."}) {
        std::string oid = column + index_;
        SCOPED_TRACE(oid);
        g_replyValue = 0;
        g_sleeps.clear();
        int64_t before = std::stoll(g_snmpd->Get(oid));
        int64_t counter = 0;
        EXPECT_EQ(1, Query(&counter, oid));
        int64_t after = std::stoll(g_snmpd->Get(oid));
        EXPECT_LE(before, counter);
        EXPECT_LE(counter, after);
    }
    EXPECT_FALSE(FileExists("vellarylog.txt"));
}

TEST_F(RealAgent, MissingObjectIsNoSuchName)
{
    // SNMPv1's noSuchName, and SNMPv2c's noSuchInstance logged the same way.
    for (const char *oid : {"1.3.6.1.2.1.2.2.1.10.999999", "1.3.6.1.2.1.31.1.1.1.6.999999"}) {
        SCOPED_TRACE(oid);
        ::remove("vellarylog.txt");
        g_replyValue = 0;
        g_sleeps.clear();
        int64_t counter = 77;
        EXPECT_EQ(0, Query(&counter, oid));
        EXPECT_EQ(77, counter);
        EXPECT_EQ(",No such name.,\r\n", ReadFile("vellarylog.txt").substr(19));
    }
}

TEST_F(RealAgent, WrongCommunityGetsNoReply)
{
    g_firstWaitMs = 1000;
    int64_t counter = 77;
    EXPECT_EQ(0, Query(&counter, "1.3.6.1.2.1.2.2.1.5." + index_, "wrong"));
    EXPECT_EQ(77, counter);
    EXPECT_EQ((std::vector<unsigned int>{200, 500, 500, 500, 500, 500, 500, 500, 500}), g_sleeps);
    EXPECT_FALSE(FileExists("vellarylog.txt"));
}
