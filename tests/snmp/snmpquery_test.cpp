// SnmpGetCounter and its callback against a scripted agent. The waits go
// through the sleep seam: the test counts them, and at a chosen step the agent
// answers and the test waits (in real time, briefly) for the reply to land.
#include "poll/snmpquery.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "config/v3users.h"
#include "tests/poll/query_sleep.h"
#include "tests/snmp/agent.h"
#include "tests/snmp/datagrams.h"
#include "tests/snmp/refusals.h"
#include "tests/support/files.h"

using namespace vsnmp;

namespace {

const unsigned int kWmTimer = 0x0113;
const int kLandMs = 5000;  // the longest a delivered reply may take to show

std::vector<unsigned int> g_sleeps;
std::function<void(size_t step)> g_onSleep;

void CountingSleep(unsigned int milliseconds)
{
    g_sleeps.push_back(milliseconds);
    if (g_onSleep)
        g_onSleep(g_sleeps.size());
}

const std::vector<unsigned int> kFullWait = {200, 500, 500, 500, 500, 500, 500, 500, 500};

class SnmpQuery : public InTempDir {
protected:
    void SetUp() override
    {
        InTempDir::SetUp();
        ASSERT_TRUE(agent_.Start()) << "no free address for the agent";
        g_replyValue = 0;
        savedSleep_ = g_querySleep;
        g_querySleep = CountingSleep;
        g_sleeps.clear();
        g_onSleep = nullptr;
    }

    void TearDown() override
    {
        g_onSleep = nullptr;
        g_querySleep = savedSleep_;
        SetRefusals(0);
        // The query ended its own use of the stack: nothing is left to clean up.
        EXPECT_EQ(SNMPAPI_FAILURE, SnmpCleanup());
        InTempDir::TearDown();
    }

    int Query(int64_t *counter, const std::string &community = "public", const std::string &oid = kIfInOctets2,
              int *bits = nullptr)
    {
        return SnmpGetCounter(nullptr, kWmTimer, counter, agent_.Address().c_str(), community.c_str(), oid.c_str(),
                              bits);
    }

    // At the given sleep, the agent takes the request and sends the replies; the
    // sleep then lasts until a value is in the slot or the log holds logLines lines.
    void AnswerAt(size_t step, std::vector<std::string> replies, size_t logLines = 0)
    {
        g_onSleep = [this, step, replies, logLines](size_t n) {
            if (n != step)
                return;
            ASSERT_TRUE(agent_.Receive(&request_, kLandMs));
            for (const auto &reply : replies)
                agent_.SendTo(request_, reply);
            WaitFor(
                [logLines] { return g_replyValue.load() != 0 || (logLines > 0 && LogEntries().size() >= logLines); },
                kLandMs);
        };
    }

    ScriptedAgent agent_;
    Datagram request_;
    void (*savedSleep_)(unsigned int) = nullptr;
};

// A reply the callback cannot use, sent last: once its line is logged, every
// datagram sent before it has been handled.
const std::string kMarker = Hex("30");

}  // namespace

TEST_F(SnmpQuery, ValueAtOnceAfterOneSleepAndTheRequestIsExact)
{
    AnswerAt(1, {Response(Hex("41 02 04 D2"))});
    int64_t counter = 0;
    EXPECT_EQ(1, Query(&counter));
    EXPECT_EQ(1234, counter);
    EXPECT_EQ(std::vector<unsigned int>{200}, g_sleeps);
    EXPECT_FALSE(FileExists("vellarylog.txt"));
    EXPECT_EQ("30 28 02 01 00 04 06 70 75 62 6C 69 63 A0 1B 02 01 01 02 01 00 02 01 00 30 10 30 0E 06 0A 2B 06 01 "
              "02 01 02 02 01 0A 02 05 00",
              ToHex(request_.bytes));
    // Sent once: nothing follows the request.
    Datagram again;
    EXPECT_FALSE(agent_.Receive(&again, 0));
}

