#include "snmp/ber.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "tests/snmp/agent.h"
#include "tests/snmp/datagrams.h"
#include "tests/support/guard.h"

using namespace vsnmp::ber;

namespace {

const uint32_t kIfInOctets2Ids[] = {1, 3, 6, 1, 2, 1, 2, 2, 1, 10, 2};

Message GetRequest(const std::string &community)
{
    Message msg;
    msg.community.assign(community.begin(), community.end());
    msg.pduType = TAG_GET_REQUEST;
    msg.requestId = 1;
    VarBind vb;
    vb.name.assign(std::begin(kIfInOctets2Ids), std::end(kIfInOctets2Ids));
    msg.bindings.push_back(vb);
    return msg;
}

// Encodes into a buffer of exactly the size needed; "" when encoding fails.
std::string Encode(const Message &msg)
{
    std::vector<uint8_t> buf(70000);
    size_t len = 0;
    if (EncodeMessage(msg, buf.data(), buf.size(), &len) != BER_OK)
        return "";
    return std::string(reinterpret_cast<const char *>(buf.data() + buf.size() - len), len);
}

// Decodes from an exactly sized heap copy, so AddressSanitizer sees any over-read.
int Decode(const std::string &bytes, Message *msg)
{
    std::vector<uint8_t> copy(bytes.begin(), bytes.end());
    return DecodeMessage(copy.data(), copy.size(), msg);
}

}  // namespace

TEST(BerEncode, GetRequestIsExactly42Bytes)
{
    EXPECT_EQ("30 28 02 01 00 04 06 70 75 62 6C 69 63 A0 1B 02 01 01 02 01 00 02 01 00 30 10 30 0E 06 0A 2B 06 01 "
              "02 01 02 02 01 0A 02 05 00",
              ToHex(Encode(GetRequest("public"))));
}

TEST(BerEncode, EmptyCommunity)
{
    EXPECT_EQ("30 22 02 01 00 04 00 A0 1B 02 01 01 02 01 00 02 01 00 30 10 30 0E 06 0A 2B 06 01 02 01 02 02 01 0A "
              "02 05 00",
              ToHex(Encode(GetRequest(""))));
}

TEST(BerEncode, LongFormOnlyAbove127)
{
    // A community of 127 bytes keeps the short form; 128 takes 81 80. The
    // message around it passes 255 bytes and takes 82.
    std::string at127 = Encode(GetRequest(std::string(127, 'c')));
    EXPECT_EQ("30 81 A1 02 01 00 04 7F 63", ToHex(at127.substr(0, 9)));
    std::string at128 = Encode(GetRequest(std::string(128, 'c')));
    EXPECT_EQ("30 81 A3 02 01 00 04 81 80 63", ToHex(at128.substr(0, 10)));
    std::string at300 = Encode(GetRequest(std::string(300, 'c')));
    EXPECT_EQ("30 82 01 50 02 01 00 04 82 01 2C 63", ToHex(at300.substr(0, 12)));
    EXPECT_EQ(0x150 + 4u, at300.size());
}

TEST(BerEncode, EveryBufferSize)
{
    Message msg = GetRequest("public");
    std::string expected = Encode(msg);
    for (size_t cap = 0; cap <= expected.size() + 1; cap++) {
        std::vector<uint8_t> buf(cap);
        size_t len = 0;
        int rc = EncodeMessage(msg, buf.data(), cap, &len);
        if (cap < expected.size()) {
            EXPECT_EQ(BER_ERR_BUFFER_TOO_SMALL, rc) << cap;
        } else {
            ASSERT_EQ(BER_OK, rc) << cap;
            EXPECT_EQ(expected, std::string(reinterpret_cast<char *>(buf.data() + cap - len), len));
        }
    }
}

TEST(BerEncode, RejectsObjectIdentifiersBerCannotCarry)
{
    const std::vector<std::vector<uint32_t>> bad = {{}, {1}, {3, 1}, {1, 40}, {0, 40, 1}, std::vector<uint32_t>(129, 1)};
    for (const auto &ids : bad) {
        Message msg = GetRequest("public");
        msg.bindings[0].name = ids;
        EXPECT_EQ("", Encode(msg)) << ids.size();
    }
    Message msg = GetRequest("public");
    msg.bindings[0].name = {2, 999, 3};
    EXPECT_NE(std::string::npos, ToHex(Encode(msg)).find("30 07 06 03 88 37 03 05 00"));
}

