// The stack's calls against a scripted agent: handles, the one datagram, who
// may reply, and what SnmpCleanup guarantees.
#include "snmp/winsnmp.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tests/snmp/agent.h"
#include "tests/snmp/datagrams.h"
#include "tests/snmp/refusals.h"
#include "tests/support/procstat.h"
#include "snmp/udp.h"

#ifndef _WIN32
#include <pthread.h>
#include <signal.h>
#endif

using namespace vsnmp;

namespace {

// What the callbacks saw, shared with the receiver thread.
struct Seen {
    std::atomic<int> calls{0};
    std::atomic<int> nonZeroWParam{0};
    std::atomic<bool> onCallerThread{false};
    std::atomic<uint32_t> lastValue{0};
    std::atomic<int> failedReceives{0};
    std::thread::id caller;
};

// Takes the message apart as the query's callback does, remembering the value.
SNMPAPI_STATUS Record(HSNMP_SESSION hSession, HWND, UINT, WPARAM wParam, LPARAM, LPVOID lpClientData)
{
    Seen *seen = static_cast<Seen *>(lpClientData);
    if (std::this_thread::get_id() == seen->caller)
        seen->onCallerThread = true;
    if (wParam != 0)
        seen->nonZeroWParam++;
    HSNMP_ENTITY src = nullptr, dst = nullptr;
    HSNMP_CONTEXT context = nullptr;
    HSNMP_PDU pdu = nullptr;
    if (SnmpRecvMsg(hSession, &src, &dst, &context, &pdu) != SNMPAPI_SUCCESS) {
        seen->failedReceives++;
    } else {
        HSNMP_VBL vbl = nullptr;
        smiOID name;
        smiVALUE value;
        if (SnmpGetPduData(pdu, nullptr, nullptr, nullptr, nullptr, &vbl) == SNMPAPI_SUCCESS &&
            SnmpGetVb(vbl, 1, &name, &value) == SNMPAPI_SUCCESS)
            seen->lastValue = value.value.uNumber;
        SnmpFreeVbl(vbl);
        SnmpFreePdu(pdu);
        SnmpFreeEntity(src);
        SnmpFreeEntity(dst);
    }
    seen->calls++;
    return SNMPAPI_SUCCESS;
}

class SnmpStack : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(agent_.Start());
        seen_.caller = std::this_thread::get_id();
        ASSERT_EQ(SNMPAPI_SUCCESS, SnmpStartup(nullptr, nullptr, nullptr, nullptr, nullptr));
        // The mode outlives a clean-up; every test starts from SNMPv1.
        ASSERT_EQ(SNMPAPI_SUCCESS, SnmpSetTranslateMode(SNMPAPI_UNTRANSLATED_V1));
    }

    void TearDown() override
    {
        SetRefusals(0);
        while (SnmpCleanup() == SNMPAPI_SUCCESS) {
        }
    }

    // Session, entities, context and the GET of ifInOctets.2, sent to the agent.
    HSNMP_SESSION SendGet(SNMPAPI_CALLBACK callback = Record, SNMPAPI_STATUS *sent = nullptr)
    {
        HSNMP_SESSION session = SnmpCreateSession(nullptr, 0x113, callback, &seen_);
        smiOID oid;
        EXPECT_EQ(11u, SnmpStrToOid(kIfInOctets2, &oid));
        HSNMP_VBL vbl = SnmpCreateVbl(session, &oid, nullptr);
        HSNMP_PDU pdu = SnmpCreatePdu(session, SNMP_PDU_GET, 1, 0, 0, vbl);
        HSNMP_ENTITY src = SnmpStrToEntity(session, "127.0.0.1");
        HSNMP_ENTITY dst = SnmpStrToEntity(session, agent_.Address().c_str());
        smiOCTETS community = {6, reinterpret_cast<smiLPBYTE>(const_cast<char *>("public"))};
        HSNMP_CONTEXT context = SnmpStrToContext(session, &community);
        EXPECT_NE(nullptr, session);
        EXPECT_NE(nullptr, vbl);
        EXPECT_NE(nullptr, pdu);
        EXPECT_NE(nullptr, src);
        EXPECT_NE(nullptr, dst);
        EXPECT_NE(nullptr, context);
        SNMPAPI_STATUS status = SnmpSendMsg(session, src, dst, context, pdu);
        if (sent)
            *sent = status;
        else
            EXPECT_EQ(SNMPAPI_SUCCESS, status);
        return session;
    }

    ScriptedAgent agent_;
    Seen seen_;
    Datagram request_;
};

}  // namespace

