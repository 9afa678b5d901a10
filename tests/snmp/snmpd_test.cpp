// SnmpGetCounter against a real agent: snmpd on a loopback address of our own,
// with a generated configuration, read back with snmpget for reference.
#include <gtest/gtest.h>
#include <net/if.h>

#include <string>
#include <vector>

#include "config/v3users.h"
#include "poll/snmpquery.h"
#include "tests/poll/query_sleep.h"
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

// SNMPv3 users of the agent, made by createUser, and vellary-v3.cfg's lines for
// them: one of each kind of security, and the failures an administrator meets.
const char kCreateUsers[] = "createUser sha256 SHA-256 authpass256 AES privpass256\nrouser sha256 priv\n"
                            "createUser sha512 SHA-512 authpass512 AES-256 privpass512\nrouser sha512 priv\n"
                            "createUser shac SHA authpassshac AES-256-C privpassshac\nrouser shac priv\n"
                            "createUser md5 MD5 authpassmd5 AES privpassmd5\nrouser md5 priv\n"
                            "createUser noPriv SHA authpassnopriv\nrouser noPriv auth\n";
const char kV3Users[] = "sha256,sha256,SHA-256,authpass256,AES,privpass256\n"
                        "sha512,sha512,SHA-512,authpass512,AES-256,privpass512\n"
                        "shac,shac,SHA,authpassshac,AES-256C,privpassshac\n"
                        "md5,md5,MD5,authpassmd5,AES,privpassmd5\n"
                        "nopriv,noPriv,SHA,authpassnopriv,,\n"
                        "wrongpw,sha256,SHA-256,authpass999,AES,privpass256\n"
                        "nobody,nobody,SHA-256,authpass256,AES,privpass256\n"
                        "privasked,noPriv,SHA,authpassnopriv,AES,privpassnone\n";

// One snmpd for the whole program, on the first of 127.0.0.41-49 it can bind.
class Snmpd : public ::testing::Environment {
public:
    void SetUp() override { agent.Start(41, 49, nullptr, kCreateUsers); }
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

class RealAgentV3 : public RealAgent {
protected:
    void SetUp() override
    {
        RealAgent::SetUp();
        char errors[V3_ERRORS_CHARS];
        int whole = 0;
        g_v3UserCount = ScanV3Users(kV3Users, strlen(kV3Users), g_v3Users, MAX_V3_USERS, errors, sizeof errors, &whole);
        ASSERT_STREQ("", errors);
    }

    void TearDown() override
    {
        g_v3UserCount = 0;
        RealAgent::TearDown();
    }
};

TEST_F(RealAgentV3, EveryKindOfSecurityReadsTheCounter)
{
    std::string oid = "1.3.6.1.2.1.31.1.1.1.6." + index_;
    for (const char *label : {"sha256", "sha512", "shac", "md5", "nopriv"}) {
        SCOPED_TRACE(label);
        g_replyValue = 0;
        g_sleeps.clear();
        int64_t before = std::stoll(g_snmpd->Get(oid));
        int64_t counter = 0;
        EXPECT_EQ(1, Query(&counter, oid, label));
        int64_t after = std::stoll(g_snmpd->Get(oid));
        EXPECT_LE(before, counter);
        EXPECT_LE(counter, after);
        EXPECT_EQ(std::vector<unsigned int>{200}, g_sleeps);
    }
    EXPECT_FALSE(FileExists("vellarylog.txt"));
}

TEST_F(RealAgentV3, FailuresGiveTheirLine)
{
    const struct {
        const char *label;
        const char *line;
    } cases[] = {
        {"wrongpw", "SNMPv3 wrong password"},
        {"nobody", "SNMPv3 unknown user"},
        {"privasked", "SNMPv3 unsupported security level"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        ::remove("vellarylog.txt");
        g_replyValue = 0;
        g_sleeps.clear();
        int64_t counter = 77;
        EXPECT_EQ(0, Query(&counter, "1.3.6.1.2.1.2.2.1.10." + index_, c.label));
        EXPECT_EQ(77, counter);
        EXPECT_EQ(std::string(",") + c.line + "," + g_snmpd->Address() + "\r\n", ReadFile("vellarylog.txt").substr(19));
    }
}
