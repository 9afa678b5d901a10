// The decoder follows the SNMP message grammar through (pointer, end) cursors: every
// child is read inside its parent's bounds, so nesting is as deep as the grammar
// and no deeper. The encoder writes backwards from the end of a fixed buffer, so
// each length is known before its header is written.
#include "snmp/ber.h"

#include <cstring>

#include "snmp/berio.h"

namespace vsnmp {
namespace ber {

namespace io {

namespace {

// Reads a definite length: short form, or long form of one to four octets.
int ReadLength(Cursor *c, size_t *len)
{
    if (c->Left() < 1)
        return BER_ERR_OUT_OF_DATA;
    uint8_t first = *c->p++;
    if (first < 0x80) {
        *len = first;
    } else {
        size_t octets = first & 0x7F;
        if (octets == 0 || octets > 4)  // 0x80 is indefinite, 0xFF reserved
            return BER_ERR_INVALID_LENGTH;
        if (c->Left() < octets)
            return BER_ERR_OUT_OF_DATA;
        uint32_t value = 0;
        for (size_t k = 0; k < octets; k++)
            value = (value << 8) | *c->p++;
        *len = value;
    }
    if (*len > c->Left())
        return BER_ERR_OUT_OF_DATA;
    return BER_OK;
}

}  // namespace

int ReadAny(Cursor *c, uint8_t *tag, Cursor *content)
{
    if (c->Left() < 1)
        return BER_ERR_OUT_OF_DATA;
    *tag = *c->p++;
    size_t len = 0;
    int rc = ReadLength(c, &len);
    if (rc != BER_OK)
        return rc;
    content->p = c->p;
    content->end = c->p + len;
    c->p += len;
    return BER_OK;
}

int ReadExpected(Cursor *c, uint8_t tag, Cursor *content)
{
    uint8_t actual = 0;
    // The tag is checked before the length, so a wrong type reports as such.
    if (c->Left() >= 1 && *c->p != tag)
        return BER_ERR_UNEXPECTED_TAG;
    return ReadAny(c, &actual, content);
}

namespace {

// INTEGER content: one to four octets, two's complement.
int ParseInteger(Cursor content, int32_t *value)
{
    size_t len = content.Left();
    if (len < 1 || len > 4)
        return BER_ERR_INVALID_VALUE;
    uint32_t bits = (content.p[0] & 0x80) ? 0xFFFFFFFFu : 0u;
    for (size_t k = 0; k < len; k++)
        bits = (bits << 8) | content.p[k];
    *value = static_cast<int32_t>(bits);
    return BER_OK;
}

// Unsigned content of at most width octets, or width + 1 with a leading 00.
int ParseUnsigned(Cursor content, size_t width, uint64_t *value)
{
    size_t len = content.Left();
    const uint8_t *p = content.p;
    if (len == width + 1 && p[0] == 0) {
        p++;
        len--;
    }
    if (len < 1 || len > width)
        return BER_ERR_INVALID_VALUE;
    uint64_t v = 0;
    for (size_t k = 0; k < len; k++)
        v = (v << 8) | p[k];
    *value = v;
    return BER_OK;
}

int ParseOid(Cursor content, std::vector<uint32_t> *ids)
{
    ids->clear();
    if (content.Left() == 0)
        return BER_ERR_INVALID_VALUE;
    bool first = true;
    while (content.Left() > 0) {
        if (*content.p == 0x80)  // a sub-identifier may not start with a padding octet
            return BER_ERR_INVALID_VALUE;
        uint64_t v = 0;
        bool more = true;
        while (more) {
            if (content.Left() == 0)  // the last octet kept its continuation bit
                return BER_ERR_INVALID_VALUE;
            uint8_t b = *content.p++;
            v = (v << 7) | (b & 0x7F);
            if (v > 0xFFFFFFFFu)
                return BER_ERR_INVALID_VALUE;
            more = (b & 0x80) != 0;
        }
        if (ids->size() + (first ? 2 : 1) > MAX_OID_LEN)
            return BER_ERR_INVALID_VALUE;
        if (first) {
            uint32_t arc = v < 40 ? 0 : v < 80 ? 1 : 2;
            ids->push_back(arc);
            ids->push_back(static_cast<uint32_t>(v - uint64_t{arc} * 40));
            first = false;
        } else {
            ids->push_back(static_cast<uint32_t>(v));
        }
    }
    return BER_OK;
}

int ParseValue(uint8_t tag, Cursor content, Value *value)
{
    value->tag = tag;
    switch (tag) {
    case TAG_INTEGER:
        return ParseInteger(content, &value->integer);
    case TAG_COUNTER32:
    case TAG_GAUGE32:
    case TAG_TIMETICKS:
    case TAG_UINTEGER32:
        return ParseUnsigned(content, 4, &value->number);
    case TAG_COUNTER64:
        return ParseUnsigned(content, 8, &value->number);
    case TAG_OCTET_STRING:
    case TAG_OPAQUE:
    case TAG_NSAPADDRESS:
        value->octets.assign(content.p, content.end);
        return BER_OK;
    case TAG_IPADDRESS:
        if (content.Left() != 4)
            return BER_ERR_INVALID_VALUE;
        value->octets.assign(content.p, content.end);
        return BER_OK;
    case TAG_OID:
        return ParseOid(content, &value->oid);
    case TAG_NULL:
    case TAG_NOSUCHOBJECT:
    case TAG_NOSUCHINSTANCE:
    case TAG_ENDOFMIBVIEW:
        return content.Left() == 0 ? BER_OK : BER_ERR_INVALID_VALUE;
    default:
        return BER_ERR_UNEXPECTED_TAG;
    }
}

}  // namespace

int ReadIntegerField(Cursor *c, int32_t *value)
{
    Cursor content;
    int rc = ReadExpected(c, TAG_INTEGER, &content);
    return rc != BER_OK ? rc : ParseInteger(content, value);
}

int ReadMessageStart(const uint8_t *data, size_t size, Cursor *seq, int32_t *version)
{
    Cursor c = {data, data + size};
    int rc = ReadExpected(&c, TAG_SEQUENCE, seq);
    if (rc != BER_OK)
        return rc;
    if (c.Left() != 0)
        return BER_ERR_TRAILING_DATA;
    return ReadIntegerField(seq, version);
}

namespace {

int ReadVarBind(Cursor *list, VarBind *vb)
{
    Cursor seq;
    int rc = ReadExpected(list, TAG_SEQUENCE, &seq);
    if (rc != BER_OK)
        return rc;
    Cursor name;
    rc = ReadExpected(&seq, TAG_OID, &name);
    if (rc != BER_OK)
        return rc;
    rc = ParseOid(name, &vb->name);
    if (rc != BER_OK)
        return rc;
    uint8_t tag = 0;
    Cursor content;
    rc = ReadAny(&seq, &tag, &content);
    if (rc != BER_OK)
        return rc;
    rc = ParseValue(tag, content, &vb->value);
    if (rc != BER_OK)
        return rc;
    return seq.Left() == 0 ? BER_OK : BER_ERR_LENGTH_MISMATCH;
}

// An SNMPv1 Trap's enterprise, agent address, generic and specific trap and time
// stamp, where other PDUs have their request id, error status and index.
int ReadTrapFields(Cursor *pdu)
{
    static const uint8_t kTags[] = {TAG_OID, TAG_IPADDRESS, TAG_INTEGER, TAG_INTEGER, TAG_TIMETICKS};
    for (uint8_t tag : kTags) {
        Cursor content;
        Value value;
        int rc = ReadExpected(pdu, tag, &content);
        if (rc == BER_OK)
            rc = ParseValue(tag, content, &value);
        if (rc != BER_OK)
            return rc;
    }
    return BER_OK;
}

}  // namespace

int ReadPdu(Cursor *c, Message *msg)
{
    if (c->Left() < 1)
        return BER_ERR_OUT_OF_DATA;
    uint8_t tag = *c->p;
    // GetBulk exists only in SNMPv2c; the other types decode in either version, so
    // that what is not an answer can be dropped without a word.
    bool v1Bulk = tag == TAG_GET_BULK_REQUEST && msg->version != VERSION_2C;
    if (tag < TAG_GET_REQUEST || tag > TAG_REPORT || v1Bulk)
        return BER_ERR_UNEXPECTED_TAG;
    Cursor pdu;
    int rc = ReadAny(c, &msg->pduType, &pdu);
    if (rc != BER_OK)
        return rc;
    if (tag == TAG_TRAP) {
        msg->requestId = msg->errorStatus = msg->errorIndex = 0;
        rc = ReadTrapFields(&pdu);
    } else if ((rc = ReadIntegerField(&pdu, &msg->requestId)) == BER_OK &&
               (rc = ReadIntegerField(&pdu, &msg->errorStatus)) == BER_OK) {
        rc = ReadIntegerField(&pdu, &msg->errorIndex);
    }
    if (rc != BER_OK)
        return rc;
    Cursor list;
    rc = ReadExpected(&pdu, TAG_SEQUENCE, &list);
    if (rc != BER_OK)
        return rc;
    msg->bindings.clear();
    while (list.Left() > 0) {
        msg->bindings.emplace_back();
        rc = ReadVarBind(&list, &msg->bindings.back());
        if (rc != BER_OK)
            return rc;
    }
    return pdu.Left() == 0 ? BER_OK : BER_ERR_LENGTH_MISMATCH;
}

void PutBytes(Writer *w, const uint8_t *bytes, size_t n)
{
    if (!w->ok || static_cast<size_t>(w->p - w->start) < n) {
        w->ok = false;
        return;
    }
    w->p -= n;
    if (n > 0)
        memcpy(w->p, bytes, n);
}

namespace {

void PutByte(Writer *w, uint8_t b)
{
    PutBytes(w, &b, 1);
}

}  // namespace

void PutHeader(Writer *w, uint8_t tag, size_t len)
{
    if (len < 0x80) {
        PutByte(w, static_cast<uint8_t>(len));
    } else {
        uint8_t octets = 0;
        for (size_t v = len; v > 0; v >>= 8) {
            PutByte(w, static_cast<uint8_t>(v & 0xFF));
            octets++;
        }
        PutByte(w, static_cast<uint8_t>(0x80 | octets));
    }
    PutByte(w, tag);
}

size_t Since(const Writer &w, const uint8_t *mark)
{
    return static_cast<size_t>(mark - w.p);
}

void PutInteger(Writer *w, uint8_t tag, int32_t value)
{
    uint8_t bytes[4];
    uint32_t bits = static_cast<uint32_t>(value);
    for (int k = 3; k >= 0; k--) {
        bytes[k] = static_cast<uint8_t>(bits & 0xFF);
        bits >>= 8;
    }
    // Drop leading octets that only repeat the sign of the next one.
    size_t skip = 0;
    while (skip < 3 && ((bytes[skip] == 0x00 && !(bytes[skip + 1] & 0x80)) ||
                        (bytes[skip] == 0xFF && (bytes[skip + 1] & 0x80))))
        skip++;
    PutBytes(w, bytes + skip, 4 - skip);
    PutHeader(w, tag, 4 - skip);
}

namespace {

void PutOid(Writer *w, const std::vector<uint32_t> &ids)
{
    uint8_t *mark = w->p;
    // The first two arcs share one sub-identifier; each is base 128, high groups first.
    for (size_t k = ids.size(); k-- > 1;) {
        uint64_t v = k > 1 ? ids[k] : static_cast<uint64_t>(ids[0]) * 40 + ids[1];
        PutByte(w, static_cast<uint8_t>(v & 0x7F));
        for (v >>= 7; v > 0; v >>= 7)
            PutByte(w, static_cast<uint8_t>(0x80 | (v & 0x7F)));
    }
    PutHeader(w, TAG_OID, Since(*w, mark));
}

}  // namespace

int PutPdu(Writer *w, const Message &msg)
{
    uint8_t *end = w->p;
    uint8_t *listEnd = w->p;
    for (size_t k = msg.bindings.size(); k-- > 0;) {
        const VarBind &vb = msg.bindings[k];
        if (!IsEncodableOid(vb.name.data(), vb.name.size()))
            return BER_ERR_INVALID_VALUE;
        // Requests carry NULL values only.
        if (vb.value.tag != TAG_NULL)
            return BER_ERR_INVALID_VALUE;
        uint8_t *vbEnd = w->p;
        PutHeader(w, TAG_NULL, 0);
        PutOid(w, vb.name);
        PutHeader(w, TAG_SEQUENCE, Since(*w, vbEnd));
    }
    PutHeader(w, TAG_SEQUENCE, Since(*w, listEnd));
    PutInteger(w, TAG_INTEGER, msg.errorIndex);
    PutInteger(w, TAG_INTEGER, msg.errorStatus);
    PutInteger(w, TAG_INTEGER, msg.requestId);
    PutHeader(w, msg.pduType, Since(*w, end));
    return BER_OK;
}

}  // namespace io

using namespace io;

bool IsEncodableOid(const uint32_t *ids, size_t count)
{
    if (count < 2 || count > MAX_OID_LEN || ids[0] > 2)
        return false;
    if (ids[0] < 2)
        return ids[1] < 40;
    return ids[1] <= 0xFFFFFFFFu - 80;
}

size_t ParseOidText(const char *text, uint32_t *ids, size_t cap)
{
    size_t count = 0;
    while (true) {
        if (*text < '0' || *text > '9' || count >= cap || count >= MAX_OID_LEN)
            return 0;
        uint64_t v = 0;
        while (*text >= '0' && *text <= '9') {
            v = v * 10 + static_cast<uint64_t>(*text++ - '0');
            if (v > 0xFFFFFFFFu)
                return 0;
        }
        ids[count++] = static_cast<uint32_t>(v);
        if (*text == '\0')
            break;
        if (*text++ != '.')
            return 0;
    }
    return IsEncodableOid(ids, count) ? count : 0;
}

int DecodeMessage(const uint8_t *data, size_t size, Message *msg)
{
    Cursor seq;
    int rc = ReadMessageStart(data, size, &seq, &msg->version);
    if (rc != BER_OK)
        return rc;
    if (msg->version != VERSION_1 && msg->version != VERSION_2C)
        return BER_ERR_INVALID_VALUE;
    Cursor community;
    rc = ReadExpected(&seq, TAG_OCTET_STRING, &community);
    if (rc != BER_OK)
        return rc;
    msg->community.assign(community.p, community.end);
    rc = ReadPdu(&seq, msg);
    if (rc != BER_OK)
        return rc;
    return seq.Left() == 0 ? BER_OK : BER_ERR_LENGTH_MISMATCH;
}

int EncodeMessage(const Message &msg, uint8_t *buf, size_t cap, size_t *len)
{
    if (msg.pduType == TAG_GET_BULK_REQUEST && msg.version != VERSION_2C)
        return BER_ERR_INVALID_VALUE;
    Writer w = {buf, buf + cap, true};
    uint8_t *end = w.p;

    int rc = PutPdu(&w, msg);
    if (rc != BER_OK)
        return rc;
    PutBytes(&w, msg.community.data(), msg.community.size());
    PutHeader(&w, TAG_OCTET_STRING, msg.community.size());
    PutInteger(&w, TAG_INTEGER, msg.version);
    PutHeader(&w, TAG_SEQUENCE, Since(w, end));
    if (!w.ok)
        return BER_ERR_BUFFER_TOO_SMALL;
    *len = Since(w, end);
    return BER_OK;
}

}  // namespace ber
}  // namespace vsnmp