TEST(SnmpNames, OneRuleForIPv4Text)
{
    // The stack's entities and the probe's target both go by this rule.
    const struct {
        const char *text;
        uint32_t addr;  // 0: refused
    } cases[] = {
        {"127.0.0.1", 0x7F000001}, {"0.0.0.1", 1}, {"255.255.255.255", 0xFFFFFFFF}, {"10.0.100.9", 0x0A006409},
        {"", 0}, {"1.2.3", 0}, {"1.2.3.4.5", 0}, {"256.1.1.1", 0}, {"1.2.3.1000", 0}, {"01.2.3.4", 0},
        {"1.2.3.00", 0}, {" 1.2.3.4", 0}, {"1.2.3.4 ", 0}, {"1..2.3", 0}, {"1.2.3.", 0}, {"a.b.c.d", 0},
        {"1.2.3.-4", 0}, {"+1.2.3.4", 0}, {"localhost", 0}, {"1.2.3.4\n", 0}, {"::1", 0}, {"0x7f.0.0.1", 0},
        {"127.0.0.1/8", 0}, {"1.2.3.0004", 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.text);
        uint32_t addr = 0, wideAddr = 0;
        std::wstring wide(c.text, c.text + strlen(c.text));
        EXPECT_EQ(c.addr != 0, net::ParseIPv4(c.text, &addr));
        EXPECT_EQ(c.addr != 0, net::ParseIPv4(wide.c_str(), &wideAddr));
        EXPECT_EQ(c.addr, addr);
        EXPECT_EQ(c.addr, wideAddr);
    }
    uint32_t addr = 0;
    EXPECT_FALSE(net::ParseIPv4(static_cast<const char *>(nullptr), &addr));
    // Look-alikes of digits outside ASCII: full-width "127".
    EXPECT_FALSE(net::ParseIPv4(L"\xFF11\xFF12\xFF17.0.0.1", &addr));

    ASSERT_EQ(SNMPAPI_SUCCESS, SnmpStartup(nullptr, nullptr, nullptr, nullptr, nullptr));
    HSNMP_SESSION session = SnmpCreateSession(nullptr, 0, Record, nullptr);
    EXPECT_NE(nullptr, SnmpStrToEntity(session, "127.0.0.1"));
    EXPECT_EQ(nullptr, SnmpStrToEntity(session, "01.2.3.4"));
    EXPECT_EQ(nullptr, SnmpStrToEntity(session, nullptr));
    EXPECT_EQ(nullptr, SnmpStrToEntity(nullptr, "127.0.0.1"));
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpCleanup());
}

TEST(SnmpNames, ObjectIdentifierText)
{
    ASSERT_EQ(SNMPAPI_SUCCESS, SnmpStartup(nullptr, nullptr, nullptr, nullptr, nullptr));
    smiOID oid = {0, nullptr};
    ASSERT_EQ(11u, SnmpStrToOid("1.3.6.1.2.1.2.2.1.10.2", &oid));
    EXPECT_EQ((std::vector<uint32_t>{1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 2}), std::vector<uint32_t>(oid.ptr, oid.ptr + oid.len));
    EXPECT_EQ(3u, SnmpStrToOid("1.3.4294967295", &oid));
    EXPECT_EQ(4294967295u, oid.ptr[2]);
    EXPECT_EQ(2u, SnmpStrToOid("2.999", &oid));
    std::string longest = "1.3";
    for (int k = 2; k < 128; k++)
        longest += ".1";
    EXPECT_EQ(128u, SnmpStrToOid(longest.c_str(), &oid));
    smiOID untouched = {0, nullptr};
    for (const std::string &bad : std::vector<std::string>{"", "1", "1.3.", ".1.3", "1..3", "3.1", "1.40", "1.3.4294967296", "1.3.x", "1.3 ",
                            "1.3.6\n", longest + ".1"}) {
        EXPECT_EQ(SNMPAPI_FAILURE, SnmpStrToOid(bad.c_str(), &untouched)) << bad;
        EXPECT_EQ(0u, untouched.len);
    }
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpCleanup());
    // Without a use of the stack nothing is converted.
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpStrToOid("1.3", &oid));
}

