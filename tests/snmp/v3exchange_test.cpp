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

// The agent's side: one engine, the same user, replies built with the codec.
struct Agent {
    std::vector<uint8_t> engineId;
    int32_t boots = 3, time = 1000;
    usm::Keys keys;
    uint8_t flags = FLAG_AUTH | FLAG_PRIV;

    explicit Agent(const std::string &engineHex = kSnmpdEngineId)
    {
        std::string e = Hex(engineHex);
        engineId.assign(e.begin(), e.end());
        usm::UserKeys user;
        EXPECT_TRUE(usm::MakeUserKeys(usm::AUTH_SHA256, "authpass1", usm::PRIV_AES128, "authpass2", &user));
        EXPECT_TRUE(usm::LocalizeKeys(user, engineId.data(), engineId.size(), &keys));
    }

    // Opens what the manager sent, as an agent would.
    bool Open(const std::vector<uint8_t> &d, Received *msg, ScopedPdu *scoped) const
    {
        return DecodeMessage(d.data(), d.size(), msg) == ber::BER_OK &&
               (!(msg->header.flags & FLAG_AUTH) || VerifyMac(d.data(), d.size(), *msg, keys)) &&
               OpenScopedPdu(*msg, keys, scoped) == ber::BER_OK;
    }

    std::vector<uint8_t> Reply(const std::vector<uint8_t> &request, uint8_t pduType, const std::vector<uint32_t> &name,
                               uint8_t replyFlags, int32_t replyBoots, int32_t replyTime) const
    {
        Received req;
        ScopedPdu in;
        // A request it cannot open still has a message ID to answer to.
        Open(request, &req, &in);
        Header h;
        h.msgId = req.header.msgId;
        h.flags = replyFlags;
        h.engineId = engineId;
        h.boots = replyBoots;
        h.time = replyTime;
        h.userName = req.header.userName;
        ScopedPdu out;
        out.contextEngineId = engineId;
        out.pdu.pduType = pduType;
        out.pdu.requestId = in.pdu.requestId;
        ber::VarBind vb;
        vb.name = name;
        out.pdu.bindings.push_back(vb);
        static const uint8_t kSalt[usm::SALT_SIZE] = {9, 9, 9, 9, 9, 9, 9, 9};
        std::vector<uint8_t> buf(4096);
        size_t len = 0;
        EXPECT_EQ(ber::BER_OK, EncodeMessage(h, out, keys, kSalt, buf.data(), buf.size(), &len));
        return std::vector<uint8_t>(buf.end() - static_cast<long>(len), buf.end());
    }

    std::vector<uint8_t> Report(const std::vector<uint8_t> &request, uint32_t stat, uint8_t replyFlags = 0) const
    {
        return Reply(request, ber::TAG_REPORT, {1, 3, 6, 1, 6, 3, 15, 1, 1, stat, 0}, replyFlags, boots, time);
    }

    // The encoder writes NULL values only; the exchange hands the PDU on as it is.
    std::vector<uint8_t> Response(const std::vector<uint8_t> &request, int32_t timeOffset = 0, int32_t bootsOffset = 0) const
    {
        return Reply(request, ber::TAG_GET_RESPONSE, kIfIn2Ids, flags, boots + bootsOffset, time + timeOffset);
    }
};

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

    Outcome Take(const std::vector<uint8_t> &d)
    {
        return engines_.Take(*engine_, x_, d.data(), d.size(), now_, &answer_, &sent_, &failure_);
    }

    // Discovery and the request it brings; sent_ holds the request after.
    void Discover()
    {
        ASSERT_TRUE(engines_.Build(*engine_, x_, now_, &sent_));
        ASSERT_EQ(OUTCOME_RESEND, Take(agent_.Report(sent_, 4)));
    }

    Engines engines_;
    Engine *engine_ = nullptr;
    Exchange x_;
    Agent agent_;
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
    ASSERT_TRUE(agent_.Open(sent_, &msg, &scoped));
    EXPECT_EQ(FLAG_REPORTABLE, msg.header.flags);
    EXPECT_TRUE(msg.header.engineId.empty());
    EXPECT_TRUE(msg.header.userName.empty());
    int32_t discoveryId = msg.header.msgId;

    ASSERT_EQ(OUTCOME_RESEND, Take(agent_.Report(sent_, 4)));
    ASSERT_TRUE(agent_.Open(sent_, &msg, &scoped));
    EXPECT_EQ(FLAG_REPORTABLE | FLAG_AUTH | FLAG_PRIV, msg.header.flags);
    EXPECT_NE(discoveryId, msg.header.msgId);
    EXPECT_EQ(agent_.boots, msg.header.boots);
    EXPECT_EQ(agent_.time, msg.header.time);
    EXPECT_EQ(agent_.engineId, scoped.contextEngineId);
    EXPECT_TRUE(scoped.contextName.empty());
    ASSERT_EQ(1u, scoped.pdu.bindings.size());
    EXPECT_EQ(kIfIn2Ids, scoped.pdu.bindings[0].name);

    ASSERT_EQ(OUTCOME_DELIVER, Take(agent_.Response(sent_)));
    EXPECT_EQ(ber::TAG_GET_RESPONSE, answer_.pduType);
    EXPECT_EQ(OUTCOME_DROP, Take(agent_.Response(sent_))) << "a second copy is not delivered again";

    // The next query, 60 s on, for the same user: the same entry (no password
    // hashing again), and straight to the request, with the engine's time moved on.
    now_ += 60;
    EXPECT_EQ(engine_, engines_.Acquire(0x7F00001F, 161, TestUser()));
    Exchange next = x_;
    next.done = false;
    ASSERT_TRUE(engines_.Build(*engine_, next, now_, &sent_));
    ASSERT_TRUE(agent_.Open(sent_, &msg, &scoped));
    EXPECT_EQ(FLAG_REPORTABLE | FLAG_AUTH | FLAG_PRIV, msg.header.flags);
    EXPECT_EQ(agent_.time + 60, msg.header.time);
}

