// Fuzz target: any datagram through the SNMPv3 decoder, its security
// parameters, the MAC check and the decryption of its scoped PDU, under one
// fixed user. What opens must encode again from its parts and open to the same.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "snmp/v3message.h"

using namespace vsnmp;

static const usm::Keys &FixedKeys()
{
    // SHA-256 with AES-128 under snmpd's engine ID from the corpus's replies.
    static usm::Keys keys = [] {
        static const uint8_t kEngine[] = {0x80, 0x00, 0x1F, 0x88, 0x80, 0xAA, 0xBB, 0xCC, 0xDD, 0x11, 0x22, 0x33, 0x44};
        usm::UserKeys user;
        usm::Keys k;
        if (!usm::MakeUserKeys(usm::AUTH_SHA256, "authpass1", usm::PRIV_AES128, "authpass2", &user) ||
            !usm::LocalizeKeys(user, kEngine, sizeof kEngine, &k))
            abort();
        return k;
    }();
    return keys;
}

static bool SameScoped(const v3::ScopedPdu &a, const v3::ScopedPdu &b)
{
    if (a.contextEngineId != b.contextEngineId || a.contextName != b.contextName || a.pdu.pduType != b.pdu.pduType ||
        a.pdu.requestId != b.pdu.requestId || a.pdu.errorStatus != b.pdu.errorStatus ||
        a.pdu.errorIndex != b.pdu.errorIndex || a.pdu.bindings.size() != b.pdu.bindings.size())
        return false;
    for (size_t k = 0; k < a.pdu.bindings.size(); k++)
        if (a.pdu.bindings[k].name != b.pdu.bindings[k].name)
            return false;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // An exactly sized heap copy, so a read one byte past the datagram is caught.
    std::vector<uint8_t> datagram(data, data + size);
    v3::Received msg;
    if (v3::DecodeMessage(datagram.data(), datagram.size(), &msg) != ber::BER_OK)
        return 0;
    const usm::Keys &keys = FixedKeys();
    if (msg.header.flags & v3::FLAG_AUTH)
        v3::VerifyMac(datagram.data(), datagram.size(), msg, keys);
    v3::ScopedPdu scoped;
    if (v3::OpenScopedPdu(msg, keys, &scoped) != ber::BER_OK)
        return 0;

    // Encoded again (the encoder writes NULL values only), it opens to the same parts.
    for (ber::VarBind &vb : scoped.pdu.bindings)
        vb.value = ber::Value();
    const uint8_t *salt = msg.header.privParams.size() == usm::SALT_SIZE ? msg.header.privParams.data() : nullptr;
    std::vector<uint8_t> out(2 * size + 256);
    size_t len = 0;
    int rc = v3::EncodeMessage(msg.header, scoped, keys, salt, out.data(), out.size(), &len);
    if (rc == v3::V3_ERR_SECURITY && (msg.header.flags & v3::FLAG_PRIV) && !salt)
        return 0;  // an encrypted message without a usable salt cannot be made again
    if (rc != ber::BER_OK)
        abort();
    std::vector<uint8_t> again(out.end() - static_cast<long>(len), out.end());
    v3::Received back;
    v3::ScopedPdu backScoped;
    if (v3::DecodeMessage(again.data(), again.size(), &back) != ber::BER_OK ||
        ((back.header.flags & v3::FLAG_AUTH) && !v3::VerifyMac(again.data(), again.size(), back, keys)) ||
        v3::OpenScopedPdu(back, keys, &backScoped) != ber::BER_OK || back.header.msgId != msg.header.msgId ||
        back.header.boots != msg.header.boots || back.header.time != msg.header.time ||
        back.header.userName != msg.header.userName || back.header.engineId != msg.header.engineId ||
        !SameScoped(scoped, backScoped))
        abort();
    return 0;
}