TEST_F(SnmpQuery, VersionFollowsTheObject)
{
    // Columns 6 to 13 of the ifXTable, with an index, go as SNMPv2c; everything
    // else as SNMPv1, whose bytes the test above pins.
    const struct {
        const char *oid;
        int version;
    } cases[] = {
        {kHcInOctets1, 1},
        {"1.3.6.1.2.1.31.1.1.1.13.1000001", 1},
        {"1.3.6.1.2.1.31.1.1.1.06.1", 1},  // read as column 6, as the stack reads it
        {"1.3.6.1.2.1.31.1.1.1.5.1", 0},
        {"1.3.6.1.2.1.31.1.1.1.14.1", 0},
        {"1.3.6.1.2.1.31.1.1.1.6", 0},
        {"1.3.6.1.2.1.31.1.1.2.6.1", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.oid);
        int64_t counter = 77;
        EXPECT_EQ(0, Query(&counter, "public", c.oid));
        ASSERT_TRUE(agent_.Receive(&request_, kLandMs));
        EXPECT_EQ("02 01 0" + std::to_string(c.version), ToHex(request_.bytes.substr(2, 3)));
        if (c.oid == kHcInOctets1) {
            EXPECT_EQ("30 29 02 01 01 04 06 70 75 62 6C 69 63 A0 1C 02 01 01 02 01 00 02 01 00 30 11 30 0F 06 0B 2B "
                      "06 01 02 01 1F 01 01 01 06 01 05 00",
                      ToHex(request_.bytes));
        }
    }
}

TEST_F(SnmpQuery, ReplyAfterOneSecondEndsTheThirdSleep)
{
    AnswerAt(3, {Response(Hex("41 02 04 D2"))});
    int64_t counter = 0;
    EXPECT_EQ(1, Query(&counter));
    EXPECT_EQ(1234, counter);
    EXPECT_EQ((std::vector<unsigned int>{200, 500, 500}), g_sleeps);
}

TEST_F(SnmpQuery, NoReplyWaitsInFullAndLeavesTheCounter)
{
    int64_t counter = 77;
    EXPECT_EQ(0, Query(&counter));
    EXPECT_EQ(77, counter);
    EXPECT_EQ(kFullWait, g_sleeps);
    EXPECT_FALSE(FileExists("vellarylog.txt"));
    ASSERT_TRUE(agent_.Receive(&request_, kLandMs));
    EXPECT_EQ(42u, request_.bytes.size());
}

TEST_F(SnmpQuery, EmptyCommunity)
{
    AnswerAt(1, {Response(Hex("41 01 05"))});
    int64_t counter = 0;
    EXPECT_EQ(1, Query(&counter, ""));
    EXPECT_EQ(5, counter);
    EXPECT_EQ("30 22 02 01 00 04 00 A0 1B", ToHex(request_.bytes.substr(0, 9)));
}

TEST_F(SnmpQuery, NumbersAreWidenedWithoutSign)
{
    const struct {
        const char *name;
        const char *value;
        int64_t expected;
    } cases[] = {
        {"Counter32 4294967295", "41 05 00 FF FF FF FF", 4294967295},
        {"INTEGER -1", "02 01 FF", 4294967295},
        {"INTEGER -2147483648", "02 04 80 00 00 00", 2147483648},
        {"INTEGER 2147483647", "02 04 7F FF FF FF", 2147483647},
        {"Gauge32 10000000", "42 03 98 96 80", 10000000},
        {"TimeTicks 1", "43 01 01", 1},
        {"Counter32 without its leading 00", "41 04 FF FF FF FF", 4294967295},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        g_replyValue = 0;
        g_sleeps.clear();
        AnswerAt(1, {Response(Hex(c.value))});
        int64_t counter = 0;
        EXPECT_EQ(1, Query(&counter));
        EXPECT_EQ(c.expected, counter);
        EXPECT_EQ(std::vector<unsigned int>{200}, g_sleeps);
    }
}

