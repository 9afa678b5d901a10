// A scripted agent that serves a table of objects to Get, GetNext and GetBulk,
// over SNMPv1 and (unless told not to) SNMPv2c, on a thread of its own. Replies
// are built byte by byte; a test may script any answer to misbehave.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "snmp/ber.h"
#include "tests/snmp/agent.h"

typedef std::vector<uint32_t> Oid;

Oid ParseOid(const std::string &text);

// Value TLVs.
std::string IntegerTlv(int64_t value);
std::string OctetsTlv(const std::string &text);

struct TableReply {
    int errorStatus = 0;
    int errorIndex = 0;
    std::vector<std::pair<Oid, std::string>> bindings;  // name and value TLV
    bool silent = false;                                // no reply at all
};

class TableAgent {
public:
    ~TableAgent() { Stop(); }

    void Set(const std::string &oid, const std::string &valueTlv) { objects_[ParseOid(oid)] = valueTlv; }
    // A reply of the test's own to a request; false to answer from the table.
    std::function<bool(const vsnmp::ber::Message &request, TableReply *reply)> script;
    bool v2c = true;         // answers SNMPv2c; otherwise ignores it, as a v1-only agent does
    size_t tooBigAbove = 0;  // a reply longer than this is answered tooBig instead (0: any length)

    // Serves community (a message with another goes unanswered) on port 161,
    // or with anyPort on a port of the system's choice.
    bool Start(const std::string &community, bool anyPort = false);
    void Stop();
    std::string Address() const { return socket_.Address(); }
    uint32_t Addr() const { return socket_.Addr(); }
    uint16_t Port() const { return socket_.Port(); }
    int Requests() const { return requests_.load(); }

    // The answer the table gives.
    TableReply FromTable(const vsnmp::ber::Message &request) const;

private:
    void Serve();
    std::string Answer(const std::string &request);
    // The first object after name, for the version given; false at the end.
    bool Next(const Oid &name, int32_t version, Oid *next, std::string *value) const;

    std::map<Oid, std::string> objects_;
    std::string community_;
    ScriptedAgent socket_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
};