TEST_F(V3Exchange, ReportsEndTheExchangeWithTheirFailure)
{
    struct {
        uint32_t stat;
        Failure failure;
    } const cases[] = {
        {3, FAILURE_UNKNOWN_USER},
        {5, FAILURE_WRONG_DIGESTS},
        {1, FAILURE_UNSUPPORTED_SECURITY_LEVEL},
        {6, FAILURE_DECRYPTION_ERROR},
    };
    Discover();
    std::vector<uint8_t> request = sent_;
    for (const auto &c : cases) {
        x_.done = false;
        EXPECT_EQ(OUTCOME_FAIL, Take(agent_.Report(request, c.stat))) << c.stat;
        EXPECT_EQ(c.failure, failure_) << c.stat;
        EXPECT_EQ(OUTCOME_DROP, Take(agent_.Response(request))) << "nothing is used after a failure";
    }
}

TEST_F(V3Exchange, OneResynchronisationOnAnAuthenticNotInTimeWindowReport)
{
    Discover();
    agent_.boots = 4;  // the agent restarted meanwhile
    agent_.time = 7;
    ASSERT_EQ(OUTCOME_RESEND, Take(agent_.Report(sent_, 2, FLAG_AUTH)));
    Received msg;
    ScopedPdu scoped;
    ASSERT_TRUE(agent_.Open(sent_, &msg, &scoped));
    EXPECT_EQ(4, msg.header.boots);
    EXPECT_EQ(7, msg.header.time);
    EXPECT_EQ(OUTCOME_FAIL, Take(agent_.Report(sent_, 2, FLAG_AUTH)));
    EXPECT_EQ(FAILURE_NOT_IN_TIME_WINDOW, failure_);
}

TEST_F(V3Exchange, AnUnauthenticatedTimeReportSetsNoClock)
{
    Discover();
    EXPECT_EQ(OUTCOME_FAIL, Take(agent_.Report(sent_, 2)));
    EXPECT_EQ(FAILURE_NOT_IN_TIME_WINDOW, failure_);
    EXPECT_EQ(agent_.time, engine_->time);
}

TEST_F(V3Exchange, AChangedEngineIsLearntOnceMore)
{
    Discover();
    Agent replaced("80 00 1F 88 80 00 00 00 00 00 00 00 01");
    ASSERT_EQ(OUTCOME_RESEND, Take(replaced.Report(sent_, 4)));
    Received msg;
    ScopedPdu scoped;
    EXPECT_TRUE(replaced.Open(sent_, &msg, &scoped)) << "the request under the new engine's keys";
    EXPECT_EQ(OUTCOME_FAIL, Take(replaced.Report(sent_, 4)));
    EXPECT_EQ(FAILURE_UNKNOWN_ENGINE, failure_);
}

// Replies that are never used; the exchange goes on waiting for the genuine one.
TEST_F(V3Exchange, RepliesThatAreNotUsed)
{
    Discover();
    std::vector<uint8_t> request = sent_;
    std::vector<uint8_t> altered = agent_.Response(request);
    altered[altered.size() - 1] ^= 0x01;  // in the encrypted PDU, which the MAC covers
    Agent plain;
    plain.flags = 0;
    std::vector<uint8_t> otherId = agent_.Response(request);
    struct {
        const char *name;
        std::vector<uint8_t> reply;
        Outcome outcome;
        Failure failure;
    } const cases[] = {
        {"an altered byte", altered, OUTCOME_FAIL, FAILURE_AUTHENTICATION},
        {"without the security asked for", plain.Response(request), OUTCOME_FAIL, FAILURE_AUTHENTICATION},
        {"151 s behind the engine's time", agent_.Response(request, -151), OUTCOME_FAIL, FAILURE_NOT_IN_TIME_WINDOW},
        {"from an earlier boot", agent_.Response(request, 0, -1), OUTCOME_FAIL, FAILURE_NOT_IN_TIME_WINDOW},
        {"not a datagram of SNMPv3", std::vector<uint8_t>{0x30, 0x00}, OUTCOME_DROP, FAILURE_NONE},
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
    EXPECT_EQ(OUTCOME_DELIVER, Take(agent_.Response(sent_, -150)));
}