TEST_F(SnmpQuery, TheValuesSyntaxGivesItsWidth)
{
    // Whatever the object: a Counter32 of an HC object is a 32-bit reading.
    const struct {
        const char *datagram;  // a case of the table
        int bits;
    } cases[] = {
        {"valid Counter32 1234", 32},
        {"SNMPv2c Counter64 9300000000", 64},
        {"SNMPv2c Counter32 of an HC object", 32},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.datagram);
        const DatagramCase *d = std::find_if(std::begin(kDatagramCases), std::end(kDatagramCases),
                                             [&c](const DatagramCase &k) { return std::string(k.name) == c.datagram; });
        ASSERT_NE(std::end(kDatagramCases), d);
        g_replyValue = 0;
        AnswerAt(1, {Hex(d->hex)});
        int64_t counter = 0;
        int bits = 0;
        EXPECT_EQ(1, Query(&counter, "public", d->queryOid ? d->queryOid : kIfInOctets2, &bits));
        EXPECT_EQ(c.bits, bits);
        g_sleeps.clear();
    }
}

TEST_F(SnmpQuery, ValueZeroAndNonNumbersAreNoReply)
{
    // None of these is a 32-bit number other than 0: the slot stays 0 and the
    // query waits in full. The octet string's length (5) and the Counter64's
    // halves must not pass for a value.
    const char *values[] = {"41 01 00", "02 01 00", "05 00", "04 05 61 62 63 64 65", "06 03 2B 06 01",
                            "80 00", "81 00", "82 00", "46 09 00 00 00 00 07 00 00 00 08", "40 04 7F 00 00 01"};
    size_t lines = 0;
    for (const char *value : values) {
        SCOPED_TRACE(value);
        g_replyValue = 0;
        g_sleeps.clear();
        AnswerAt(1, {Response(Hex(value)), kMarker}, ++lines);
        int64_t counter = 77;
        EXPECT_EQ(0, Query(&counter));
        EXPECT_EQ(77, counter);
        EXPECT_EQ(kFullWait, g_sleeps);
        EXPECT_EQ(std::vector<std::string>(lines, "SnmpRecvMsg failure,"), LogEntries());
    }
}

TEST_F(SnmpQuery, NoSuchNameIsLogged)
{
    AnswerAt(1, {Response(Hex("05 00"), SNMP_ERROR_NOSUCHNAME, 1)}, 1);
    int64_t counter = 77;
    EXPECT_EQ(0, Query(&counter));
    EXPECT_EQ(77, counter);
    EXPECT_EQ(std::vector<std::string>{"No such name.,"}, LogEntries());
}

TEST_F(SnmpQuery, DatagramTable)
{
    for (const auto &c : kDatagramCases) {
        SCOPED_TRACE(c.name);
        g_replyValue = 0;
        g_sleeps.clear();
        std::vector<std::string> expected = LogEntries();
        int64_t counter = 77;
        std::string oid = c.queryOid ? c.queryOid : kIfInOctets2;
        if (c.queryValue != 0) {
            AnswerAt(1, {Hex(c.hex)});
            EXPECT_EQ(1, Query(&counter, "public", oid));
            EXPECT_EQ(c.queryValue, counter);
        } else {
            if (c.queryLog)
                expected.push_back(std::string(c.queryLog) + ",");
            expected.push_back("SnmpRecvMsg failure,");  // the marker's
            AnswerAt(1, {Hex(c.hex), kMarker}, expected.size());
            EXPECT_EQ(0, Query(&counter, "public", oid));
            EXPECT_EQ(77, counter);
        }
        EXPECT_EQ(expected, LogEntries());
    }
}

TEST_F(SnmpQuery, EveryPrefixOfAReplyIsLoggedAsReceiveFailure)
{
    std::string whole = Hex(kDatagramCases[0].hex);
    for (size_t n = 0; n < whole.size(); n++) {
        SCOPED_TRACE(n);
        g_sleeps.clear();
        AnswerAt(1, {whole.substr(0, n)}, n + 1);
        int64_t counter = 77;
        EXPECT_EQ(0, Query(&counter));
        EXPECT_EQ(77, counter);
        EXPECT_EQ(n + 1, LogEntries().size());
    }
    EXPECT_EQ(std::vector<std::string>(whole.size(), "SnmpRecvMsg failure,"), LogEntries());
}

