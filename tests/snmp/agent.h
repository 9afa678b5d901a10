// A scripted SNMP agent for tests: a UDP socket on port 161 of a loopback
// address of our own, driven step by step by the test (so it works under Wine),
// and helpers that build replies byte by byte, independent of the encoder.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "snmp/udp.h"
#include "snmp/usm.h"
#include "snmp/v3message.h"

struct Datagram {
    std::string bytes;
    uint32_t addr = 0;
    uint16_t port = 0;
};

// "30 2A 02" -> the bytes; and back.
std::string Hex(const std::string &hex);
std::string ToHex(const std::string &bytes);

// A string's bytes as the stack takes them; bytes back as a string.
inline const uint8_t *Bytes(const std::string &s)
{
    return reinterpret_cast<const uint8_t *>(s.data());
}
inline std::string Str(const uint8_t *bytes, size_t n)
{
    return std::string(reinterpret_cast<const char *>(bytes), n);
}
template <class Octets>
std::string Str(const Octets &bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

std::string DottedIPv4(uint32_t addr);

// A header and content, with the long form of the length above 127.
std::string Tlv(uint8_t tag, const std::string &content);

const char kIfInOctets2[] = "1.3.6.1.2.1.2.2.1.10.2";

// A GetResponse for community "public", request id 1, one binding of
// 1.3.6.1.2.1.2.2.1.10.2 holding valueTlv.
std::string Response(const std::string &valueTlv, int errorStatus = 0, int errorIndex = 0);

// An unsigned value (Gauge32 0x42, Counter64 0x46, ...) in the fewest octets BER allows.
std::string UnsignedTlv(uint8_t tag, uint64_t value);

// The SNMPv3 side of an agent: one engine and one user. It opens what a manager
// sent with the stack's codec, and builds its reports and responses byte by
// byte, encrypting and authenticating them with the usm transforms.
struct V3Agent {
    std::string engineId;
    int32_t boots = 3;
    int32_t time = 1000;
    vsnmp::usm::Keys keys;

    // The user's keys localised to engineHex; false when they cannot be made.
    bool Init(const std::string &engineHex, vsnmp::usm::AuthProtocol auth, const char *authPassword,
              vsnmp::usm::PrivProtocol priv, const char *privPassword);
    // Decodes, verifies and decrypts a manager's message as this agent would.
    bool Open(const std::string &datagram, vsnmp::v3::Received *msg, vsnmp::v3::ScopedPdu *scoped) const;
    // A report naming usmStats counter stat (1 to 6), to request's message ID.
    std::string Report(const std::string &request, uint32_t stat, uint8_t flags = 0) const;
    // A response to request (its message ID, request ID and user) whose binding
    // names ifInOctets.2 with valueTlv; with the agent's time moved by timeOffset.
    std::string Response(const std::string &request, const std::string &valueTlv,
                         uint8_t flags = vsnmp::v3::FLAG_AUTH | vsnmp::v3::FLAG_PRIV, int32_t timeOffset = 0,
                         int32_t bootsOffset = 0) const;
    // A whole message around a scoped PDU in the clear.
    std::string Message(int32_t msgId, uint8_t flags, int32_t msgBoots, int32_t msgTime, const std::string &user,
                        const std::string &scopedPdu) const;
};

class ScriptedAgent {
public:
    ScriptedAgent();
    ~ScriptedAgent();

    // Binds port 161 on the first free address of 127.0.0.31 to .39 other than
    // those listed in `except` (127.0.0.1 on the Windows build, see agent.cpp).
    bool Start(uint32_t except1 = 0, uint32_t except2 = 0);
    // The same on 127.0.0.<firstHost> down to <lastHost>, for tests that live in
    // another range (the Windows build still takes 127.0.0.1).
    bool StartInRange(uint32_t firstHost, uint32_t lastHost);
    // A source of foreign replies on another address than avoid.
    bool StartOnOtherAddress(uint32_t avoid);
    // Binds an ephemeral port on the same address: a source of foreign replies.
    bool StartOnOtherPort(uint32_t addr);
    uint32_t Addr() const { return addr_; }
    uint16_t Port() const { return port_; }
    std::string Address() const { return DottedIPv4(addr_); }

    // The next datagram sent to the agent, waiting at most timeoutMs.
    bool Receive(Datagram *d, int timeoutMs);
    bool SendTo(const Datagram &to, const std::string &bytes);

private:
    vsnmp::net::UdpSocket socket_;
    uint32_t addr_ = 0;
    uint16_t port_ = 0;
};

// Polls cond every 2 ms for at most timeoutMs; returns its last value.
bool WaitFor(const std::function<bool()> &cond, int timeoutMs);