TEST(SnmpLifecycle, TheLastCleanupFreesEverything)
{
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpCleanup());
    EXPECT_EQ(nullptr, SnmpCreateSession(nullptr, 0, Record, nullptr));

    smiUINT32 major = 0, minor = 9, level = 0, translate = 9, retransmit = 9;
    ASSERT_EQ(SNMPAPI_SUCCESS, SnmpStartup(&major, &minor, &level, &translate, &retransmit));
    EXPECT_EQ(2u, major);
    EXPECT_EQ(0u, minor);
    ASSERT_EQ(SNMPAPI_SUCCESS, SnmpStartup(nullptr, nullptr, nullptr, nullptr, nullptr));
    HSNMP_SESSION session = SnmpCreateSession(nullptr, 0, Record, nullptr);
    HSNMP_ENTITY entity = SnmpStrToEntity(session, "127.0.0.2");
    HSNMP_VBL vbl = SnmpCreateVbl(session, nullptr, nullptr);
    HSNMP_PDU pdu = SnmpCreatePdu(session, SNMP_PDU_GET, 1, 0, 0, vbl);
    ASSERT_NE(nullptr, pdu);

    // Each start-up needs its clean-up; only the last one frees.
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpCleanup());
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpSetPort(entity, 1161));
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpCleanup());
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpSetPort(entity, 161));
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpFreePdu(pdu));
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpFreeVbl(vbl));
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpCleanup());

    // And it starts again.
    ASSERT_EQ(SNMPAPI_SUCCESS, SnmpStartup(nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_NE(nullptr, SnmpCreateSession(nullptr, 0, Record, nullptr));
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpCleanup());
}

TEST(SnmpLifecycle, HandlesAreCheckedForTheirKind)
{
    ASSERT_EQ(SNMPAPI_SUCCESS, SnmpStartup(nullptr, nullptr, nullptr, nullptr, nullptr));
    HSNMP_SESSION session = SnmpCreateSession(nullptr, 0, Record, nullptr);
    HSNMP_ENTITY entity = SnmpStrToEntity(session, "127.0.0.1");
    HSNMP_PDU asPdu = reinterpret_cast<HSNMP_PDU>(entity);
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpFreePdu(asPdu));
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpGetPduData(asPdu, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(nullptr, SnmpCreatePdu(session, 0xA4, 1, 0, 0, nullptr));  // no v1 traps
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpSetPort(entity, 65536));
    smiOID empty = {0, nullptr};
    EXPECT_EQ(nullptr, SnmpCreateVbl(session, &empty, nullptr));
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpFreeEntity(entity));
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpFreeEntity(entity));
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpCleanup());
}

TEST_F(SnmpStack, OneDatagramAndTheReplyOnAThreadOfItsOwn)
{
    SendGet();
    ASSERT_TRUE(agent_.Receive(&request_, 5000));
    EXPECT_EQ(Hex("30 28 02 01 00 04 06 70 75 62 6C 69 63 A0 1B 02 01 01 02 01 00 02 01 00 30 10 30 0E 06 0A 2B 06 01 "
                  "02 01 02 02 01 0A 02 05 00"),
              request_.bytes);
    agent_.SendTo(request_, Response(Hex("41 02 04 D2")));
    ASSERT_TRUE(WaitFor([this] { return seen_.calls.load() == 1; }, 5000));
    EXPECT_EQ(1234u, seen_.lastValue.load());
    EXPECT_EQ(0, seen_.nonZeroWParam.load());
    EXPECT_FALSE(seen_.onCallerThread.load());
    // Never repeated, whatever the retransmit mode.
    Datagram again;
    EXPECT_FALSE(agent_.Receive(&again, 200));
}

