// The SNMPv3 codec against snmpd's and snmpget's own datagrams: what net-snmp
// sends must decode, verify and decrypt, and what snmpget sent must come out of
// our encoder byte for byte from the same inputs.
#include "snmp/v3message.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/snmp/agent.h"
#include "tests/snmp/datagrams.h"
#include "tests/support/guard.h"

using namespace vsnmp;
using namespace vsnmp::v3;

namespace {

const std::vector<uint32_t> kIfInOctets1 = {1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 1};

// snmpd's engine and the case's user.
V3Agent Snmpd(const V3DatagramCase &c)
{
    V3Agent snmpd;
    EXPECT_TRUE(snmpd.Init(kSnmpdEngineId, c.auth, "authpass1", c.priv, "authpass2"));
    return snmpd;
}

std::string Encode(const Header &h, const ScopedPdu &scoped, const usm::Keys &keys, const uint8_t *salt, size_t cap,
                   int *rc)
{
    std::vector<uint8_t> buf(cap);
    size_t len = 0;
    *rc = EncodeMessage(h, scoped, keys, salt, buf.data(), buf.size(), &len);
    return *rc == ber::BER_OK ? std::string(buf.end() - static_cast<long>(len), buf.end()) : "";
}

}  // namespace

TEST(V3Message, OpensSnmpdReplies)
{
    for (const V3DatagramCase &c : kV3Replies) {
        SCOPED_TRACE(c.name);
        V3Agent snmpd = Snmpd(c);
        Received msg;
        ScopedPdu scoped;
        ASSERT_TRUE(snmpd.Open(Hex(c.hex), &msg, &scoped));
        EXPECT_EQ(ToHex(snmpd.engineId), ToHex(Str(msg.header.engineId)));
        EXPECT_EQ(1, msg.header.boots);
        ASSERT_EQ(1u, scoped.pdu.bindings.size());
        const ber::VarBind &vb = scoped.pdu.bindings[0];
        if (c.report) {
            EXPECT_EQ(ber::TAG_REPORT, scoped.pdu.pduType);
            EXPECT_EQ((std::vector<uint32_t>{1, 3, 6, 1, 6, 3, 15, 1, 1, static_cast<uint32_t>(c.report), 0}), vb.name);
        } else {
            EXPECT_EQ(ber::TAG_GET_RESPONSE, scoped.pdu.pduType);
            EXPECT_EQ(kIfInOctets1, vb.name);
            EXPECT_EQ(ber::TAG_COUNTER32, vb.value.tag);
            EXPECT_EQ(ToHex(snmpd.engineId), ToHex(Str(scoped.contextEngineId)));
        }
    }
}

TEST(V3Message, AnyAlteredByteIsRefused)
{
    const V3Agent snmpd = Snmpd(kV3Replies[1]);  // an encrypted response
    const std::string d = Hex(kV3Replies[1].hex);
    for (size_t k = 0; k < d.size(); k++) {
        std::string altered = d;
        altered[k] ^= 0x01;
        Received msg;
        ScopedPdu scoped;
        EXPECT_FALSE(snmpd.Open(altered, &msg, &scoped)) << "byte " << k;
    }
}

// snmpd's and snmpget's datagrams, each and every prefix of it ending where an
// inaccessible page begins: whole they open, cut they are refused, and no read
// goes past the end on any build.
TEST(V3Message, DatagramsEndingAtAGuardPage)
{
    GuardedBuffer guard;
    ASSERT_TRUE(guard.Ok());
    std::vector<V3DatagramCase> all(std::begin(kV3Replies), std::end(kV3Replies));
    all.insert(all.end(), std::begin(kV3Requests), std::end(kV3Requests));
    for (const V3DatagramCase &c : all) {
        SCOPED_TRACE(c.name);
        V3Agent snmpd = Snmpd(c);
        std::string d = Hex(c.hex);
        for (size_t n = 0; n < d.size(); n++) {
            Received msg;
            EXPECT_NE(ber::BER_OK, DecodeMessage(guard.Place(d.substr(0, n)), n, &msg)) << "cut to " << n;
        }
        const uint8_t *whole = guard.Place(d);
        Received msg;
        ScopedPdu scoped;
        ASSERT_EQ(ber::BER_OK, DecodeMessage(whole, d.size(), &msg));
        EXPECT_TRUE(!(msg.header.flags & FLAG_AUTH) || VerifyMac(whole, d.size(), msg, snmpd.keys));
        EXPECT_EQ(ber::BER_OK, OpenScopedPdu(msg, snmpd.keys, &scoped));
        if (msg.header.flags & FLAG_PRIV)
            continue;
        // The scoped PDU in the clear, cut: now it is what ends at the page.
        std::string plain = Str(msg.scoped, msg.scopedLength);
        for (size_t n = 0; n < plain.size(); n++)
            EXPECT_NE(ber::BER_OK, DecodeScopedPdu(guard.Place(plain.substr(0, n)), n, &scoped))
                << "scoped, cut to " << n;
    }
}

