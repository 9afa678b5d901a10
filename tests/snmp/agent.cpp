#include "tests/snmp/agent.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

std::string Hex(const std::string &hex)
{
    std::string out;
    unsigned value = 0;
    int digits = 0;
    for (char ch : hex) {
        int d = ch >= '0' && ch <= '9' ? ch - '0' : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10 : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10 : -1;
        if (d < 0)
            continue;
        value = value * 16 + static_cast<unsigned>(d);
        if (++digits == 2) {
            out.push_back(static_cast<char>(value));
            value = 0;
            digits = 0;
        }
    }
    return out;
}

std::string ToHex(const std::string &bytes)
{
    std::string out;
    char buf[4];
    for (unsigned char b : bytes) {
        snprintf(buf, sizeof buf, out.empty() ? "%02X" : " %02X", b);
        out += buf;
    }
    return out;
}

std::string DottedIPv4(uint32_t addr)
{
    char buf[16];
    snprintf(buf, sizeof buf, "%u.%u.%u.%u", addr >> 24, (addr >> 16) & 0xFF, (addr >> 8) & 0xFF, addr & 0xFF);
    return buf;
}

std::string Tlv(uint8_t tag, const std::string &content)
{
    std::string out(1, static_cast<char>(tag));
    size_t len = content.size();
    if (len < 0x80) {
        out.push_back(static_cast<char>(len));
    } else {
        std::string octets;
        for (; len > 0; len >>= 8)
            octets.insert(octets.begin(), static_cast<char>(len & 0xFF));
        out.push_back(static_cast<char>(0x80 | octets.size()));
        out += octets;
    }
    return out + content;
}

// A GetResponse PDU with one binding of ifInOctets.2.
static std::string ResponsePdu(const std::string &requestIdTlv, const std::string &valueTlv, int errorStatus = 0,
                               int errorIndex = 0)
{
    std::string name = Hex("06 0A 2B 06 01 02 01 02 02 01 0A 02");
    std::string pdu = requestIdTlv + Tlv(0x02, std::string(1, static_cast<char>(errorStatus))) +
                      Tlv(0x02, std::string(1, static_cast<char>(errorIndex))) + Tlv(0x30, Tlv(0x30, name + valueTlv));
    return Tlv(0xA2, pdu);
}

std::string Response(const std::string &valueTlv, int errorStatus, int errorIndex)
{
    return Tlv(0x30, Hex("02 01 00") + Tlv(0x04, "public") +
                         ResponsePdu(Hex("02 01 01"), valueTlv, errorStatus, errorIndex));
}

std::string UnsignedTlv(uint8_t tag, uint64_t value)
{
    std::string octets;
    do {
        octets.insert(octets.begin(), static_cast<char>(value & 0xFF));
        value >>= 8;
    } while (value > 0);
    if (static_cast<unsigned char>(octets[0]) & 0x80)
        octets.insert(octets.begin(), '\0');
    return Tlv(tag, octets);
}

bool V3Agent::Init(const std::string &engineHex, vsnmp::usm::AuthProtocol auth, const char *authPassword,
                   vsnmp::usm::PrivProtocol priv, const char *privPassword)
{
    engineId = Hex(engineHex);
    vsnmp::usm::UserKeys user;
    return vsnmp::usm::MakeUserKeys(auth, authPassword, priv, privPassword, &user) &&
           vsnmp::usm::LocalizeKeys(user, reinterpret_cast<const uint8_t *>(engineId.data()), engineId.size(), &keys);
}

bool V3Agent::Open(const std::string &datagram, vsnmp::v3::Received *msg, vsnmp::v3::ScopedPdu *scoped) const
{
    using namespace vsnmp;
    const uint8_t *d = reinterpret_cast<const uint8_t *>(datagram.data());
    return v3::DecodeMessage(d, datagram.size(), msg) == ber::BER_OK &&
           (!(msg->header.flags & v3::FLAG_AUTH) || v3::VerifyMac(d, datagram.size(), *msg, keys)) &&
           v3::OpenScopedPdu(*msg, keys, scoped) == ber::BER_OK;
}

