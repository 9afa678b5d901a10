// Decoding walks the message through (pointer, end) cursors, as ber.cpp does;
// encoding writes backwards, so the scoped PDU is encrypted where it lies and
// the MAC, computed last over the finished message, goes into the place kept for it.
#include "snmp/v3message.h"

#include <cstring>

#include "snmp/berio.h"

namespace vsnmp {
namespace v3 {

using namespace ber;
using namespace ber::io;

namespace {

const size_t kMaxUserName = 32;

int ReadOctets(Cursor *c, std::vector<uint8_t> *out, size_t most)
{
    Cursor content;
    int rc = ReadExpected(c, TAG_OCTET_STRING, &content);
    if (rc != BER_OK)
        return rc;
    if (content.Left() > most)
        return BER_ERR_INVALID_VALUE;
    out->assign(content.p, content.end);
    return BER_OK;
}

int ReadNonNegative(Cursor *c, int32_t *value)
{
    int rc = ReadIntegerField(c, value);
    return rc != BER_OK ? rc : *value < 0 ? BER_ERR_INVALID_VALUE : BER_OK;
}

void PutOctets(Writer *w, const uint8_t *bytes, size_t n)
{
    PutBytes(w, bytes, n);
    PutHeader(w, TAG_OCTET_STRING, n);
}

void PutOctets(Writer *w, const std::vector<uint8_t> &bytes)
{
    PutOctets(w, bytes.data(), bytes.size());
}

int ReadHeaderData(Cursor *c, Header *h)
{
    Cursor seq;
    int rc = ReadExpected(c, TAG_SEQUENCE, &seq);
    if (rc != BER_OK)
        return rc;
    int32_t model = 0;
    std::vector<uint8_t> flags;
    if ((rc = ReadNonNegative(&seq, &h->msgId)) != BER_OK || (rc = ReadNonNegative(&seq, &h->maxSize)) != BER_OK ||
        (rc = ReadOctets(&seq, &flags, 1)) != BER_OK || (rc = ReadIntegerField(&seq, &model)) != BER_OK)
        return rc;
    if (seq.Left() != 0)
        return BER_ERR_LENGTH_MISMATCH;
    if (flags.size() != 1 || model != SECURITY_MODEL_USM)
        return V3_ERR_SECURITY;
    h->flags = flags[0];
    if ((h->flags & FLAG_PRIV) && !(h->flags & FLAG_AUTH))
        return V3_ERR_SECURITY;
    return BER_OK;
}

// The security parameters, an OCTET STRING holding their own SEQUENCE.
int ReadSecurityParameters(Cursor *c, const uint8_t *start, Received *msg)
{
    Cursor wrapper, seq, mac;
    int rc = ReadExpected(c, TAG_OCTET_STRING, &wrapper);
    if (rc != BER_OK || (rc = ReadExpected(&wrapper, TAG_SEQUENCE, &seq)) != BER_OK)
        return rc;
    if (wrapper.Left() != 0)
        return BER_ERR_TRAILING_DATA;
    Header *h = &msg->header;
    if ((rc = ReadOctets(&seq, &h->engineId, usm::MAX_ENGINE_ID)) != BER_OK ||
        (rc = ReadNonNegative(&seq, &h->boots)) != BER_OK || (rc = ReadNonNegative(&seq, &h->time)) != BER_OK ||
        (rc = ReadOctets(&seq, &h->userName, kMaxUserName)) != BER_OK ||
        (rc = ReadExpected(&seq, TAG_OCTET_STRING, &mac)) != BER_OK ||
        (rc = ReadOctets(&seq, &h->privParams, usm::SALT_SIZE)) != BER_OK)
        return rc;
    if (seq.Left() != 0)
        return BER_ERR_LENGTH_MISMATCH;
    if (mac.Left() > usm::MAX_MAC)
        return BER_ERR_INVALID_VALUE;
    msg->macOffset = static_cast<size_t>(mac.p - start);
    msg->macLength = mac.Left();
    return BER_OK;
}

}  // namespace

int DecodeScopedPdu(const uint8_t *data, size_t size, ScopedPdu *scoped)
{
    Cursor c = {data, data + size};
    Cursor seq;
    int rc = ReadExpected(&c, TAG_SEQUENCE, &seq);
    if (rc != BER_OK || (rc = ReadOctets(&seq, &scoped->contextEngineId, usm::MAX_ENGINE_ID)) != BER_OK ||
        (rc = ReadOctets(&seq, &scoped->contextName, kMaxUserName)) != BER_OK ||
        (rc = ReadPdu(&seq, &scoped->pdu)) != BER_OK)
        return rc;
    return seq.Left() == 0 ? BER_OK : BER_ERR_LENGTH_MISMATCH;
}

int DecodeMessage(const uint8_t *data, size_t size, Received *msg)
{
    Cursor seq;
    int32_t version = 0;
    int rc = ReadMessageStart(data, size, &seq, &version);
    if (rc != BER_OK)
        return rc;
    if (version != VERSION_3)
        return BER_ERR_INVALID_VALUE;
    if ((rc = ReadHeaderData(&seq, &msg->header)) != BER_OK || (rc = ReadSecurityParameters(&seq, data, msg)) != BER_OK)
        return rc;
    // The scoped PDU: a SEQUENCE in the clear, or the octets that encrypt one.
    bool priv = (msg->header.flags & FLAG_PRIV) != 0;
    const uint8_t *start = seq.p;
    Cursor content;
    uint8_t tag = 0;
    if ((rc = ReadAny(&seq, &tag, &content)) != BER_OK)
        return rc;
    if (tag != (priv ? TAG_OCTET_STRING : TAG_SEQUENCE))
        return BER_ERR_UNEXPECTED_TAG;
    if (seq.Left() != 0)
        return BER_ERR_LENGTH_MISMATCH;
    msg->scoped = priv ? content.p : start;
    msg->scopedLength = static_cast<size_t>(content.end - msg->scoped);
    return BER_OK;
}

bool VerifyMac(const uint8_t *data, size_t size, const Received &msg, const usm::Keys &keys)
{
    size_t macLen = usm::MacLength(keys.auth);
    if (macLen == 0 || msg.macLength != macLen || msg.macOffset + macLen > size)
        return false;
    // The MAC is computed over the message with its own place zeroed.
    std::vector<uint8_t> copy(data, data + size);
    memset(copy.data() + msg.macOffset, 0, macLen);
    uint8_t mac[usm::MAX_MAC];
    if (!usm::Mac(keys.auth, keys.authKey, copy.data(), copy.size(), mac))
        return false;
    // Every byte compared, so the time taken says nothing about where they differ.
    uint8_t diff = 0;
    for (size_t k = 0; k < macLen; k++)
        diff |= static_cast<uint8_t>(mac[k] ^ data[msg.macOffset + k]);
    return diff == 0;
}

int OpenScopedPdu(const Received &msg, const usm::Keys &keys, ScopedPdu *scoped)
{
    if (!(msg.header.flags & FLAG_PRIV))
        return DecodeScopedPdu(msg.scoped, msg.scopedLength, scoped);
    size_t keyLen = usm::PrivKeyLength(keys.priv);
    if (keyLen == 0 || msg.header.privParams.size() != usm::SALT_SIZE)
        return V3_ERR_SECURITY;
    uint8_t iv[usm::IV_SIZE];
    usm::AesIv(static_cast<uint32_t>(msg.header.boots), static_cast<uint32_t>(msg.header.time),
               msg.header.privParams.data(), iv);
    std::vector<uint8_t> plain(msg.scopedLength);
    if (!usm::AesCfb(false, keys.privKey, keyLen, iv, msg.scoped, plain.data(), plain.size()))
        return V3_ERR_SECURITY;
    return DecodeScopedPdu(plain.data(), plain.size(), scoped);
}

int EncodeMessage(const Header &header, const ScopedPdu &scoped, const usm::Keys &keys, const uint8_t *salt, uint8_t *buf,
                  size_t cap, size_t *len)
{
    bool auth = (header.flags & FLAG_AUTH) != 0, priv = (header.flags & FLAG_PRIV) != 0;
    size_t macLen = usm::MacLength(keys.auth), privKeyLen = usm::PrivKeyLength(keys.priv);
    if ((priv && !auth) || (auth && macLen == 0) || (priv && (privKeyLen == 0 || !salt)))
        return V3_ERR_SECURITY;

    Writer w = {buf, buf + cap, true};
    uint8_t *end = w.p;

    int rc = PutPdu(&w, scoped.pdu);
    if (rc != BER_OK)
        return rc;
    PutOctets(&w, scoped.contextName);
    PutOctets(&w, scoped.contextEngineId);
    PutHeader(&w, TAG_SEQUENCE, Since(w, end));
    if (!w.ok)
        return BER_ERR_BUFFER_TOO_SMALL;
    if (priv) {
        uint8_t iv[usm::IV_SIZE];
        usm::AesIv(static_cast<uint32_t>(header.boots), static_cast<uint32_t>(header.time), salt, iv);
        size_t n = Since(w, end);
        if (!usm::AesCfb(true, keys.privKey, privKeyLen, iv, w.p, w.p, n))
            return V3_ERR_SECURITY;
        PutHeader(&w, TAG_OCTET_STRING, n);
    }

    uint8_t *paramsEnd = w.p;
    static const uint8_t kZeros[usm::MAX_MAC] = {};
    PutOctets(&w, salt, priv ? usm::SALT_SIZE : 0);
    uint8_t *macEnd = w.p;
    PutOctets(&w, kZeros, auth ? macLen : 0);
    PutOctets(&w, header.userName);
    PutInteger(&w, TAG_INTEGER, header.time);
    PutInteger(&w, TAG_INTEGER, header.boots);
    PutOctets(&w, header.engineId);
    PutHeader(&w, TAG_SEQUENCE, Since(w, paramsEnd));
    PutHeader(&w, TAG_OCTET_STRING, Since(w, paramsEnd));

    uint8_t *globalEnd = w.p;
    PutInteger(&w, TAG_INTEGER, SECURITY_MODEL_USM);
    PutOctets(&w, &header.flags, 1);
    PutInteger(&w, TAG_INTEGER, header.maxSize);
    PutInteger(&w, TAG_INTEGER, header.msgId);
    PutHeader(&w, TAG_SEQUENCE, Since(w, globalEnd));
    PutInteger(&w, TAG_INTEGER, VERSION_3);
    PutHeader(&w, TAG_SEQUENCE, Since(w, end));
    if (!w.ok)
        return BER_ERR_BUFFER_TOO_SMALL;
    // The MAC goes over the finished message, into the zeros kept for it.
    if (auth && !usm::Mac(keys.auth, keys.authKey, w.p, Since(w, end), macEnd - macLen))
        return V3_ERR_SECURITY;
    *len = Since(w, end);
    return BER_OK;
}

}  // namespace v3
}  // namespace vsnmp