TEST_F(SnmpStack, ReceivedMessageIsHandedOverWhole)
{
    struct Got {
        std::atomic<bool> done{false};
        int type = 0, errorStatus = 0, errorIndex = 0;
        int32_t requestId = 0;
        std::string community;
        std::vector<uint32_t> name;
        smiUINT32 syntax = 0;
        std::string octets;
    };
    static Got got;
    auto callback = [](HSNMP_SESSION hSession, HWND, UINT, WPARAM, LPARAM, LPVOID) -> SNMPAPI_STATUS {
        HSNMP_ENTITY src = nullptr, dst = nullptr;
        HSNMP_CONTEXT context = nullptr;
        HSNMP_PDU pdu = nullptr;
        HSNMP_VBL vbl = nullptr;
        smiOID name;
        smiVALUE value;
        if (SnmpRecvMsg(hSession, &src, &dst, &context, &pdu) == SNMPAPI_SUCCESS &&
            SnmpGetPduData(pdu, &got.type, &got.requestId, &got.errorStatus, &got.errorIndex, &vbl) ==
                SNMPAPI_SUCCESS &&
            SnmpGetVb(vbl, 2, &name, &value) == SNMPAPI_SUCCESS) {
            got.name.assign(name.ptr, name.ptr + name.len);
            got.syntax = value.syntax;
            got.octets.assign(reinterpret_cast<char *>(value.value.string.ptr), value.value.string.len);
            smiOID unused;
            smiVALUE unusedValue;
            if (SnmpGetVb(vbl, 3, &unused, &unusedValue) == SNMPAPI_SUCCESS ||
                SnmpGetVb(vbl, 0, &unused, &unusedValue) == SNMPAPI_SUCCESS)
                got.syntax = 0;
        }
        got.done = true;
        return SNMPAPI_SUCCESS;
    };
    SendGet(callback);
    ASSERT_TRUE(agent_.Receive(&request_, 5000));
    std::string vb1 = Tlv(0x30, Hex("06 02 2B 06 41 01 07"));
    std::string vb2 = Tlv(0x30, Hex("06 03 2B 06 07") + Tlv(0x04, "eth0"));
    agent_.SendTo(request_, Tlv(0x30, Hex("02 01 00") + Tlv(0x04, "other") +
                                          Tlv(0xA2, Hex("02 01 05 02 01 03 02 01 02") + Tlv(0x30, vb1 + vb2))));
    ASSERT_TRUE(WaitFor([] { return got.done.load(); }, 5000));
    EXPECT_EQ(SNMP_PDU_RESPONSE, got.type);
    EXPECT_EQ(5, got.requestId);
    EXPECT_EQ(3, got.errorStatus);
    EXPECT_EQ(2, got.errorIndex);
    EXPECT_EQ((std::vector<uint32_t>{1, 3, 6, 7}), got.name);
    EXPECT_EQ(SNMP_SYNTAX_OCTETS, got.syntax);
    EXPECT_EQ("eth0", got.octets);
}

TEST_F(SnmpStack, UndecodableDatagramFailsOnlyItsOwnDelivery)
{
    SendGet();
    ASSERT_TRUE(agent_.Receive(&request_, 5000));
    agent_.SendTo(request_, Hex("30 03 02 01 00"));
    agent_.SendTo(request_, Response(Hex("41 01 07")));
    ASSERT_TRUE(WaitFor([this] { return seen_.calls.load() == 2; }, 5000));
    EXPECT_EQ(1, seen_.failedReceives.load());
    EXPECT_EQ(7u, seen_.lastValue.load());
}

TEST_F(SnmpStack, OnlyTheDestinationMayReply)
{
    ScriptedAgent otherPort;
    ASSERT_TRUE(otherPort.StartOnOtherPort(agent_.Addr()));
    ScriptedAgent otherAddress;
    ASSERT_TRUE(otherAddress.StartOnOtherAddress(agent_.Addr()));
    SendGet();
    ASSERT_TRUE(agent_.Receive(&request_, 5000));
    otherPort.SendTo(request_, Response(Hex("41 01 01")));
    otherAddress.SendTo(request_, Response(Hex("41 01 02")));
    agent_.SendTo(request_, Response(Hex("41 01 03")));
    ASSERT_TRUE(WaitFor([this] { return seen_.calls.load() >= 1; }, 5000));
    EXPECT_EQ(3u, seen_.lastValue.load());
    EXPECT_EQ(1, seen_.calls.load());
}

TEST_F(SnmpStack, NoCallbackRunsAfterCleanupReturns)
{
    static std::atomic<int> entered{0};
    static std::atomic<int> finished{0};
    entered = 0;
    finished = 0;
    // A slow callback: Cleanup must wait for it.
    auto slow = [](HSNMP_SESSION, HWND, UINT, WPARAM, LPARAM, LPVOID) -> SNMPAPI_STATUS {
        entered++;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        finished++;
        return SNMPAPI_SUCCESS;
    };
    SendGet(slow);
    ASSERT_TRUE(agent_.Receive(&request_, 5000));
    agent_.SendTo(request_, Response(Hex("41 01 03")));
    ASSERT_TRUE(WaitFor([] { return entered.load() == 1; }, 5000));
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpCleanup());
    EXPECT_EQ(1, finished.load());
    // A reply after the clean-up finds no one.
    agent_.SendTo(request_, Response(Hex("41 01 04")));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(1, entered.load());
}