TEST(BerValues, IntegersTakeTheShortestTwosComplement)
{
    // Request ids are encoded as the values are read: both ways round.
    const struct {
        int32_t value;
        const char *tlv;
    } cases[] = {
        {0, "02 01 00"},          {127, "02 01 7F"},          {128, "02 02 00 80"},
        {-1, "02 01 FF"},         {-128, "02 01 80"},         {-129, "02 02 FF 7F"},
        {INT32_MAX, "02 04 7F FF FF FF"}, {INT32_MIN, "02 04 80 00 00 00"},
    };
    for (const auto &c : cases) {
        Message msg = GetRequest("public");
        msg.requestId = c.value;
        std::string bytes = Encode(msg);
        EXPECT_EQ(c.tlv, ToHex(bytes.substr(15, Hex(c.tlv).size()))) << c.value;
        Message back;
        ASSERT_EQ(BER_OK, Decode(Response(Hex(c.tlv)), &back));
        EXPECT_EQ(c.value, back.bindings[0].value.integer);
    }
}

TEST(BerValues, UnsignedNumbersWithAndWithoutTheirLeadingZero)
{
    const struct {
        uint8_t tag;
        uint64_t value;
        const char *tlv;
    } cases[] = {
        {TAG_COUNTER32, 0, "41 01 00"},
        {TAG_COUNTER32, 0xFFFFFFFFu, "41 05 00 FF FF FF FF"},
        {TAG_GAUGE32, 10000000, "42 04 00 98 96 80"},
        {TAG_GAUGE32, 0xFFFFFFFEu, "42 04 FF FF FF FE"},  // agents that skip the leading 00 still mean it unsigned
        {TAG_TIMETICKS, 0x80, "43 02 00 80"},
        {TAG_UINTEGER32, 5, "47 01 05"},
        {TAG_COUNTER64, UINT64_MAX, "46 09 00 FF FF FF FF FF FF FF FF"},
        {TAG_COUNTER64, UINT64_MAX, "46 08 FF FF FF FF FF FF FF FF"},
    };
    for (const auto &c : cases) {
        Message back;
        ASSERT_EQ(BER_OK, Decode(Response(Hex(c.tlv)), &back)) << c.tlv;
        EXPECT_EQ(c.tag, back.bindings[0].value.tag);
        EXPECT_EQ(c.value, back.bindings[0].value.number);
    }
}

TEST(BerValues, EveryKindDecodes)
{
    const std::string octets(200, 'x');
    std::string list;
    list += Tlv(0x30, Hex("06 02 2B 06") + Hex("05 00"));
    list += Tlv(0x30, Hex("06 02 2B 06") + Tlv(0x04, octets));
    list += Tlv(0x30, Hex("06 02 2B 06") + Hex("06 06 8F FF FF FF 7F 00"));  // 2.4294967215.0
    list += Tlv(0x30, Hex("06 02 2B 06") + Hex("40 04 7F 00 00 1F"));
    list += Tlv(0x30, Hex("06 02 2B 06") + Tlv(0x44, octets));
    list += Tlv(0x30, Hex("06 02 2B 06") + Tlv(0x45, octets));
    list += Tlv(0x30, Hex("06 02 2B 06") + Hex("80 00"));
    list += Tlv(0x30, Hex("06 02 2B 06") + Hex("81 00"));
    list += Tlv(0x30, Hex("06 02 2B 06") + Hex("82 00"));
    Message back;
    ASSERT_EQ(BER_OK, Decode(Tlv(0x30, Hex("02 01 01") + Tlv(0x04, "community") +
                                           Tlv(0xA2, Hex("02 01 FB 02 01 02 02 01 01") + Tlv(0x30, list))),
                             &back));
    EXPECT_EQ(VERSION_2C, back.version);
    EXPECT_EQ(-5, back.requestId);
    EXPECT_EQ(2, back.errorStatus);
    EXPECT_EQ(1, back.errorIndex);
    const uint8_t tags[] = {TAG_NULL, TAG_OCTET_STRING, TAG_OID, TAG_IPADDRESS, TAG_OPAQUE, TAG_NSAPADDRESS,
                            TAG_NOSUCHOBJECT, TAG_NOSUCHINSTANCE, TAG_ENDOFMIBVIEW};
    ASSERT_EQ(sizeof tags, back.bindings.size());
    for (size_t k = 0; k < sizeof tags; k++) {
        EXPECT_EQ(tags[k], back.bindings[k].value.tag) << k;
        EXPECT_EQ((std::vector<uint32_t>{1, 3, 6}), back.bindings[k].name);
    }
    EXPECT_EQ(std::vector<uint8_t>(octets.begin(), octets.end()), back.bindings[1].value.octets);
    EXPECT_EQ((std::vector<uint32_t>{2, 4294967295u - 80, 0}), back.bindings[2].value.oid);
    EXPECT_EQ((std::vector<uint8_t>{127, 0, 0, 31}), back.bindings[3].value.octets);
}

TEST(BerEncode, RequestsCarryNullValuesOnly)
{
    Message msg = GetRequest("public");
    msg.bindings[0].value.tag = TAG_COUNTER32;
    EXPECT_EQ("", Encode(msg));
}

