#include "tests/cfgtool/table_agent.h"

#include <cstdlib>

#include "snmp/ber.h"

using namespace vsnmp;

Oid ParseOid(const std::string &text)
{
    Oid ids;
    const char *p = text.c_str();
    while (*p) {
        char *end = nullptr;
        ids.push_back(static_cast<uint32_t>(strtoul(p, &end, 10)));
        p = *end == '.' ? end + 1 : end;
    }
    return ids;
}

std::string IntegerTlv(int64_t value)
{
    std::string content;
    do {
        content.insert(content.begin(), static_cast<char>(value & 0xFF));
        value >>= 8;
    } while (!((value == 0 && !(content[0] & 0x80)) || (value == -1 && (content[0] & 0x80))));
    return Tlv(0x02, content);
}

std::string OctetsTlv(const std::string &text)
{
    return Tlv(0x04, text);
}

static std::string OidTlv(const Oid &ids)
{
    std::string content;
    for (size_t k = ids.size() < 2 ? 0 : 1; k < ids.size(); k++) {
        uint32_t v = k == 1 ? ids[0] * 40 + ids[1] : ids[k];
        std::string septets(1, static_cast<char>(v & 0x7F));
        for (v >>= 7; v != 0; v >>= 7)
            septets.insert(septets.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        content += septets;
    }
    return Tlv(0x06, content);
}

bool TableAgent::Start(const std::string &community)
{
    community_ = community;
    if (!socket_.Start())
        return false;
    thread_ = std::thread(&TableAgent::Serve, this);
    return true;
}

void TableAgent::Stop()
{
    stop_ = true;
    if (thread_.joinable())
        thread_.join();
}

void TableAgent::Serve()
{
    while (!stop_) {
        Datagram d;
        if (!socket_.Receive(&d, 20))
            continue;
        std::string reply = Answer(d.bytes);
        if (!reply.empty())
            socket_.SendTo(d, reply);
    }
}

std::string TableAgent::Answer(const std::string &request)
{
    ber::Message msg;
    if (ber::DecodeMessage(reinterpret_cast<const uint8_t *>(request.data()), request.size(), &msg) != ber::BER_OK ||
        std::string(msg.community.begin(), msg.community.end()) != community_ || msg.bindings.size() != 1 ||
        (msg.version == 1 && !v2c))
        return "";
    requests_++;
    const Oid &asked = msg.bindings[0].name;
    Oid name = asked;
    std::string value;
    int errorStatus = 0;
    if (msg.pduType == ber::TAG_GET_NEXT_REQUEST) {
        if (!getNext || !getNext(asked, &name, &value)) {
            auto it = objects_.upper_bound(asked);
            // An SNMPv1 walk passes over the Counter64 objects, which v1 cannot carry.
            while (msg.version == 0 && it != objects_.end() && it->second[0] == 0x46)
                ++it;
            if (it != objects_.end()) {
                name = it->first;
                value = it->second;
            }
        }
        if (value.empty() && msg.version == 0)
            errorStatus = 2;  // noSuchName: the end of the walk in SNMPv1
        else if (value.empty())
            value = Hex("82 00");  // endOfMibView
    } else {
        auto it = objects_.find(asked);
        // Counter64 does not exist in SNMPv1.
        if (it != objects_.end() && !(msg.version == 0 && it->second[0] == 0x46))
            value = it->second;
        else if (msg.version == 0)
            errorStatus = 2;
        else
            value = Hex("80 00");  // noSuchObject
    }
    if (errorStatus != 0)
        value = Hex("05 00");
    std::string pdu = IntegerTlv(msg.requestId) + IntegerTlv(errorStatus) + IntegerTlv(errorStatus ? 1 : 0) +
                      Tlv(0x30, Tlv(0x30, OidTlv(name) + value));
    return Tlv(0x30, IntegerTlv(msg.version) + OctetsTlv(community_) + Tlv(0xA2, pdu));
}