// Decoding snmpget's request and encoding it again from its parts (message ID,
// boots, time, salt, request ID) must give snmpget's bytes: the same encryption
// and the same MAC.
TEST(V3Message, EncodesAsSnmpget)
{
    for (const V3DatagramCase &c : kV3Requests) {
        SCOPED_TRACE(c.name);
        V3Agent snmpd = Snmpd(c);
        std::string d = Hex(c.hex);
        Received msg;
        ScopedPdu scoped;
        ASSERT_TRUE(snmpd.Open(d, &msg, &scoped));
        const uint8_t *salt = msg.header.privParams.empty() ? nullptr : msg.header.privParams.data();
        int rc = 0;
        EXPECT_EQ(ToHex(d), ToHex(Encode(msg.header, scoped, snmpd.keys, salt, 2 * d.size(), &rc)));
        // Every buffer too small by a byte or more fails whole.
        for (size_t cap = 0; cap < d.size(); cap++) {
            Encode(msg.header, scoped, snmpd.keys, salt, cap, &rc);
            ASSERT_EQ(ber::BER_ERR_BUFFER_TOO_SMALL, rc) << cap;
        }
    }
}

// Frames built around one small plaintext scoped PDU, each wrong in one way.
TEST(V3Message, RefusesFramesTheModelCannotTake)
{
    auto frame = [](const std::string &version, const std::string &flags, const std::string &model,
                    const std::string &engineId, const std::string &data) {
        std::string params = Tlv(0x30, Tlv(0x04, engineId) + Hex("02 01 01 02 01 05") + Tlv(0x04, "u") +
                                           Tlv(0x04, "") + Tlv(0x04, ""));
        return Tlv(0x30, Hex(version) + Tlv(0x30, Hex("02 01 07 02 03 00 FF E3") + Tlv(0x04, flags) + Hex(model)) +
                             Tlv(0x04, params) + data);
    };
    std::string scoped = Tlv(0x30, Tlv(0x04, "") + Tlv(0x04, "") + Hex("A2 0B 02 01 01 02 01 00 02 01 00 30 00"));
    struct {
        const char *name;
        int result;
        std::string bytes;
    } const cases[] = {
        {"valid noAuthNoPriv", ber::BER_OK, frame("02 01 03", Hex("00"), "02 01 03", "", scoped)},
        {"version 1", ber::BER_ERR_INVALID_VALUE, frame("02 01 01", Hex("00"), "02 01 03", "", scoped)},
        {"community model", V3_ERR_SECURITY, frame("02 01 03", Hex("00"), "02 01 02", "", scoped)},
        {"privacy without authentication", V3_ERR_SECURITY, frame("02 01 03", Hex("02"), "02 01 03", "", scoped)},
        {"two flag bytes", ber::BER_ERR_INVALID_VALUE, frame("02 01 03", Hex("00 00"), "02 01 03", "", scoped)},
        {"engine ID of 33 bytes", ber::BER_ERR_INVALID_VALUE,
         frame("02 01 03", Hex("00"), "02 01 03", std::string(33, 'e'), scoped)},
        {"encrypted flag, clear scoped PDU", ber::BER_ERR_UNEXPECTED_TAG,
         frame("02 01 03", Hex("03"), "02 01 03", "", scoped)},
        {"clear flag, octets for a scoped PDU", ber::BER_ERR_UNEXPECTED_TAG,
         frame("02 01 03", Hex("00"), "02 01 03", "", Tlv(0x04, scoped))},
        {"trailing byte", ber::BER_ERR_LENGTH_MISMATCH, frame("02 01 03", Hex("00"), "02 01 03", "", scoped + "x")},
    };
    for (const auto &c : cases) {
        std::vector<uint8_t> d(c.bytes.begin(), c.bytes.end());
        Received msg;
        EXPECT_EQ(c.result, DecodeMessage(d.data(), d.size(), &msg)) << c.name;
    }
}
