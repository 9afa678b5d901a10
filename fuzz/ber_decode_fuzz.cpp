// Fuzz target: any datagram through the decoder. What decodes must encode
// again, as the request it would be with NULL values (all the encoder writes),
// and decode to the same message with those values; an SNMPv1 Trap, whose own
// fields the encoder never writes, only has to decode.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "snmp/ber.h"

using namespace vsnmp::ber;

static bool IsNull(const Value &v)
{
    return v.tag == TAG_NULL && v.integer == 0 && v.number == 0 && v.octets.empty() && v.oid.empty();
}

static bool SameMessage(const Message &a, const Message &b)
{
    if (a.version != b.version || a.community != b.community || a.pduType != b.pduType ||
        a.requestId != b.requestId || a.errorStatus != b.errorStatus || a.errorIndex != b.errorIndex ||
        a.bindings.size() != b.bindings.size())
        return false;
    for (size_t k = 0; k < a.bindings.size(); k++)
        if (a.bindings[k].name != b.bindings[k].name || !IsNull(b.bindings[k].value))
            return false;
    return true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // An exactly sized heap copy, so a read one byte past the datagram is caught.
    uint8_t *datagram = static_cast<uint8_t *>(malloc(size ? size : 1));
    if (size)
        memcpy(datagram, data, size);
    Message msg;
    if (DecodeMessage(datagram, size, &msg) == BER_OK && msg.pduType != TAG_TRAP) {
        for (VarBind &vb : msg.bindings)
            vb.value = Value();
        // Short lengths and unsigned values may grow by a byte each when re-encoded.
        size_t cap = 2 * size + 16;
        uint8_t *out = static_cast<uint8_t *>(malloc(cap));
        size_t len = 0;
        if (EncodeMessage(msg, out, cap, &len) != BER_OK)
            abort();
        uint8_t *again = static_cast<uint8_t *>(malloc(len ? len : 1));
        memcpy(again, out + cap - len, len);
        Message back;
        if (DecodeMessage(again, len, &back) != BER_OK || !SameMessage(msg, back))
            abort();
        free(again);
        free(out);
    }
    free(datagram);
    return 0;
}
