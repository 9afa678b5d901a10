// BER encoding and decoding of SNMPv1 (RFC 1157) and SNMPv2c (RFC 1901, 3416)
// messages. Shared by the stack, its fuzz target and its benchmark; knows
// nothing of sockets or handles.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vsnmp {
namespace ber {

enum {
    BER_OK = 0,
    BER_ERR_OUT_OF_DATA = -1,       // a tag, length or content runs past the bytes left
    BER_ERR_UNEXPECTED_TAG = -2,    // not the type the grammar wants here
    BER_ERR_INVALID_LENGTH = -3,    // indefinite, reserved or longer than four octets
    BER_ERR_LENGTH_MISMATCH = -4,   // children do not fill their parent exactly
    BER_ERR_INVALID_VALUE = -5,     // well-framed content that no valid value has
    BER_ERR_TRAILING_DATA = -6,     // bytes after the message
    BER_ERR_BUFFER_TOO_SMALL = -7,  // encoder: the output does not fit
};

const uint8_t TAG_INTEGER = 0x02;
const uint8_t TAG_OCTET_STRING = 0x04;
const uint8_t TAG_NULL = 0x05;
const uint8_t TAG_OID = 0x06;
const uint8_t TAG_SEQUENCE = 0x30;
const uint8_t TAG_IPADDRESS = 0x40;
const uint8_t TAG_COUNTER32 = 0x41;
const uint8_t TAG_GAUGE32 = 0x42;
const uint8_t TAG_TIMETICKS = 0x43;
const uint8_t TAG_OPAQUE = 0x44;
const uint8_t TAG_NSAPADDRESS = 0x45;
const uint8_t TAG_COUNTER64 = 0x46;
const uint8_t TAG_UINTEGER32 = 0x47;
const uint8_t TAG_NOSUCHOBJECT = 0x80;
const uint8_t TAG_NOSUCHINSTANCE = 0x81;
const uint8_t TAG_ENDOFMIBVIEW = 0x82;
const uint8_t TAG_GET_REQUEST = 0xA0;
const uint8_t TAG_GET_NEXT_REQUEST = 0xA1;
const uint8_t TAG_GET_RESPONSE = 0xA2;
const uint8_t TAG_SET_REQUEST = 0xA3;
const uint8_t TAG_TRAP = 0xA4;              // SNMPv1's, with fields of its own
const uint8_t TAG_GET_BULK_REQUEST = 0xA5;  // SNMPv2c only; its non-repeaters and
                                            // max-repetitions travel as error status and index
const uint8_t TAG_INFORM_REQUEST = 0xA6;
const uint8_t TAG_SNMPV2_TRAP = 0xA7;
const uint8_t TAG_REPORT = 0xA8;

const size_t MAX_OID_LEN = 128;  // sub-identifiers of one object identifier
// The largest UDP payload over IPv4: no message is sent or taken in longer.
const size_t MAX_MESSAGE_SIZE = 65507;

// A binding's value; tag says which member holds it.
struct Value {
    uint8_t tag = TAG_NULL;
    int32_t integer = 0;          // INTEGER
    uint64_t number = 0;          // Counter32, Gauge32, TimeTicks, UInteger32, Counter64
    std::vector<uint8_t> octets;  // OCTET STRING, IpAddress, Opaque, NsapAddress
    std::vector<uint32_t> oid;    // OBJECT IDENTIFIER
};

struct VarBind {
    std::vector<uint32_t> name;
    Value value;
};

const int32_t VERSION_1 = 0;   // SNMPv1
const int32_t VERSION_2C = 1;  // SNMPv2c

struct Message {
    int32_t version = VERSION_1;
    std::vector<uint8_t> community;
    uint8_t pduType = TAG_GET_REQUEST;
    int32_t requestId = 0;
    int32_t errorStatus = 0;
    int32_t errorIndex = 0;
    std::vector<VarBind> bindings;
};

// Decodes exactly one SNMPv1 or SNMPv2c message (version 0 or 1, any PDU from
// GetRequest to Report, GetBulk only in SNMPv2c; a Trap's own fields are checked
// and left out, its request id, error status and index read as 0) from
// data[0..size). Returns BER_OK and fills *msg, or the first error met (*msg then
// unspecified). Never reads outside data[0..size) and never recurses.
int DecodeMessage(const uint8_t *data, size_t size, Message *msg);

// Encodes msg, a request whose bindings all hold NULL, into the end of
// buf[0..cap), writing backwards: on BER_OK the message is the last *len bytes of
// buf. Fails with BER_ERR_BUFFER_TOO_SMALL when it does not fit, or
// BER_ERR_INVALID_VALUE for an object identifier that BER cannot carry (fewer
// than two arcs, first above 2, second above 39 under 0 or 1), a value that is
// not NULL, or a GetBulk PDU in an SNMPv1 message.
int EncodeMessage(const Message &msg, uint8_t *buf, size_t cap, size_t *len);

// True for an object identifier that EncodeMessage can carry.
bool IsEncodableOid(const uint32_t *ids, size_t count);

// Converts dotted-decimal text ("1.3.6.1...") into at most cap sub-identifiers.
// Returns their count, or 0 for text that is not an object identifier that
// EncodeMessage can carry (ids then unspecified).
size_t ParseOidText(const char *text, uint32_t *ids, size_t cap);

}  // namespace ber
}  // namespace vsnmp
