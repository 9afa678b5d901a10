// SNMPv3 messages (RFC 3412) with the user-based security model's parameters
// (RFC 3414): encoding a request, authenticated and encrypted as its flags say,
// and taking a received one apart defensively. Knows nothing of sockets,
// handles or engines' clocks; the stack decides what a message means.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "snmp/ber.h"
#include "snmp/usm.h"

namespace vsnmp {
namespace v3 {

const int32_t VERSION_3 = 3;
const int32_t SECURITY_MODEL_USM = 3;

const uint8_t FLAG_AUTH = 0x01;
const uint8_t FLAG_PRIV = 0x02;
const uint8_t FLAG_REPORTABLE = 0x04;

enum {
    V3_ERR_SECURITY = -20,  // flags, model or parameters that the security model cannot take
};

// The header data and security parameters of a message.
struct Header {
    int32_t msgId = 0;
    int32_t maxSize = static_cast<int32_t>(ber::MAX_MESSAGE_SIZE);  // what we announce: any datagram
    uint8_t flags = 0;
    std::vector<uint8_t> engineId;
    int32_t boots = 0;
    int32_t time = 0;
    std::vector<uint8_t> userName;
    std::vector<uint8_t> privParams;  // decoded only: the salt
};

struct ScopedPdu {
    std::vector<uint8_t> contextEngineId;
    std::vector<uint8_t> contextName;
    ber::Message pdu;  // its version and community are not used
};

// Encodes a message into the end of buf[0..cap), writing backwards: on BER_OK
// it is the last *len bytes. With FLAG_PRIV the scoped PDU is encrypted under
// keys.privKey with the 8-byte salt; with FLAG_AUTH the MAC under keys.authKey
// fills the authentication parameters. BER_ERR_BUFFER_TOO_SMALL,
// BER_ERR_INVALID_VALUE (see ber::EncodeMessage) or V3_ERR_SECURITY (flags the
// keys cannot serve, or the platform refused) otherwise.
int EncodeMessage(const Header &header, const ScopedPdu &scoped, const usm::Keys &keys, const uint8_t *salt, uint8_t *buf,
                  size_t cap, size_t *len);

// A received message taken apart, its security not yet checked.
struct Received {
    Header header;
    size_t macOffset = 0;  // where the authentication parameters lie in the datagram
    size_t macLength = 0;
    const uint8_t *scoped = nullptr;  // the scoped PDU, or with FLAG_PRIV its ciphertext
    size_t scopedLength = 0;
};

// Decodes the frame of exactly one SNMPv3 message from data[0..size): version 3,
// the USM security model, flags that make sense (no privacy without
// authentication), and a scoped PDU in the clear or encrypted as the flags say.
// Returns BER_OK, a BER_ERR_ code or V3_ERR_SECURITY. The pointers in *msg
// point into data. Never reads outside data[0..size).
int DecodeMessage(const uint8_t *data, size_t size, Received *msg);

// True when the message's MAC is the one keys.authKey gives the datagram.
bool VerifyMac(const uint8_t *data, size_t size, const Received &msg, const usm::Keys &keys);

// Decrypts the scoped PDU when the message is encrypted (under keys.privKey,
// with the message's boots, time and salt) and decodes it. BER_OK, a BER_ERR_
// code, or V3_ERR_SECURITY when it cannot be decrypted.
int OpenScopedPdu(const Received &msg, const usm::Keys &keys, ScopedPdu *scoped);

// Decodes a scoped PDU from data[0..size); bytes after it are allowed (a
// sender may pad what it encrypts).
int DecodeScopedPdu(const uint8_t *data, size_t size, ScopedPdu *scoped);

}  // namespace v3
}  // namespace vsnmp
