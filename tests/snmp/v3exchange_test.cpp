// An SNMPv3 exchange against an agent played by the test with the same codec:
// discovery, the request it makes, reports, re-synchronisation, and the replies
// that must never be used. Time is the test's own, in seconds.
#include "snmp/v3exchange.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/snmp/agent.h"
#include "tests/snmp/datagrams.h"

using namespace vsnmp;
using namespace vsnmp::v3;

namespace {

const std::vector<uint32_t> kIfIn2Ids = {1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 2};

User TestUser()
{
    User u;
    u.name = "mon";
    u.auth = usm::AUTH_SHA256;
    u.authPassword = "authpass1";
    u.priv = usm::PRIV_AES128;
    u.privPassword = "authpass2";
    return u;
}

const char kCounter[] = "41 02 04 D2";

V3Agent MakeAgent(const std::string &engineHex = kSnmpdEngineId)
{
    V3Agent agent;
    EXPECT_TRUE(agent.Init(engineHex, usm::AUTH_SHA256, "authpass1", usm::PRIV_AES128, "authpass2"));
    return agent;
}

class V3Exchange : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine_ = engines_.Acquire(0x7F00001F, 161, TestUser());
        ASSERT_NE(nullptr, engine_);
        x_.pdu.pduType = ber::TAG_GET_REQUEST;
        x_.pdu.requestId = 1;
        ber::VarBind vb;
        vb.name = kIfIn2Ids;
        x_.pdu.bindings.push_back(vb);
    }

    Outcome Take(const std::string &d)
    {
        return engines_.Take(*engine_, x_, reinterpret_cast<const uint8_t *>(d.data()), d.size(), now_, &answer_,
                             &sent_, &failure_);
    }

    std::string Sent() const { return Str(sent_); }

    // Discovery and the request it brings; sent_ holds the request after.
    void Discover()
    {
        ASSERT_TRUE(engines_.Build(*engine_, x_, now_, &sent_));
        ASSERT_EQ(OUTCOME_RESEND, Take(agent_.Report(Sent(), 4)));
    }

    Engines engines_;
    Engine *engine_ = nullptr;
    Exchange x_;
    V3Agent agent_ = MakeAgent();
    int64_t now_ = 5000;
    std::vector<uint8_t> sent_;
    ber::Message answer_;
    Failure failure_ = FAILURE_NONE;
};

}  // namespace

TEST_F(V3Exchange, DiscoveryOnceThenOneRequestPerQuery)
{
    ASSERT_TRUE(engines_.Build(*engine_, x_, now_, &sent_));
    Received msg;
    ScopedPdu scoped;
    ASSERT_TRUE(agent_.Open(Sent(), &msg, &scoped));
    EXPECT_EQ(FLAG_REPORTABLE, msg.header.flags);
    EXPECT_TRUE(msg.header.engineId.empty());
    EXPECT_TRUE(msg.header.userName.empty());
    int32_t discoveryId = msg.header.msgId;

    ASSERT_EQ(OUTCOME_RESEND, Take(agent_.Report(Sent(), 4)));
    ASSERT_TRUE(agent_.Open(Sent(), &msg, &scoped));
    EXPECT_EQ(FLAG_REPORTABLE | FLAG_AUTH | FLAG_PRIV, msg.header.flags);
    EXPECT_NE(discoveryId, msg.header.msgId);
    EXPECT_EQ(agent_.boots, msg.header.boots);
    EXPECT_EQ(agent_.time, msg.header.time);
    EXPECT_EQ(agent_.engineId, Str(scoped.contextEngineId));
    EXPECT_TRUE(scoped.contextName.empty());
    ASSERT_EQ(1u, scoped.pdu.bindings.size());
    EXPECT_EQ(kIfIn2Ids, scoped.pdu.bindings[0].name);

    ASSERT_EQ(OUTCOME_DELIVER, Take(agent_.Response(Sent(), Hex(kCounter))));
    EXPECT_EQ(ber::TAG_GET_RESPONSE, answer_.pduType);
    EXPECT_EQ(OUTCOME_DROP, Take(agent_.Response(Sent(), Hex(kCounter)))) << "a second copy is not delivered again";

    // The next query, 60 s on, for the same user: the same entry (no password
    // hashing again), and straight to the request, with the engine's time moved on.
    now_ += 60;
    EXPECT_EQ(engine_, engines_.Acquire(0x7F00001F, 161, TestUser()));
    Exchange next = x_;
    next.done = false;
    ASSERT_TRUE(engines_.Build(*engine_, next, now_, &sent_));
    ASSERT_TRUE(agent_.Open(Sent(), &msg, &scoped));
    EXPECT_EQ(FLAG_REPORTABLE | FLAG_AUTH | FLAG_PRIV, msg.header.flags);
    EXPECT_EQ(agent_.time + 60, msg.header.time);
}

// A request sent again after a second of silence: an agent slower than that
// answers the first try only after the second went out.
TEST_F(V3Exchange, AnAnswerToAnEarlierTryCounts)
{
    Discover();
    std::string first = Sent();
    ASSERT_TRUE(engines_.Repeat(*engine_, x_, now_, &sent_));
    EXPECT_EQ(OUTCOME_DELIVER, Take(agent_.Response(first, Hex(kCounter))));
}

