// A scripted SNMP agent for tests: a UDP socket on port 161 of a loopback
// address of our own, driven step by step by the test (so it works under Wine),
// and helpers that build replies byte by byte, independent of the encoder.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "snmp/udp.h"

struct Datagram {
    std::string bytes;
    uint32_t addr = 0;
    uint16_t port = 0;
};

// "30 2A 02" -> the bytes; and back.
std::string Hex(const std::string &hex);
std::string ToHex(const std::string &bytes);

std::string DottedIPv4(uint32_t addr);

// A header and content, with the long form of the length above 127.
std::string Tlv(uint8_t tag, const std::string &content);

const char kIfInOctets2[] = "1.3.6.1.2.1.2.2.1.10.2";

// A GetResponse for community "public", request id 1, one binding of
// 1.3.6.1.2.1.2.2.1.10.2 holding valueTlv.
std::string Response(const std::string &valueTlv, int errorStatus = 0, int errorIndex = 0);

// An unsigned value (Gauge32 0x42, Counter64 0x46, ...) in the fewest octets BER allows.
std::string UnsignedTlv(uint8_t tag, uint64_t value);

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