TEST_F(SnmpQuery, LateReplyNeverReachesTheNextQuery)
{
    int64_t counter = 77;
    EXPECT_EQ(0, Query(&counter));
    Datagram first;
    ASSERT_TRUE(agent_.Receive(&first, kLandMs));

    // During the next query the first one's reply arrives at its old port, then
    // this query's own noSuchName reply.
    g_sleeps.clear();
    g_onSleep = [this, first](size_t n) {
        if (n != 1)
            return;
        ASSERT_TRUE(agent_.Receive(&request_, kLandMs));
        agent_.SendTo(first, Response(Hex("41 02 03 09")));
        agent_.SendTo(request_, Response(Hex("05 00"), SNMP_ERROR_NOSUCHNAME, 1));
        WaitFor([] { return LogEntries().size() >= 1; }, kLandMs);
    };
    EXPECT_EQ(0, Query(&counter));
    EXPECT_EQ(77, counter);
    EXPECT_EQ(0, g_replyValue.load());
    EXPECT_EQ(std::vector<std::string>{"No such name.,"}, LogEntries());
}

TEST_F(SnmpQuery, RepliesFromAnotherSourceAreNeverDelivered)
{
    ScriptedAgent otherPort;
    ASSERT_TRUE(otherPort.StartOnOtherPort(agent_.Addr()));
    ScriptedAgent otherAddress;
    ASSERT_TRUE(otherAddress.StartOnOtherAddress(agent_.Addr()));
    g_onSleep = [&](size_t n) {
        if (n != 1)
            return;
        ASSERT_TRUE(agent_.Receive(&request_, kLandMs));
        otherPort.SendTo(request_, Response(Hex("41 02 03 09")));
        otherAddress.SendTo(request_, Response(Hex("41 02 03 0A")));
        agent_.SendTo(request_, Response(Hex("05 00"), SNMP_ERROR_NOSUCHNAME, 1));
        WaitFor([] { return LogEntries().size() >= 1; }, kLandMs);
    };
    int64_t counter = 77;
    EXPECT_EQ(0, Query(&counter));
    EXPECT_EQ(77, counter);
    EXPECT_EQ(std::vector<std::string>{"No such name.,"}, LogEntries());
}

TEST_F(SnmpQuery, StartupFailureReturnsAtOnce)
{
    SetRefusals(REFUSE_STARTUP);
    int64_t counter = 77;
    EXPECT_EQ(0, Query(&counter));
    EXPECT_EQ(77, counter);
    EXPECT_TRUE(g_sleeps.empty());
    EXPECT_EQ(std::vector<std::string>{"SNMP Start up failure,"}, LogEntries());
    Datagram d;
    EXPECT_FALSE(agent_.Receive(&d, 0));
}

TEST_F(SnmpQuery, SendFailureIsLoggedAndWaitsInFull)
{
    // A refused send, and a receiver thread that cannot be had, fail the send step.
    for (unsigned refusal : {REFUSE_SEND, REFUSE_THREAD}) {
        SCOPED_TRACE(refusal);
        SetRefusals(refusal);
        ::remove("vellarylog.txt");
        g_sleeps.clear();
        int64_t counter = 77;
        EXPECT_EQ(0, Query(&counter));
        EXPECT_EQ(77, counter);
        EXPECT_EQ(kFullWait, g_sleeps);
        EXPECT_EQ(std::vector<std::string>{"SNMP Send Message failure,"}, LogEntries());
        Datagram d;
        EXPECT_FALSE(agent_.Receive(&d, 0));
    }
}

TEST_F(SnmpQuery, RequestsFromTheDevicesOwnPortAreNoReplies)
{
    // A GetRequest, GetNextRequest or SetRequest carrying a number, sent from the
    // device's address and port, is dropped unannounced: no value, no log line.
    std::vector<std::string> requests;
    for (uint8_t type : {0xA0, 0xA1, 0xA3}) {
        std::string pdu = Hex("02 01 01 02 01 00 02 01 00") +
                          Tlv(0x30, Tlv(0x30, Hex("06 0A 2B 06 01 02 01 02 02 01 0A 02 41 02 04 D2")));
        requests.push_back(Tlv(0x30, Hex("02 01 00") + Tlv(0x04, "public") + Tlv(type, pdu)));
    }
    requests.push_back(kMarker);
    AnswerAt(1, requests, 1);
    int64_t counter = 77;
    EXPECT_EQ(0, Query(&counter));
    EXPECT_EQ(77, counter);
    EXPECT_EQ(std::vector<std::string>{"SnmpRecvMsg failure,"}, LogEntries());
}

