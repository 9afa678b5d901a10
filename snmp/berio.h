// The reading and writing steps of ber.cpp, shared with the SNMPv3 codec
// (v3message.cpp): a (pointer, end) cursor for decoding and a backwards writer
// over a fixed buffer for encoding. No reader looks outside its cursor. After a
// failure a reader's cursor has moved by what it read and its outputs may be
// partly written: use neither.
#pragma once

#include <cstddef>
#include <cstdint>

#include "snmp/ber.h"

namespace vsnmp {
namespace ber {
namespace io {

struct Cursor {
    const uint8_t *p;
    const uint8_t *end;

    size_t Left() const { return static_cast<size_t>(end - p); }
};

// A header of any tag: *content covers its content and c moves past it.
// BER_OK, or
//   BER_ERR_OUT_OF_DATA     no byte for the tag or the length, fewer length
//                           octets than the long form says, or a length beyond
//                           what c has left;
//   BER_ERR_INVALID_LENGTH  the indefinite form (80), or a long form of more
//                           than four octets (85 to FF).
int ReadAny(Cursor *c, uint8_t *tag, Cursor *content);

// The same for one expected tag. BER_OK, or
//   BER_ERR_UNEXPECTED_TAG  the next byte is another tag (c has not moved);
//   BER_ERR_OUT_OF_DATA, BER_ERR_INVALID_LENGTH  as ReadAny, c empty included.
int ReadExpected(Cursor *c, uint8_t tag, Cursor *content);

// An INTEGER of one to four octets, two's complement. BER_OK, or
//   BER_ERR_UNEXPECTED_TAG, BER_ERR_OUT_OF_DATA, BER_ERR_INVALID_LENGTH
//                           as ReadExpected;
//   BER_ERR_INVALID_VALUE   no content octet, or more than four.
int ReadIntegerField(Cursor *c, int32_t *value);

// The outer SEQUENCE of exactly one message in data[0..size) and the INTEGER
// that opens it, whatever its value: *seq covers the rest of its content.
// BER_OK, or
//   BER_ERR_UNEXPECTED_TAG  the data does not start with a SEQUENCE, or the
//                           SEQUENCE not with an INTEGER;
//   BER_ERR_OUT_OF_DATA, BER_ERR_INVALID_LENGTH  as ReadAny;
//   BER_ERR_TRAILING_DATA   bytes after the SEQUENCE;
//   BER_ERR_INVALID_VALUE   the version as ReadIntegerField.
int ReadMessageStart(const uint8_t *data, size_t size, Cursor *seq, int32_t *version);

// A PDU into *msg, whose version must be set: any type from GetRequest to
// Report, a GetBulk in SNMPv2c only; for an SNMPv1 Trap its own fields are
// checked and left out, and request id, error status and index are 0. c moves
// past the PDU; what follows in c is the caller's. BER_OK, or
//   BER_ERR_UNEXPECTED_TAG  a PDU tag out of that range, a GetBulk outside
//                           SNMPv2c, a field or binding of the wrong type, or a
//                           value of a type SNMP does not have;
//   BER_ERR_OUT_OF_DATA, BER_ERR_INVALID_LENGTH  as ReadAny, at any level;
//   BER_ERR_INVALID_VALUE   an INTEGER field as ReadIntegerField, an object
//                           identifier that is empty, padded, cut off, above
//                           2^32 - 1 in a sub-identifier or longer than
//                           MAX_OID_LEN, an IpAddress not of four octets, a
//                           number of no octet or of more than its type holds,
//                           or a NULL or an exception with content;
//   BER_ERR_LENGTH_MISMATCH a binding or the PDU with bytes after its parts.
int ReadPdu(Cursor *c, Message *msg);

// Backwards writer over buf[0..cap): p moves down from the end; ok stays false
// once anything did not fit, and from then on nothing more is written. Running
// out of room is never a return code: the caller checks ok at the end.
struct Writer {
    uint8_t *start;
    uint8_t *p;
    bool ok;
};

// n bytes in front of what is written, or none of them when they do not fit.
void PutBytes(Writer *w, const uint8_t *bytes, size_t n);
// Tag and length in front of the len bytes just written; the long form only
// for lengths above 127.
void PutHeader(Writer *w, uint8_t tag, size_t len);
// value in the fewest octets two's complement allows.
void PutInteger(Writer *w, uint8_t tag, int32_t value);
// The PDU of msg (a request: NULL values only). BER_OK, or
//   BER_ERR_INVALID_VALUE   a name that IsEncodableOid refuses, or a value that
//                           is not NULL (what was written is then of no use).
int PutPdu(Writer *w, const Message &msg);
// Bytes written since mark (an earlier p).
size_t Since(const Writer &w, const uint8_t *mark);

}  // namespace io
}  // namespace ber
}  // namespace vsnmp
