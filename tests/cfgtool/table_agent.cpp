#include "tests/cfgtool/table_agent.h"

#include <cstdlib>

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

static std::string Encode(const ber::Message &request, const TableReply &reply)
{
    std::string list;
    for (const auto &b : reply.bindings)
        list += Tlv(0x30, OidTlv(b.first) + b.second);
    std::string pdu = IntegerTlv(request.requestId) + IntegerTlv(reply.errorStatus) + IntegerTlv(reply.errorIndex) +
                      Tlv(0x30, list);
    std::string community(request.community.begin(), request.community.end());
    return Tlv(0x30, IntegerTlv(request.version) + OctetsTlv(community) + Tlv(0xA2, pdu));
}

bool TableAgent::Start(const std::string &community, bool anyPort)
{
    community_ = community;
    if (!(anyPort ? socket_.StartOnOtherPort(0x7F000001) : socket_.Start()))
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

bool TableAgent::Next(const Oid &name, int32_t version, Oid *next, std::string *value) const
{
    auto it = objects_.upper_bound(name);
    // An SNMPv1 walk passes over the Counter64 objects, which v1 cannot carry.
    while (version == ber::VERSION_1 && it != objects_.end() && it->second[0] == 0x46)
        ++it;
    if (it == objects_.end())
        return false;
    *next = it->first;
    *value = it->second;
    return true;
}

TableReply TableAgent::FromTable(const ber::Message &request) const
{
    TableReply reply;
    bool v1 = request.version == ber::VERSION_1;
    const std::vector<ber::VarBind> &asked = request.bindings;
    if (request.pduType == ber::TAG_GET_BULK_REQUEST) {
        // Non-repeaters once, then the repeaters side by side, row after row.
        size_t nonRepeaters = static_cast<size_t>(request.errorStatus) < asked.size() ? request.errorStatus : asked.size();
        std::vector<Oid> current;
        for (const ber::VarBind &vb : asked)
            current.push_back(vb.name);
        for (int row = 0; row <= request.errorIndex; row++) {
            for (size_t k = row == 0 ? 0 : nonRepeaters; k < (row == 0 ? nonRepeaters : asked.size()); k++) {
                std::string value = Hex("82 00");  // endOfMibView
                Oid next;
                if (Next(current[k], request.version, &next, &value))
                    current[k] = next;
                reply.bindings.push_back({current[k], value});
            }
        }
        return reply;
    }
    for (size_t k = 0; k < asked.size(); k++) {
        Oid name = asked[k].name;
        std::string value;
        if (request.pduType == ber::TAG_GET_NEXT_REQUEST) {
            if (!Next(asked[k].name, request.version, &name, &value))
                value = v1 ? "" : Hex("82 00");  // endOfMibView
        } else {
            auto it = objects_.find(name);
            // Counter64 does not exist in SNMPv1.
            if (it != objects_.end() && !(v1 && it->second[0] == 0x46))
                value = it->second;
            else if (!v1)
                value = Hex("80 00");  // noSuchObject
        }
        if (value.empty()) {
            // noSuchName, the end of a walk in SNMPv1: the request comes back.
            reply.errorStatus = 2;
            reply.errorIndex = static_cast<int>(k) + 1;
            reply.bindings.clear();
            for (const ber::VarBind &vb : asked)
                reply.bindings.push_back({vb.name, Hex("05 00")});
            return reply;
        }
        reply.bindings.push_back({name, value});
    }
    return reply;
}

std::string TableAgent::Answer(const std::string &request)
{
    ber::Message msg;
    if (ber::DecodeMessage(reinterpret_cast<const uint8_t *>(request.data()), request.size(), &msg) != ber::BER_OK ||
        std::string(msg.community.begin(), msg.community.end()) != community_ ||
        (msg.version == ber::VERSION_2C && !v2c))
        return "";
    requests_++;
    TableReply reply;
    if (!script || !script(msg, &reply))
        reply = FromTable(msg);
    if (reply.silent)
        return "";
    std::string bytes = Encode(msg, reply);
    if (tooBigAbove > 0 && bytes.size() > tooBigAbove) {
        TableReply tooBig;
        tooBig.errorStatus = 1;
        bytes = Encode(msg, tooBig);
    }
    return bytes;
}