TEST_F(SnmpStack, CleanupFromInsideACallbackIsRefused)
{
    static std::atomic<int> result{-1};
    auto callback = [](HSNMP_SESSION, HWND, UINT, WPARAM, LPARAM, LPVOID) -> SNMPAPI_STATUS {
        result = static_cast<int>(SnmpCleanup());
        return SNMPAPI_SUCCESS;
    };
    SendGet(callback);
    ASSERT_TRUE(agent_.Receive(&request_, 5000));
    agent_.SendTo(request_, Response(Hex("41 01 03")));
    ASSERT_TRUE(WaitFor([] { return result.load() != -1; }, 5000));
    EXPECT_EQ(static_cast<int>(SNMPAPI_FAILURE), result.load());
}

TEST_F(SnmpStack, GetBulkOfSeveralColumnsGoesInSnmpV2cOnly)
{
    HSNMP_SESSION session = SnmpCreateSession(nullptr, 0, Record, &seen_);
    smiUINT32 descr[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 2}, type[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 3};
    smiOID oids[] = {{10, descr}, {10, type}};
    HSNMP_VBL vbl = SnmpCreateVbl(session, nullptr, nullptr);
    EXPECT_EQ(1u, SnmpSetVb(vbl, 0, &oids[1], nullptr));
    EXPECT_EQ(2u, SnmpSetVb(vbl, 0, &oids[1], nullptr));
    EXPECT_EQ(1u, SnmpSetVb(vbl, 1, &oids[0], nullptr));  // replaces the first
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpSetVb(vbl, 4, &oids[0], nullptr));
    EXPECT_EQ(2u, SnmpCountVbl(vbl));
    EXPECT_EQ(nullptr, SnmpCreatePdu(session, SNMP_PDU_GETBULK, 1, 0, -1, vbl));
    HSNMP_PDU pdu = SnmpCreatePdu(session, SNMP_PDU_GETBULK, 1, 0, 10, vbl);
    ASSERT_NE(nullptr, pdu);
    HSNMP_ENTITY src = SnmpStrToEntity(session, "127.0.0.1");
    HSNMP_ENTITY v1 = SnmpStrToEntity(session, agent_.Address().c_str());
    ASSERT_EQ(SNMPAPI_SUCCESS, SnmpSetTranslateMode(SNMPAPI_UNTRANSLATED_V2));
    HSNMP_ENTITY v2c = SnmpStrToEntity(session, agent_.Address().c_str());
    smiOCTETS community = {6, reinterpret_cast<smiLPBYTE>(const_cast<char *>("public"))};
    HSNMP_CONTEXT context = SnmpStrToContext(session, &community);
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpSendMsg(session, src, v1, context, pdu));
    ASSERT_EQ(SNMPAPI_SUCCESS, SnmpSendMsg(session, src, v2c, context, pdu));
    ASSERT_TRUE(agent_.Receive(&request_, 5000));
    EXPECT_EQ("30 36 02 01 01 04 06 70 75 62 6C 69 63 A5 29 02 01 01 02 01 00 02 01 0A 30 1E 30 0D 06 09 2B 06 01 02 "
              "01 02 02 01 02 05 00 30 0D 06 09 2B 06 01 02 01 02 02 01 03 05 00",
              ToHex(request_.bytes));
}