TEST(BerDecode, DatagramTable)
{
    for (const auto &c : kDatagramCases) {
        Message msg;
        EXPECT_EQ(c.decodeResult, Decode(Hex(c.hex), &msg)) << c.name;
    }
}

TEST(BerDecode, ValidResponse)
{
    Message msg;
    ASSERT_EQ(BER_OK, Decode(Hex(kDatagramCases[0].hex), &msg));
    EXPECT_EQ(0, msg.version);
    EXPECT_EQ("public", std::string(msg.community.begin(), msg.community.end()));
    EXPECT_EQ(TAG_GET_RESPONSE, msg.pduType);
    EXPECT_EQ(1, msg.requestId);
    ASSERT_EQ(1u, msg.bindings.size());
    EXPECT_EQ(std::vector<uint32_t>(std::begin(kIfInOctets2Ids), std::end(kIfInOctets2Ids)), msg.bindings[0].name);
    EXPECT_EQ(TAG_COUNTER32, msg.bindings[0].value.tag);
    EXPECT_EQ(1234u, msg.bindings[0].value.number);
}

TEST(BerDecode, EveryPrefixOfAValidMessageFails)
{
    for (const auto &c : kDatagramCases) {
        if (c.decodeResult != BER_OK)
            continue;
        std::string whole = Hex(c.hex);
        for (size_t n = 0; n < whole.size(); n++) {
            Message msg;
            EXPECT_NE(BER_OK, Decode(whole.substr(0, n), &msg)) << c.name << " cut to " << n;
        }
    }
}

// The table again, each datagram and every prefix of it ending where an
// inaccessible page begins: a read past the end faults on every build.
TEST(BerDecode, DatagramsEndingAtAGuardPage)
{
    GuardedBuffer guard;
    ASSERT_TRUE(guard.Ok());
    for (const auto &c : kDatagramCases) {
        std::string whole = Hex(c.hex);
        for (size_t n = 0; n <= whole.size(); n++) {
            Message msg;
            int rc = DecodeMessage(guard.Place(whole.substr(0, n)), n, &msg);
            if (n == whole.size()) {
                EXPECT_EQ(c.decodeResult, rc) << c.name;
            } else if (c.decodeResult == BER_OK) {
                EXPECT_NE(BER_OK, rc) << c.name << " cut to " << n;
            }
        }
    }
}

// Else the run above would prove nothing: the byte after what is placed faults.
TEST(BerDecode, TheGuardPageFaults)
{
    GuardedBuffer guard;
    ASSERT_TRUE(guard.Ok());
    const volatile uint8_t *p = guard.Place("x");
    EXPECT_EQ('x', p[0]);
    EXPECT_DEATH((void)p[1], "");
}

TEST(BerDecode, NestingFarDeeperThanSnmpUses)
{
    std::string deep;
    for (int k = 0; k < 2000; k++)
        deep = Tlv(0x30, deep);
    Message msg;
    EXPECT_EQ(BER_ERR_UNEXPECTED_TAG, Decode(Response(deep), &msg));
    EXPECT_EQ(BER_ERR_UNEXPECTED_TAG, Decode(Tlv(0x30, Hex("02 01 00") + Tlv(0x04, "x") + Tlv(0xA2, deep)), &msg));
    EXPECT_EQ(BER_ERR_UNEXPECTED_TAG, Decode(Tlv(0x30, deep), &msg));
}

TEST(BerDecode, ObjectIdentifierLimits)
{
    Message msg;
    // 128 sub-identifiers is the most a name may have.
    std::string ids128 = "\x2B" + std::string(126, '\x01');
    std::string vb128 = Tlv(0x30, Tlv(0x06, ids128) + Hex("05 00"));
    std::string vb129 = Tlv(0x30, Tlv(0x06, ids128 + "\x01") + Hex("05 00"));
    auto wrap = [](const std::string &vb) {
        return Tlv(0x30, Hex("02 01 00") + Tlv(0x04, "") + Tlv(0xA2, Hex("02 01 01 02 01 00 02 01 00") + Tlv(0x30, vb)));
    };
    ASSERT_EQ(BER_OK, Decode(wrap(vb128), &msg));
    EXPECT_EQ(128u, msg.bindings[0].name.size());
    EXPECT_EQ(BER_ERR_INVALID_VALUE, Decode(wrap(vb129), &msg));
    // The first octet carries two arcs: 0x50 is 2.0, 0x81 0x00 is 2.48.
    ASSERT_EQ(BER_OK, Decode(wrap(Tlv(0x30, Hex("06 02 50 05 05 00"))), &msg));
    EXPECT_EQ((std::vector<uint32_t>{2, 0, 5}), msg.bindings[0].name);
    ASSERT_EQ(BER_OK, Decode(wrap(Tlv(0x30, Hex("06 02 81 00 05 00"))), &msg));
    EXPECT_EQ((std::vector<uint32_t>{2, 48}), msg.bindings[0].name);
}
