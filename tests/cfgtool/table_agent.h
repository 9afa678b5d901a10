// A scripted agent that serves a table of objects to GET and GetNext, over
// SNMPv1 and (unless told not to) SNMPv2c, on a thread of its own. Replies are
// built byte by byte; a test may replace the GetNext answer to misbehave.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "tests/snmp/agent.h"

typedef std::vector<uint32_t> Oid;

Oid ParseOid(const std::string &text);

// Value TLVs.
std::string IntegerTlv(int64_t value);
std::string OctetsTlv(const std::string &text);

class TableAgent {
public:
    ~TableAgent() { Stop(); }

    void Set(const std::string &oid, const std::string &valueTlv) { objects_[ParseOid(oid)] = valueTlv; }
    // Given the name a GetNext asks about, the name and value to answer with;
    // false to answer from the table.
    std::function<bool(const Oid &asked, Oid *name, std::string *valueTlv)> getNext;
    bool v2c = true;  // answers SNMPv2c; otherwise ignores it, as a v1-only agent does

    // Serves community (a message with another goes unanswered).
    bool Start(const std::string &community);
    void Stop();
    std::string Address() const { return socket_.Address(); }
    int Requests() const { return requests_.load(); }

private:
    void Serve();
    std::string Answer(const std::string &request);

    std::map<Oid, std::string> objects_;
    std::string community_;
    ScriptedAgent socket_;
    std::thread thread_;
    std::atomic<bool> stop_{false};
    std::atomic<int> requests_{0};
};