namespace {

// One use of the stack as a query makes it: an SNMPv3 GET as user, the agent's
// turn, then the clean-up. The agent at the address is `engine`; when `up` it
// answers a discovery and the requests it can verify (so not those for
// another engine), and otherwise drops everything. Returns the datagrams it
// got; *discovered says whether the first asked for the engine.
int UseOnce(ScriptedAgent &agent, const V3Agent &engine, bool up, const char *user, uint32_t value, Seen *seen,
            bool *discovered)
{
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpStartup(nullptr, nullptr, nullptr, nullptr, nullptr));
    seen->calls = 0;
    seen->lastValue = 0;
    HSNMP_SESSION session = SnmpCreateSession(nullptr, 0, Record, seen);
    smiOID oid;
    SnmpStrToOid(kIfInOctets2, &oid);
    HSNMP_PDU pdu = SnmpCreatePdu(session, SNMP_PDU_GET, 1, 0, 0, SnmpCreateVbl(session, &oid, nullptr));
    HSNMP_ENTITY src = SnmpStrToEntity(session, "127.0.0.1");
    SnmpSetTranslateMode(SNMPAPI_UNTRANSLATED_V3);
    HSNMP_ENTITY dst = SnmpStrToEntity(session, agent.Address().c_str());
    SnmpSetTranslateMode(SNMPAPI_UNTRANSLATED_V1);
    SnmpV3User v3 = {user, usm::AUTH_SHA256, "authpass1", usm::PRIV_AES128, "authpass2"};
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpSetEntityUser(dst, &v3));
    smiOCTETS empty = {0, nullptr};
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpSendMsg(session, src, dst, SnmpStrToContext(session, &empty), pdu));

    int datagrams = 0;
    Datagram d;
    v3::Received msg;
    v3::ScopedPdu scoped;
    *discovered = false;
    if (agent.Receive(&d, 5000)) {
        datagrams++;
        *discovered =
            v3::DecodeMessage(Bytes(d.bytes), d.bytes.size(), &msg) == ber::BER_OK && msg.header.userName.empty();
        if (*discovered && up) {
            agent.SendTo(d, engine.Report(d.bytes, 4));
            datagrams += agent.Receive(&d, 5000);
        }
        if (up && engine.Open(d.bytes, &msg, &scoped)) {
            agent.SendTo(d, engine.Response(d.bytes, UnsignedTlv(0x41, value)));
            WaitFor([seen] { return seen->calls.load() > 0; }, 5000);
        }
    }
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpCleanup());
    while (agent.Receive(&d, 0))
        datagrams++;
    return datagrams;
}

}  // namespace

// An agent replaced under a new engine ID that drops requests for the old one
// without a report: two silent uses, then the stack discovers the new engine.
// Replies lost now and then never make it ask for the engine again.
TEST(SnmpV3Engine, ForgottenAfterTwoSilentUsesInARow)
{
    ScriptedAgent agent;
    ASSERT_TRUE(agent.Start());
    V3Agent a, b;
    ASSERT_TRUE(
        a.Init("80 00 1F 88 80 0A 0A 0A 0A 0A 0A 0A 0A", usm::AUTH_SHA256, "authpass1", usm::PRIV_AES128, "authpass2"));
    ASSERT_TRUE(
        b.Init("80 00 1F 88 80 0B 0B 0B 0B 0B 0B 0B 0B", usm::AUTH_SHA256, "authpass1", usm::PRIV_AES128, "authpass2"));
    b.boots = 1;
    b.time = 5;
    struct Use {
        const V3Agent *engine;
        bool up;
        bool discovery;  // expected: the use asks for the engine first
        bool answered;
    };
    const struct {
        const char *user;
        std::vector<Use> uses;
    } scenarios[] = {
        {"replaced",
         {{&a, true, true, true},
          {&b, true, false, false},
          {&b, true, false, false},
          {&b, true, true, true},
          {&b, true, false, true}}},
        {"lossy",
         {{&a, true, true, true},
          {&a, false, false, false},
          {&a, true, false, true},
          {&a, false, false, false},
          {&a, true, false, true}}},
    };
    Seen seen;
    for (const auto &c : scenarios) {
        for (size_t k = 0; k < c.uses.size(); k++) {
            SCOPED_TRACE(std::string(c.user) + " use " + std::to_string(k + 1));
            const Use &use = c.uses[k];
            bool discovered = false;
            uint32_t value = 100 + static_cast<uint32_t>(k);
            int datagrams = UseOnce(agent, *use.engine, use.up, c.user, value, &seen, &discovered);
            EXPECT_EQ(use.discovery, discovered);
            EXPECT_EQ(use.discovery && use.up ? 2 : 1, datagrams);
            EXPECT_EQ(use.answered ? value : 0u, seen.lastValue.load());
        }
    }
}