TEST_F(SnmpQuery, RejectedAddressAndObjectIdentifier)
{
    int64_t counter = 77;
    EXPECT_EQ(0, SnmpGetCounter(nullptr, kWmTimer, &counter, "router.example", "public", kIfInOctets2));
    EXPECT_EQ(kFullWait, g_sleeps);
    EXPECT_EQ((std::vector<std::string>{"SnmpStrToEntity failure,", "SNMP Send Message failure,"}), LogEntries());

    // A bad object identifier leaves an empty list: the request goes out without
    // a binding, and the agent's answer has none to read.
    g_sleeps.clear();
    AnswerAt(1, {Tlv(0x30, Hex("02 01 00 04 06 70 75 62 6C 69 63 A2 0B 02 01 01 02 01 00 02 01 00 30 00"))}, 5);
    EXPECT_EQ(0, Query(&counter, "public", "1.3.6.x"));
    EXPECT_EQ(77, counter);
    EXPECT_EQ((std::vector<std::string>{"SnmpStrToEntity failure,", "SNMP Send Message failure,",
                                        "SnmpStrToOid failure,", "SnmpCreateVbl failure,", "SnmpGetVb failure,"}),
              LogEntries());
    EXPECT_EQ("30 18 02 01 00 04 06 70 75 62 6C 69 63 A0 0B 02 01 01 02 01 00 02 01 00 30 00", ToHex(request_.bytes));
}

TEST_F(SnmpQuery, CallbackIgnoresErrorNotices)
{
    g_replyValue = 5;
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpReplyCallback(nullptr, nullptr, kWmTimer, 1, 0, nullptr));
    EXPECT_EQ(5, g_replyValue.load());
    EXPECT_FALSE(FileExists("vellarylog.txt"));
    // A notice of no message at all: logged, nothing read or stored.
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpReplyCallback(nullptr, nullptr, kWmTimer, 0, 0, nullptr));
    EXPECT_EQ(5, g_replyValue.load());
    EXPECT_EQ(std::vector<std::string>{"SnmpRecvMsg failure,"}, LogEntries());
    g_replyValue = 0;
}

// SNMPv3: a community that is a label of vellary-v3.cfg. Each test has a user of
// its own, since what the stack learns of an engine lasts for the process.
class SnmpV3Query : public SnmpQuery {
protected:
    void SetUp() override
    {
        SnmpQuery::SetUp();
        agent3_.boots = 7;
        agent3_.time = 4242;
    }

    void TearDown() override
    {
        g_v3UserCount = 0;
        SnmpQuery::TearDown();
    }

    // The users' file with one user, label "lab", and the agent's side of it.
    void User(const std::string &name)
    {
        std::string line = "lab," + name + ",SHA-256,authpass1,AES,authpass2\nbad," + name + ",SHA-256,authpass1,DES,x\n";
        char errors[V3_ERRORS_CHARS];
        int whole = 0;
        g_v3UserCount = ScanV3Users(line.data(), line.size(), g_v3Users, MAX_V3_USERS, errors, sizeof errors, &whole);
        ASSERT_TRUE(agent3_.Init("80 00 1F 88 80 11 22 33 44 55 66 77 88", vsnmp::usm::AUTH_SHA256, "authpass1",
                                 vsnmp::usm::PRIV_AES128, "authpass2"));
    }