TEST_F(V3Exchange, ReportsEndTheExchangeWithTheirFailure)
{
    struct {
        uint32_t stat;
        Outcome outcome;
        Failure failure;
    } const cases[] = {
        {3, OUTCOME_FAIL, FAILURE_UNKNOWN_USER},
        {5, OUTCOME_FAIL, FAILURE_WRONG_DIGESTS},
        {1, OUTCOME_FAIL, FAILURE_UNSUPPORTED_SECURITY_LEVEL},
        {6, OUTCOME_FAIL, FAILURE_DECRYPTION_ERROR},
        {7, OUTCOME_DROP, FAILURE_NONE},  // no counter we know: the answer may still come
    };
    Discover();
    std::string request = Sent();
    for (const auto &c : cases) {
        x_.done = false;
        EXPECT_EQ(c.outcome, Take(agent_.Report(request, c.stat))) << c.stat;
        EXPECT_EQ(c.failure, failure_) << c.stat;
        // Nothing is used after a failure; otherwise the answer still is.
        EXPECT_EQ(c.outcome == OUTCOME_FAIL ? OUTCOME_DROP : OUTCOME_DELIVER,
                  Take(agent_.Response(request, Hex(kCounter))))
            << c.stat;
    }
}

TEST_F(V3Exchange, OneResynchronisationOnAnAuthenticNotInTimeWindowReport)
{
    Discover();
    agent_.boots = 4;  // the agent restarted meanwhile
    agent_.time = 7;
    ASSERT_EQ(OUTCOME_RESEND, Take(agent_.Report(Sent(), 2, FLAG_AUTH)));
    Received msg;
    ScopedPdu scoped;
    ASSERT_TRUE(agent_.Open(Sent(), &msg, &scoped));
    EXPECT_EQ(4, msg.header.boots);
    EXPECT_EQ(7, msg.header.time);
    EXPECT_EQ(OUTCOME_FAIL, Take(agent_.Report(Sent(), 2, FLAG_AUTH)));
    EXPECT_EQ(FAILURE_NOT_IN_TIME_WINDOW, failure_);
}

TEST_F(V3Exchange, AnUnauthenticatedTimeReportSetsNoClock)
{
    Discover();
    EXPECT_EQ(OUTCOME_FAIL, Take(agent_.Report(Sent(), 2)));
    EXPECT_EQ(FAILURE_NOT_IN_TIME_WINDOW, failure_);
    EXPECT_EQ(agent_.time, engine_->time);
}

TEST_F(V3Exchange, AChangedEngineIsLearntOnceMore)
{
    Discover();
    V3Agent replaced = MakeAgent("80 00 1F 88 80 00 00 00 00 00 00 00 01");
    ASSERT_EQ(OUTCOME_RESEND, Take(replaced.Report(Sent(), 4)));
    Received msg;
    ScopedPdu scoped;
    EXPECT_TRUE(replaced.Open(Sent(), &msg, &scoped)) << "the request under the new engine's keys";
    EXPECT_EQ(OUTCOME_FAIL, Take(replaced.Report(Sent(), 4)));
    EXPECT_EQ(FAILURE_UNKNOWN_ENGINE, failure_);
}

// Replies that are never used: each but the undecodable one is a failure the
// caller hears of, yet the exchange goes on waiting for the genuine one.
TEST_F(V3Exchange, RepliesThatAreNotUsed)
{
    Discover();
    std::string request = Sent();
    const uint8_t both = FLAG_AUTH | FLAG_PRIV;
    std::string altered = agent_.Response(request, Hex(kCounter));
    altered[altered.size() - 1] ^= 0x01;  // in the encrypted PDU, which the MAC covers
    std::string otherId = agent_.Response(request, Hex(kCounter));
    struct {
        const char *name;
        std::string reply;
        Outcome outcome;
        Failure failure;
    } const cases[] = {
        {"an altered byte", altered, OUTCOME_FAIL, FAILURE_AUTHENTICATION},
        {"without the security asked for", agent_.Response(request, Hex(kCounter), 0), OUTCOME_FAIL,
         FAILURE_AUTHENTICATION},
        {"151 s behind the engine's time", agent_.Response(request, Hex(kCounter), both, -151), OUTCOME_FAIL,
         FAILURE_NOT_IN_TIME_WINDOW},
        {"from an earlier boot", agent_.Response(request, Hex(kCounter), both, 0, -1), OUTCOME_FAIL,
         FAILURE_NOT_IN_TIME_WINDOW},
        {"not a datagram of SNMPv3", Hex("30 00"), OUTCOME_DROP, FAILURE_NONE},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.outcome, Take(c.reply)) << c.name;
        EXPECT_EQ(c.failure, failure_) << c.name;
    }
    // Another message ID: an answer to some other request.
    sent_.clear();
    ASSERT_TRUE(engines_.Build(*engine_, x_, now_, &sent_));
    EXPECT_EQ(OUTCOME_DROP, Take(otherId));
    // Within the window, still used.
    EXPECT_EQ(OUTCOME_DELIVER, Take(agent_.Response(Sent(), Hex(kCounter), FLAG_AUTH | FLAG_PRIV, -150)));
}
