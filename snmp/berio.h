// The reading and writing steps of ber.cpp, shared with the SNMPv3 codec
// (v3message.cpp): a (pointer, end) cursor for decoding and a backwards writer
// over a fixed buffer for encoding.
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

// A header of any tag: content covers its content and c moves past it.
int ReadAny(Cursor *c, uint8_t *tag, Cursor *content);
// The same for one expected tag; a wrong tag is BER_ERR_UNEXPECTED_TAG.
int ReadExpected(Cursor *c, uint8_t tag, Cursor *content);
int ReadIntegerField(Cursor *c, int32_t *value);
// The outer SEQUENCE of exactly one message in data[0..size) and its version:
// *seq covers the rest of its content.
int ReadMessageStart(const uint8_t *data, size_t size, Cursor *seq, int32_t *version);
// A Get, GetNext, Response, Set or Report PDU.
int ReadPdu(Cursor *c, Message *msg);

// Backwards writer over buf[0..cap): p moves down from the end; ok stays false
// once anything did not fit.
struct Writer {
    uint8_t *start;
    uint8_t *p;
    bool ok;
};

void PutBytes(Writer *w, const uint8_t *bytes, size_t n);
void PutHeader(Writer *w, uint8_t tag, size_t len);
void PutInteger(Writer *w, uint8_t tag, int32_t value);
// The PDU of msg (a request: NULL values only), or BER_ERR_INVALID_VALUE.
int PutPdu(Writer *w, const Message &msg);
// Bytes written since mark (an earlier p).
size_t Since(const Writer &w, const uint8_t *mark);

}  // namespace io
}  // namespace ber
}  // namespace vsnmp