    // At the first sleep the agent answers the discovery (when one comes) and
    // then the request with replies(request); the sleep lasts until a value or
    // logLines lines are there.
    void AnswerV3(std::function<std::vector<std::string>(const std::string &request)> replies, size_t logLines = 0)
    {
        g_onSleep = [this, replies, logLines](size_t n) {
            if (n != 1)
                return;
            ASSERT_TRUE(agent_.Receive(&request_, kLandMs));
            vsnmp::v3::Received msg;
            vsnmp::v3::ScopedPdu scoped;
            ASSERT_TRUE(agent3_.Open(request_.bytes, &msg, &scoped));
            if (msg.header.userName.empty()) {
                discoveries_++;
                agent_.SendTo(request_, agent3_.Report(request_.bytes, 4));
                ASSERT_TRUE(agent_.Receive(&request_, kLandMs));
            }
            for (const auto &reply : replies(request_.bytes))
                agent_.SendTo(request_, reply);
            WaitFor(
                [logLines] { return g_replyValue.load() != 0 || (logLines > 0 && LogEntries().size() >= logLines); },
                kLandMs);
        };
    }

    V3Agent agent3_;
    int discoveries_ = 0;
};

TEST_F(SnmpV3Query, DiscoveryOnceThenOneRequestAndNoLabelOnTheWire)
{
    User("first");
    AnswerV3([this](const std::string &request) {
        return std::vector<std::string>{agent3_.Response(request, Hex("41 02 04 D2"))};
    });
    int64_t counter = 0;
    EXPECT_EQ(1, Query(&counter, "lab"));
    EXPECT_EQ(1234, counter);
    EXPECT_EQ(std::vector<unsigned int>{200}, g_sleeps);
    EXPECT_EQ(1, discoveries_);
    vsnmp::v3::Received msg;
    vsnmp::v3::ScopedPdu scoped;
    ASSERT_TRUE(agent3_.Open(request_.bytes, &msg, &scoped));
    EXPECT_EQ("first", std::string(msg.header.userName.begin(), msg.header.userName.end()));
    EXPECT_EQ(std::string::npos, request_.bytes.find("lab"));

    // The next query: the engine is known, one request, one answer.
    g_replyValue = 0;
    g_sleeps.clear();
    AnswerV3([this](const std::string &request) {
        return std::vector<std::string>{agent3_.Response(request, Hex("41 02 04 D3"))};
    });
    EXPECT_EQ(1, Query(&counter, "lab"));
    EXPECT_EQ(1235, counter);
    EXPECT_EQ(1, discoveries_);
    EXPECT_FALSE(FileExists("vellarylog.txt"));
}

// Each failure gives its one line with the device's address, however often it
// comes within the query, and no value.
TEST_F(SnmpV3Query, FailuresAreLoggedOncePerQuery)
{
    struct {
        const char *name;
        uint32_t stat;  // a report, or 0 for an altered response
        const char *line;
    } const cases[] = {
        {"unknown user", 3, "SNMPv3 unknown user"},
        {"wrong digests", 5, "SNMPv3 wrong password"},
        {"unsupported security level", 1, "SNMPv3 unsupported security level"},
        {"decryption error", 6, "SNMPv3 decryption error"},
        {"altered response", 0, "SNMPv3 authentication failure"},
    };
    int users = 0;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ::remove("vellarylog.txt");
        g_sleeps.clear();
        User("failing" + std::to_string(users++));
        AnswerV3([this, &c](const std::string &request) {
            std::string reply = c.stat ? agent3_.Report(request, c.stat) : agent3_.Response(request, Hex("41 02 04 D2"));
            if (!c.stat)
                reply[reply.size() - 1] ^= 0x01;
            return std::vector<std::string>{reply, reply};
        }, 1);
        int64_t counter = 77;
        EXPECT_EQ(0, Query(&counter, "lab"));
        EXPECT_EQ(77, counter);
        EXPECT_EQ(kFullWait, g_sleeps);
        EXPECT_EQ(std::vector<std::string>{std::string(c.line) + "," + agent_.Address()}, LogEntries());
    }
}

TEST_F(SnmpV3Query, ABadLinesLabelIsNeverSent)
{
    User("held");
    int64_t counter = 77;
    EXPECT_EQ(0, Query(&counter, "bad"));
    EXPECT_EQ(77, counter);
    EXPECT_TRUE(g_sleeps.empty());
    Datagram nothing;
    EXPECT_FALSE(agent_.Receive(&nothing, 200));
    EXPECT_FALSE(FileExists("vellarylog.txt"));
}