std::string V3Agent::Message(int32_t msgId, uint8_t flags, int32_t msgBoots, int32_t msgTime, const std::string &user,
                             const std::string &scopedPdu) const
{
    using namespace vsnmp;
    const std::string salt = Hex("5A 5A 5A 5A 00 00 00 01");
    std::string data = scopedPdu;
    if (flags & v3::FLAG_PRIV) {
        uint8_t iv[usm::IV_SIZE];
        usm::AesIv(static_cast<uint32_t>(msgBoots), static_cast<uint32_t>(msgTime),
                   reinterpret_cast<const uint8_t *>(salt.data()), iv);
        usm::AesCfb(true, keys.privKey, usm::PrivKeyLength(keys.priv), iv,
                    reinterpret_cast<const uint8_t *>(scopedPdu.data()), reinterpret_cast<uint8_t *>(&data[0]),
                    data.size());
        data = Tlv(0x04, data);
    }
    size_t macLen = (flags & v3::FLAG_AUTH) ? usm::MacLength(keys.auth) : 0;
    std::string macField = Tlv(0x04, std::string(macLen, '\0'));
    std::string params = Tlv(0x30, Tlv(0x04, engineId) + UnsignedTlv(0x02, static_cast<uint32_t>(msgBoots)) +
                                       UnsignedTlv(0x02, static_cast<uint32_t>(msgTime)) + Tlv(0x04, user) + macField +
                                       Tlv(0x04, (flags & v3::FLAG_PRIV) ? salt : ""));
    std::string global = Tlv(0x30, UnsignedTlv(0x02, static_cast<uint32_t>(msgId)) + Hex("02 03 00 FF E3") +
                                       Tlv(0x04, std::string(1, static_cast<char>(flags))) + Hex("02 01 03"));
    std::string msg = Tlv(0x30, Hex("02 01 03") + global + Tlv(0x04, params) + data);
    if (macLen > 0) {
        // The MAC over the message with its place zeroed, then in that place:
        // the first such field, as nothing before it has that shape.
        uint8_t mac[usm::MAX_MAC];
        usm::Mac(keys.auth, keys.authKey, reinterpret_cast<const uint8_t *>(msg.data()), msg.size(), mac);
        msg.replace(msg.find(macField) + 2, macLen, reinterpret_cast<const char *>(mac), macLen);
    }
    return msg;
}

std::string V3Agent::Report(const std::string &request, uint32_t stat, uint8_t flags) const
{
    vsnmp::v3::Received msg;
    vsnmp::v3::ScopedPdu in;
    // A request it cannot open still has a message ID to answer.
    Open(request, &msg, &in);
    std::string name = Hex("06 0A 2B 06 01 06 03 0F 01 01") + std::string(1, static_cast<char>(stat)) + Hex("00");
    std::string pdu = Tlv(0xA8, UnsignedTlv(0x02, static_cast<uint32_t>(in.pdu.requestId)) + Hex("02 01 00 02 01 00") +
                                    Tlv(0x30, Tlv(0x30, name + Hex("41 01 01"))));
    std::string scoped = Tlv(0x30, Tlv(0x04, engineId) + Tlv(0x04, "") + pdu);
    return Message(msg.header.msgId, flags, boots, time, std::string(msg.header.userName.begin(), msg.header.userName.end()),
                   scoped);
}

std::string V3Agent::Response(const std::string &request, const std::string &valueTlv, uint8_t flags, int32_t timeOffset,
                              int32_t bootsOffset) const
{
    vsnmp::v3::Received msg;
    vsnmp::v3::ScopedPdu in;
    Open(request, &msg, &in);
    std::string scoped = Tlv(0x30, Tlv(0x04, engineId) + Tlv(0x04, "") +
                                       ResponsePdu(UnsignedTlv(0x02, static_cast<uint32_t>(in.pdu.requestId)), valueTlv));
    return Message(msg.header.msgId, flags, boots + bootsOffset, time + timeOffset,
                   std::string(msg.header.userName.begin(), msg.header.userName.end()), scoped);
}