TEST_F(SnmpStack, CleanupStartsNoCallbackForWhatIsQueued)
{
    // Forty replies wait behind a callback that takes 50 ms each.
    static std::atomic<int> entered{0};
    entered = 0;
    auto slow = [](HSNMP_SESSION hSession, HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                   LPVOID lpClientData) -> SNMPAPI_STATUS {
        entered++;
        Record(hSession, hWnd, wMsg, wParam, lParam, lpClientData);
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return SNMPAPI_SUCCESS;
    };
    SendGet(slow);
    ASSERT_TRUE(agent_.Receive(&request_, 5000));
    for (int i = 0; i < 40; i++)
        agent_.SendTo(request_, Response(Hex("41 01 03")));
    ASSERT_TRUE(WaitFor([] { return entered.load() >= 2; }, 5000));
    int before = entered.load();
    EXPECT_EQ(SNMPAPI_SUCCESS, SnmpCleanup());
    // At most the one that was starting as the clean-up began.
    EXPECT_LE(entered.load() - before, 1);
    EXPECT_LT(entered.load(), 10);
}

TEST_F(SnmpStack, CleanupNeedsNoMemoryAndLeavesNothingBehind)
{
    ProcStat before, after;
    ReadProcStat(&before);
    SendGet();
    ASSERT_TRUE(agent_.Receive(&request_, 5000));
    SetRefusals(REFUSE_MEMORY);
    SNMPAPI_STATUS status = SnmpCleanup();
    SetRefusals(0);
    EXPECT_EQ(SNMPAPI_SUCCESS, status);
    ReadProcStat(&after);
    EXPECT_EQ(before.handles, after.handles);
    EXPECT_EQ(before.threads, after.threads);
    // The use is over: nothing is left to clean up, and the stack starts anew.
    EXPECT_EQ(SNMPAPI_FAILURE, SnmpCleanup());
    ASSERT_EQ(SNMPAPI_SUCCESS, SnmpStartup(nullptr, nullptr, nullptr, nullptr, nullptr));
}

TEST_F(SnmpStack, ACallbackThatThrowsEndsOnlyItsOwnCall)
{
    static std::atomic<int> calls{0};
    calls = 0;
    auto throwing = [](HSNMP_SESSION hSession, HWND hWnd, UINT wMsg, WPARAM wParam, LPARAM lParam,
                       LPVOID lpClientData) -> SNMPAPI_STATUS {
        Record(hSession, hWnd, wMsg, wParam, lParam, lpClientData);
        if (calls++ == 0)
            throw std::bad_alloc();
        return SNMPAPI_SUCCESS;
    };
    SendGet(throwing);
    ASSERT_TRUE(agent_.Receive(&request_, 5000));
    agent_.SendTo(request_, Response(Hex("41 01 03")));
    agent_.SendTo(request_, Response(Hex("41 01 04")));
    ASSERT_TRUE(WaitFor([] { return calls.load() == 2; }, 5000));
    EXPECT_EQ(4u, seen_.lastValue.load());
}

// A receiver's wait on its socket and its stop signal.
class SocketWait : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(net::NetStartup());
        uint32_t addr = 0;
        ASSERT_TRUE(socket_.Open() && socket_.Bind(0x7F000001, 0) && socket_.LocalAddress(&addr, &port_));
        ASSERT_TRUE(stop_.Open());
        ASSERT_TRUE(sender_.Open());
    }
    void TearDown() override
    {
        socket_.Close();
        sender_.Close();
        net::NetCleanup();
    }

    void SendOne() { EXPECT_TRUE(sender_.SendTo(reinterpret_cast<const uint8_t *>("x"), 1, 0x7F000001, port_)); }

    net::UdpSocket socket_, sender_;
    net::StopSignal stop_;
    uint16_t port_ = 0;
};

TEST_F(SocketWait, TheStopWinsOverAWaitingDatagram)
{
    SendOne();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    stop_.Raise();
    EXPECT_EQ(0, socket_.Wait(&stop_, 1000));
    EXPECT_EQ(1, socket_.Wait(nullptr, 1000));
}

#ifndef _WIN32
TEST_F(SocketWait, ASignalDoesNotEndTheWait)
{
    struct sigaction action = {};
    action.sa_handler = [](int) {};
    struct sigaction saved;
    ASSERT_EQ(0, sigaction(SIGUSR1, &action, &saved));  // no SA_RESTART: poll fails with EINTR
    std::atomic<int> result{-2};
    std::thread waiter([this, &result] { result = socket_.Wait(&stop_, -1); });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    pthread_kill(waiter.native_handle(), SIGUSR1);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(-2, result.load());
    SendOne();
    waiter.join();
    EXPECT_EQ(1, result.load());
    sigaction(SIGUSR1, &saved, nullptr);
}
#endif