ScriptedAgent::ScriptedAgent()
{
    vsnmp::net::NetStartup();
}

ScriptedAgent::~ScriptedAgent()
{
    socket_.Close();
    vsnmp::net::NetCleanup();
}

// Wine binds a UDP socket to any loopback address but 127.0.0.1 as the
// wildcard, so its datagrams leave from 127.0.0.1 and a client connected to
// 127.0.0.31 would rightly drop them: the Windows build's agent takes 127.0.0.1.
#ifdef _WIN32
static const uint32_t kFirstHost = 1, kLastHost = 1;
static const int kBusyRetries = 150;  // another program's agent may hold it a while
#else
static const uint32_t kFirstHost = 31, kLastHost = 39;
static const int kBusyRetries = 0;
#endif

bool ScriptedAgent::Start(uint32_t except1, uint32_t except2)
{
    // Other runs of these tests (the other build, another helper) may hold an
    // address: take the next one, or wait for the only one.
    for (int attempt = 0; attempt <= kBusyRetries; attempt++) {
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        for (uint32_t host = kFirstHost; host <= kLastHost; host++) {
            uint32_t addr = 0x7F000000u | host;
            if (addr == except1 || addr == except2)
                continue;
            if (socket_.Open() && socket_.Bind(addr, 161)) {
                addr_ = addr;
                port_ = 161;
                return true;
            }
            socket_.Close();
        }
    }
    return false;
}

bool ScriptedAgent::StartInRange(uint32_t firstHost, uint32_t lastHost)
{
#ifdef _WIN32
    (void)firstHost;
    (void)lastHost;
    return Start();
#else
    int step = firstHost <= lastHost ? 1 : -1;
    for (uint32_t host = firstHost;; host += step) {
        uint32_t addr = 0x7F000000u | host;
        if (socket_.Open() && socket_.Bind(addr, 161)) {
            addr_ = addr;
            port_ = 161;
            return true;
        }
        socket_.Close();
        if (host == lastHost)
            return false;
    }
#endif
}

bool ScriptedAgent::StartOnOtherAddress(uint32_t avoid)
{
    // Port 161 of another address of the range when one is free, else any port
    // of one (under Wine the datagrams then come from 127.0.0.1 and that port).
    for (uint16_t port : {uint16_t(161), uint16_t(0)}) {
        for (uint32_t host = 31; host <= 39; host++) {
            uint32_t addr = 0x7F000000u | host;
            if (addr != avoid && socket_.Open() && socket_.Bind(addr, port))
                return socket_.LocalAddress(&addr_, &port_);
            socket_.Close();
        }
    }
    return false;
}

bool ScriptedAgent::StartOnOtherPort(uint32_t addr)
{
    if (!socket_.Open() || !socket_.Bind(addr, 0))
        return false;
    addr_ = addr;
    return socket_.LocalAddress(&addr_, &port_);
}

bool ScriptedAgent::Receive(Datagram *d, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    std::vector<uint8_t> buf(65536);
    while (true) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (socket_.Wait(nullptr, left.count() > 0 ? static_cast<int>(left.count()) : 0) == 1) {
            long n = socket_.Receive(buf.data(), buf.size(), &d->addr, &d->port);
            if (n >= 0) {
                d->bytes.assign(reinterpret_cast<const char *>(buf.data()), static_cast<size_t>(n));
                return true;
            }
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
    }
}

bool ScriptedAgent::SendTo(const Datagram &to, const std::string &bytes)
{
    return socket_.SendTo(reinterpret_cast<const uint8_t *>(bytes.data()), bytes.size(), to.addr, to.port);
}

bool WaitFor(const std::function<bool()> &cond, int timeoutMs)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!cond()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return cond();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}
