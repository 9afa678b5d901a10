// vellary-cfg's walk, in-process, against a scripted agent serving an interface
// table. Tries are 200 ms apart here (quick_system.cpp), not 1 s.
#include "cfgtool/walk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "tests/cfgtool/quick_system.h"
#include "tests/cfgtool/table_agent.h"
#include "tests/support/files.h"

using namespace vsnmp;

namespace {

struct Interface {
    uint32_t index;
    const char *descr;
    int type;  // 6 Ethernet, 24 software loopback, 131 tunnel, 135 VLAN
    uint32_t speed;
    int status;        // 1 up, 2 down
    const char *name;  // nullptr: no ifXTable row
    uint32_t highSpeed;
    bool hc;  // serves the 64-bit counters
};

void Serve(TableAgent *agent, const std::vector<Interface> &table)
{
    for (const Interface &i : table) {
        std::string n = "." + std::to_string(i.index);
        agent->Set("1.3.6.1.2.1.2.1.0", IntegerTlv(static_cast<int64_t>(table.size())));
        agent->Set("1.3.6.1.2.1.2.2.1.1" + n, IntegerTlv(i.index));
        agent->Set("1.3.6.1.2.1.2.2.1.2" + n, OctetsTlv(i.descr));
        agent->Set("1.3.6.1.2.1.2.2.1.3" + n, IntegerTlv(i.type));
        agent->Set("1.3.6.1.2.1.2.2.1.5" + n, UnsignedTlv(0x42, i.speed));
        agent->Set("1.3.6.1.2.1.2.2.1.8" + n, IntegerTlv(i.status));
        agent->Set("1.3.6.1.2.1.2.2.1.10" + n, UnsignedTlv(0x41, 1000));
        agent->Set("1.3.6.1.2.1.2.2.1.16" + n, UnsignedTlv(0x41, 2000));
        if (i.name) {
            agent->Set("1.3.6.1.2.1.31.1.1.1.1" + n, OctetsTlv(i.name));
            agent->Set("1.3.6.1.2.1.31.1.1.1.15" + n, UnsignedTlv(0x42, i.highSpeed));
        }
        if (i.hc) {
            agent->Set("1.3.6.1.2.1.31.1.1.1.6" + n, UnsignedTlv(0x46, 5000000000));
            agent->Set("1.3.6.1.2.1.31.1.1.1.10" + n, UnsignedTlv(0x46, 6000000000));
        }
    }
}

struct Result {
    int code;
    std::string lines;
    std::string message;
    long long ms;
};

// Runs "vellary-cfg args..." with its output and messages caught in files of
// the working directory.
Result Walk(const std::vector<std::string> &args)
{
    std::vector<const char *> argv = {"vellary-cfg"};
    for (const std::string &a : args)
        argv.push_back(a.c_str());
    FILE *out = fopen("walk-out.txt", "w+b");
    FILE *err = fopen("walk-err.txt", "w+b");
    auto start = std::chrono::steady_clock::now();
    int code = RunWalker(static_cast<int>(argv.size()), argv.data(), out, err);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    fclose(out);
    fclose(err);
    return {code, ReadFile("walk-out.txt"), ReadFile("walk-err.txt"), static_cast<long long>(ms.count())};
}

std::string Line(const std::string &host, const std::string &name, const std::string &speed, uint32_t index,
                 bool hc)
{
    std::string n = "." + std::to_string(index);
    std::string in = hc ? "1.3.6.1.2.1.31.1.1.1.6" + n : "1.3.6.1.2.1.2.2.1.10" + n;
    std::string out = hc ? "1.3.6.1.2.1.31.1.1.1.10" + n : "1.3.6.1.2.1.2.2.1.16" + n;
    return name + "," + host + ",walk," + speed + "," + in + "," + out + ",\r\n";
}

const Interface kLo = {1, "lo", 24, 10000000, 1, "lo", 10, true};
const std::vector<Interface> kSmall = {kLo,
                                       {2, "eth0", 6, 100000000, 1, "eth0", 100, true},
                                       {3, "eth1", 6, 100000000, 2, "eth1", 100, true}};

// Whether name is the column's or one of its objects.
bool InColumn(const Oid &name, const char *column)
{
    Oid prefix = ParseOid(column);
    return name.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), name.begin());
}

// A script that answers from the table, then changes the reply with edit
// (which may set it silent).
typedef std::function<void(const ber::Message &, TableReply *)> Edit;

void Script(TableAgent *agent, Edit edit)
{
    if (edit)
        agent->script = [agent, edit](const ber::Message &request, TableReply *reply) {
            *reply = agent->FromTable(request);
            edit(request, reply);
            return true;
        };
}

// Answers a walk request that asks for column with genErr pointing at it.
Edit GenErrOn(const char *column)
{
    return [column](const ber::Message &request, TableReply *reply) {
        for (size_t k = 0; k < request.bindings.size(); k++)
            if (request.pduType != ber::TAG_GET_REQUEST && InColumn(request.bindings[k].name, column)) {
                *reply = TableReply();
                reply->errorStatus = 5;
                reply->errorIndex = static_cast<int>(k) + 1;
                return;
            }
    };
}

class Walker : public InTempDir {
protected:
    void TearDown() override
    {
        SetPingAnswers(1);
        InTempDir::TearDown();
    }
};

TEST_F(Walker, LinesFromTheInterfaceTable)
{
    struct Expected {
        std::string name, speed;
        uint32_t index;
        bool hc;
    };
    struct Case {
        const char *name;
        std::vector<Interface> table;
        std::vector<Expected> lines;
        std::string note;  // HOST stands for the agent's address
        bool v2c = true;
        Edit edit = nullptr;
        size_t tooBigAbove = 0;
        bool ping = true;
        std::map<std::string, std::string> objects = {};  // served in place of the table's
    };
    std::vector<Interface> many = {kLo,
                                   {2, "eth0", 6, 4294967295u, 1, "up,link,1", 10000, true},
                                   {3, "eth1", 6, 1000000000, 2, "eth1", 1000, true}};
    std::vector<Expected> ten = {{"up link 1", "10000000000", 2, true}};
    static const char *const kNames[] = {"eth2", "eth3", "eth4", "eth5", "eth6", "eth7",
                                         "eth8", "eth9", "eth10", "eth11", "eth12"};
    for (uint32_t k = 4; k <= 14; k++) {
        many.push_back({k, "Intel(R) Ethernet", 6, 1000000000, 1, kNames[k - 4], 1000, true});
        if (ten.size() < 10)
            ten.push_back({kNames[k - 4], "1000000000", k, true});
    }
    // A router whose internal interfaces hold the low indices, its ports from 500 up.
    std::vector<Interface> router = {kLo};
    std::vector<Expected> ports;
    static const char *const kInternal[] = {"Tunnel0", "Vlan1", "Vlan10", "Null0", "Mgmt", "Tunnel1", "Vlan20"};
    static const int kInternalTypes[] = {131, 135, 135, 1, 53, 131, 135};
    for (uint32_t k = 0; k < 7; k++)
        router.push_back({2 + k, kInternal[k], kInternalTypes[k], 1000000000, 1, kInternal[k], 1000, true});
    static const char *const kPorts[] = {"Gi0/1", "Gi0/2", "Gi0/3", "Gi0/4", "Gi0/5", "Gi0/6", "Gi0/7", "Gi0/8"};
    for (uint32_t k = 0; k < 8; k++) {
        router.push_back({500 + k, kPorts[k], 6, 1000000000, 1, kPorts[k], 1000, true});
        ports.push_back({std::string("Gi0-") + std::to_string(k + 1), "1000000000", 500 + k, true});
    }
    ports.push_back({"Tu0", "1000000000", 2, true});
    ports.push_back({"Vl1", "1000000000", 3, true});
    std::vector<Expected> small = {{"eth0", "100000000", 2, true}, {"lo", "10000000", 1, true}};
    std::vector<Interface> gigabit = {kLo, {2, "eth0", 6, 1000000000, 1, "eth0", 1000, true}};
    const Case cases[] = {
        {"twelve up, one down, the loopback left out", many, ten,
         "vellary-cfg: 13 interfaces are up and vellary.cfg holds ten; left out: eth11 (ifIndex 13), eth12 (ifIndex "
         "14), lo (ifIndex 1)\n"},
        {"the loopback last", kSmall, small, ""},
        {"ports before internal interfaces, whatever their indices", router, ports,
         "vellary-cfg: 16 interfaces are up and vellary.cfg holds ten; left out: Vl10 (ifIndex 4), Null0 (ifIndex "
         "5), Mgmt (ifIndex 6), Tu1 (ifIndex 7), Vl20 (ifIndex 8), lo (ifIndex 1)\n"},
        {"no ifXTable: ifDescr shortened, ifSpeed, 32-bit counters and a note",
         {{1, "lo", 24, 10000000, 1, nullptr, 0, false},
          {2, "GigabitEthernet0/1", 6, 100000000, 1, nullptr, 0, false},
          {3, "GigabitEthernet0/2", 6, 1000000000, 1, nullptr, 0, false}},
         {{"Gi0-1", "100000000", 2, false}, {"Gi0-2", "1000000000", 3, false}, {"lo", "10000000", 1, false}},
         "vellary-cfg: Gi0-2 (ifIndex 3) runs at 1000000000 bit/s on its 32-bit counters, since the agent has no "
         "64-bit counters for it: past about 114.5 Mbit/s of traffic they wrap more than once in 5 minutes and the "
         "figures read too low\n"},
        {"SNMPv1 only: every column in each GetNext, 32-bit counters", gigabit,
         {{"eth0", "1000000000", 2, false}, {"lo", "10000000", 1, false}},
         "vellary-cfg: no answer from HOST over SNMPv2c; trying SNMPv1\n"
         "vellary-cfg: eth0 (ifIndex 2) runs at 1000000000 bit/s on its 32-bit counters, since the agent does not "
         "answer SNMPv2c: past about 114.5 Mbit/s of traffic they wrap more than once in 5 minutes and the figures "
         "read too low\n",
         false},
        {"SNMPv2c only: a note naming the lines on 32-bit counters",
         {kLo, {2, "eth0", 6, 100000000, 1, "eth0", 100, false}},
         {{"eth0", "100000000", 2, false}, {"lo", "10000000", 1, true}},
         "vellary-cfg: the agent at HOST does not answer SNMPv1, over which the monitor reads 32-bit counters, so "
         "these lines would show no traffic: eth0 (ifIndex 2); let the agent answer SNMPv1 to the community\n",
         true,
         [](const ber::Message &request, TableReply *reply) { reply->silent = request.version == ber::VERSION_1; }},
        {"the GET of the 64-bit counters unanswered", gigabit,
         {{"eth0", "1000000000", 2, false}, {"lo", "10000000", 1, false}},
         "vellary-cfg: eth0 (ifIndex 2) runs at 1000000000 bit/s on its 32-bit counters, since the agent did not "
         "answer the request for its 64-bit counters: past about 114.5 Mbit/s of traffic they wrap more than once "
         "in 5 minutes and the figures read too low\n",
         true,
         [](const ber::Message &request, TableReply *reply) {
             reply->silent = request.pduType == ber::TAG_GET_REQUEST &&
                             InColumn(request.bindings[0].name, "1.3.6.1.2.1.31.1.1.1.6");
         }},
        {"genErr on one row's 64-bit counters: that row alone on 32-bit ones",
         {kLo, {2, "eth0", 6, 1000000000, 1, "eth0", 1000, true}, {3, "eth1", 6, 1000000000, 1, "eth1", 1000, true}},
         {{"eth0", "1000000000", 2, false}, {"eth1", "1000000000", 3, true}, {"lo", "10000000", 1, true}},
         "vellary-cfg: eth0 (ifIndex 2) runs at 1000000000 bit/s on its 32-bit counters, since the agent refused "
         "the request for its 64-bit counters: past about 114.5 Mbit/s of traffic they wrap more than once in 5 "
         "minutes and the figures read too low\n",
         true,
         [](const ber::Message &request, TableReply *reply) {
             for (size_t k = 0; k < request.bindings.size(); k++)
                 if (request.pduType == ber::TAG_GET_REQUEST &&
                     request.bindings[k].name == ParseOid("1.3.6.1.2.1.31.1.1.1.6.2")) {
                     *reply = TableReply();
                     reply->errorStatus = 5;
                     reply->errorIndex = static_cast<int>(k) + 1;
                 }
         }},
        {"genErr on ifName: ifDescr instead, and a note", kSmall, small,
         "vellary-cfg: the agent at HOST failed to give ifName (error status 5), so it is taken as absent\n", true,
         GenErrOn("1.3.6.1.2.1.31.1.1.1.1")},
        {"tooBig: fewer rows per request", many, ten,
         "vellary-cfg: 13 interfaces are up and vellary.cfg holds ten; left out: eth11 (ifIndex 13), eth12 (ifIndex "
         "14), lo (ifIndex 1)\n",
         true, nullptr, 600},
        {"32-bit counters kept as Counter64 and no ifXTable: noSuchName over SNMPv1, a note",
         {kLo, {2, "eth0", 6, 100000000, 1, nullptr, 0, false}, {3, "eth1", 6, 100000000, 1, nullptr, 0, false}},
         {{"eth0", "100000000", 2, false}, {"eth1", "100000000", 3, false}, {"lo", "10000000", 1, true}},
         "vellary-cfg: eth0 (ifIndex 2) would show no traffic: asked over SNMPv1, as the monitor asks, the agent "
         "gave no reading of ifInOctets.2 (noSuchName) or ifOutOctets.2 (noSuchName); an agent that keeps these "
         "counters as 64-bit ones only cannot give them over SNMPv1, nor can one whose view for the community "
         "leaves them out: check the agent, or read the device as an SNMPv3 user (vellary-v3.cfg)\n",
         true, nullptr, 0, true,
         {{"1.3.6.1.2.1.2.2.1.10.2", UnsignedTlv(0x46, 1000)}, {"1.3.6.1.2.1.2.2.1.16.2", UnsignedTlv(0x46, 2000)}}},
        {"an error status naming no counter: each asked alone",
         {kLo, {2, "eth0", 6, 100000000, 1, "eth0", 100, false}},
         {{"eth0", "100000000", 2, false}, {"lo", "10000000", 1, true}},
         "vellary-cfg: eth0 (ifIndex 2) would show no traffic: asked over SNMPv1, as the monitor asks, the agent "
         "gave no reading of ifOutOctets.2 (error status 5, genErr); check the agent\n",
         true,
         [](const ber::Message &request, TableReply *reply) {
             if (request.version != ber::VERSION_1 || request.pduType != ber::TAG_GET_REQUEST ||
                 !InColumn(request.bindings[0].name, "1.3.6.1.2.1.2.2.1"))
                 return;
             if (request.bindings.size() > 1 || request.bindings[0].name == ParseOid("1.3.6.1.2.1.2.2.1.16.2")) {
                 *reply = TableReply();
                 reply->errorStatus = 5;
             }
         }},
        {"a device that does not answer ping", kSmall, small,
         "vellary-cfg: HOST does not answer ping, and the monitor reads the counters only of a device that does: let "
         "it answer ICMP echo requests from this computer\n",
         true, nullptr, 0, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TableAgent agent;
        agent.v2c = c.v2c;
        agent.tooBigAbove = c.tooBigAbove;
        Serve(&agent, c.table);
        for (const auto &object : c.objects)
            agent.Set(object.first, object.second);
        Script(&agent, c.edit);
        SetPingAnswers(c.ping);
        ASSERT_TRUE(agent.Start("walk"));
        Result r = Walk({agent.Address(), "walk"});
        EXPECT_EQ(0, r.code);
        std::string note = c.note;
        for (size_t at; (at = note.find("HOST")) != std::string::npos;)
            note.replace(at, 4, agent.Address());
        EXPECT_EQ(note, r.message);
        std::string expected;
        for (const Expected &e : c.lines)
            expected += Line(agent.Address(), e.name, e.speed, e.index, e.hc);
        EXPECT_EQ(expected, r.lines);
    }
}

TEST_F(Walker, NamedInterfacesInTheOrderGiven)
{
    TableAgent agent;
    Serve(&agent, {kLo,
                   {2, "GigabitEthernet0/1", 6, 1000000000, 1, "Gi0/1", 1000, true},
                   {3, "Uplink to core", 6, 1000000000, 1, "Gi0/2", 1000, true},
                   {4, "Intel", 6, 100000000, 2, "Gi0/3", 100, true},
                   {5, "Intel", 6, 100000000, 1, "Gi0/4", 100, true},
                   {7, "TenGig", 6, 4294967295u, 1, "Te1/1", 10000, true}});
    ASSERT_TRUE(agent.Start("walk"));
    std::string host = agent.Address();
    struct Case {
        std::vector<std::string> names;
        int code;
        std::string lines;
        std::string message;
    } cases[] = {
        {{"Gi0/3", "Uplink to core", "7"},
         0,
         Line(host, "Gi0-3", "100000000", 4, true) + Line(host, "Gi0-2", "1000000000", 3, true) +
             Line(host, "Te1-1", "10000000000", 7, true),
         "vellary-cfg: Gi0-3 (ifIndex 4) is not up (ifOperStatus 2, down): it shows no traffic until it is\n"},
        {{"Gi0/1", "nosuch"}, 1, "",
         "vellary-cfg: no interface has the name, description or index \"nosuch\": vellary-cfg --list shows them all\n"},
        {{"Intel"}, 1, "",
         "vellary-cfg: 2 interfaces have the description \"Intel\": name the one you mean by its ifIndex "
         "(vellary-cfg --list shows them all)\n"},
        {{"Gi0/1", "2"}, 1, "", "vellary-cfg: \"2\" names an interface named before it: name each once\n"},
    };
    for (const Case &c : cases) {
        std::vector<std::string> args = {host, "walk"};
        args.insert(args.end(), c.names.begin(), c.names.end());
        Result r = Walk(args);
        EXPECT_EQ(c.code, r.code) << c.names[0];
        EXPECT_EQ(c.lines, r.lines);
        EXPECT_EQ(c.message, r.message);
    }
}

TEST_F(Walker, ListShowsEveryInterface)
{
    TableAgent agent;
    Serve(&agent, {kLo,
                   {2, "eth0", 6, 1000000000, 1, "eth0", 1000, true},
                   {3, "Vlan 10\x1B[2J", 135, 0, 2, nullptr, 0, false},
                   {7, "uplink", 6, 4294967295u, 1, "Te1/1", 25000, true}});
    ASSERT_TRUE(agent.Start("walk"));
    Result r = Walk({"--list", agent.Address(), "walk"});
    EXPECT_EQ(0, r.code);
    EXPECT_EQ("", r.message);
    EXPECT_EQ("   ifIndex  Name   Type              Status          Speed          Counters  Description\n"
              "         1  lo     softwareLoopback  up              10 Mbit/s      64-bit    lo\n"
              "         2  eth0   ethernetCsmacd    up              1 Gbit/s       64-bit    eth0\n"
              "         3         l2vlan            down            0 bit/s        32-bit    Vlan 10?[2J\n"
              "         7  Te1/1  ethernetCsmacd    up              25 Gbit/s      64-bit    uplink\n",
              r.lines);
}

// Edits the replies to GetBulk request number n (from 1) of a walk, to every try of it.
Edit OnBulk(int n, Edit edit)
{
    auto seen = std::make_shared<std::pair<int, int32_t>>(0, 0);  // requests, the last one's id
    return [n, edit, seen](const ber::Message &request, TableReply *reply) {
        if (request.pduType != ber::TAG_GET_BULK_REQUEST)
            return;
        if (request.requestId != seen->second)
            seen->first++;
        seen->second = request.requestId;
        if (seen->first == n)
            edit(request, reply);
    };
}

TEST_F(Walker, AgentFaultsEndTheWalkWithAMessage)
{
    std::vector<Interface> twenty = {kLo};
    for (uint32_t k = 2; k <= 20; k++)
        twenty.push_back({k, "Intel(R) Ethernet Connection", 6, 1000000000, 1, "eth", 1000, true});
    struct Case {
        const char *name;
        std::vector<Interface> table;
        Edit edit;
        std::string message;
        size_t tooBigAbove = 0;
    };
    const Case cases[] = {
        {"no interfaces", {}, nullptr, "lists no interfaces"},
        {"none up", {{1, "eth0", 6, 0, 2, nullptr, 0, false}, {2, "eth1", 6, 0, 7, nullptr, 0, false}}, nullptr,
         "none of the 2 interfaces"},
        {"a name that goes back", kSmall,
         [](const ber::Message &, TableReply *reply) {
             for (auto &b : reply->bindings)
                 if (b.first == ParseOid("1.3.6.1.2.1.2.2.1.2.3"))
                     b.first = ParseOid("1.3.6.1.2.1.2.2.1.2.1");
         },
         "went back from 1.3.6.1.2.1.2.2.1.2.2 to 1.3.6.1.2.1.2.2.1.2.1 in the walk of ifDescr"},
        {"a reply that repeats an earlier row", twenty,
         OnBulk(2, [](const ber::Message &request, TableReply *reply) {
             // The first row again, in place of the next.
             reply->bindings.resize(request.bindings.size());
             for (size_t k = 0; k < request.bindings.size(); k++) {
                 reply->bindings[k].first = request.bindings[k].name;
                 reply->bindings[k].first.back() = 1;
             }
         }),
         "went back from 1.3.6.1.2.1.2.2.1.1.6 to 1.3.6.1.2.1.2.2.1.1.1 in the walk of ifIndex"},
        {"bindings out of column order", kSmall,
         OnBulk(1, [](const ber::Message &, TableReply *reply) { std::swap(reply->bindings[1], reply->bindings[2]); }),
         "went back from 1.3.6.1.2.1.2.2.1.3 to 1.3.6.1.2.1.2.2.1.2.1 in the walk of ifType"},
        {"endOfMibView in the middle of a row", kSmall,
         OnBulk(1, [](const ber::Message &request, TableReply *reply) {
             reply->bindings[request.bindings.size() + 2].second = Hex("82 00");
         }),
         "said that its objects end after 1.3.6.1.2.1.2.2.1.3.1 (endOfMibView), yet answered "
         "1.3.6.1.2.1.31.1.1.1.15.1"},
        {"more bindings than asked for", kSmall,
         OnBulk(1, [](const ber::Message &request, TableReply *reply) {
             reply->bindings.resize(request.bindings.size() * request.errorIndex + 1, reply->bindings.back());
         }),
         "answered 43 objects to a request for 42"},
        {"no bindings, as for a max-repetitions of 0", kSmall,
         OnBulk(1, [](const ber::Message &, TableReply *reply) { reply->bindings.clear(); }),
         "answered a request for the interface table with no objects"},
        {"tooBig even for one row", kSmall, nullptr, "answers tooBig even to a request for one row", 80},
        {"genErr on a column the lines need", kSmall, GenErrOn("1.3.6.1.2.1.2.2.1.8"),
         "answered the walk of ifOperStatus with error status 5"},
        {"silent during the walk", twenty,
         OnBulk(2, [](const ber::Message &, TableReply *reply) { reply->silent = true; }),
         "stopped answering during the walk of the interface table, after 6 interfaces (no answer to 4 tries, 200 ms "
         "apart)"},
        {"never ends", {kLo},
         [](const ber::Message &request, TableReply *reply) {
             // ifIndex goes on for ever, one past the row asked for.
             size_t n = request.bindings.size();
             Oid asked = request.bindings[0].name;
             if (request.pduType != ber::TAG_GET_BULK_REQUEST || !InColumn(asked, "1.3.6.1.2.1.2.2.1.1"))
                 return;
             if (asked.size() == 10)
                 asked.push_back(0);
             for (size_t i = 0; i < reply->bindings.size(); i += n) {
                 reply->bindings[i].first = asked;
                 reply->bindings[i].first.back() += static_cast<uint32_t>(i / n + 1);
                 reply->bindings[i].second = IntegerTlv(1);
             }
         },
         "the walk of ifIndex at HOST went on past 100000 interfaces without ending"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TableAgent agent;
        agent.tooBigAbove = c.tooBigAbove;
        Serve(&agent, c.table);
        Script(&agent, c.edit);
        ASSERT_TRUE(agent.Start("walk"));
        Result r = Walk({agent.Address(), "walk"});
        EXPECT_EQ(1, r.code);
        EXPECT_EQ("", r.lines);
        std::string message = c.message;
        if (message.find("HOST") != std::string::npos)
            message.replace(message.find("HOST"), 4, agent.Address());
        EXPECT_NE(std::string::npos, r.message.find(message)) << r.message;
    }
}

TEST_F(Walker, WrongCommunityIsNoAnswerAfterEveryTryOfBothVersions)
{
    TableAgent agent;
    Serve(&agent, {kLo});
    ASSERT_TRUE(agent.Start("walk"));
    Result r = Walk({agent.Address(), "wrong"});
    EXPECT_EQ(1, r.code);
    EXPECT_EQ("", r.lines);
    EXPECT_NE(std::string::npos, r.message.find("no answer from " + agent.Address() +
                                                " over SNMPv2c or SNMPv1 (4 tries each, 200 ms apart)"))
        << r.message;
    EXPECT_NE(std::string::npos, r.message.find("community")) << r.message;
    EXPECT_GE(r.ms, 1600);
    EXPECT_LT(r.ms, 4000);
}

// A relay between the walker and the agent that drops a tenth of the
// datagrams each way, chosen by a seeded hash of their bytes and how often the
// same bytes came before. It never drops the same bytes twice in a row (a
// request tried again, its reply), so one of four tries always gets through
// and the run does not depend on chance or timing.
class LossyRelay {
public:
    ~LossyRelay()
    {
        stop_ = true;
        for (std::thread &t : threads_)
            t.join();
    }

    bool Start(const TableAgent &agent)
    {
        agent_.addr = agent.Addr();
        agent_.port = agent.Port();
        if (!front_.Start() || !back_.StartOnOtherPort(0x7F000001))
            return false;
        threads_.emplace_back([this] { Forward(&front_, &back_, 0); });
        threads_.emplace_back([this] { Forward(&back_, &front_, 1); });
        return true;
    }
    std::string Address() const { return front_.Address(); }
    int Dropped() const { return dropped_; }
    std::atomic<bool> lossy{false};

private:
    void Forward(ScriptedAgent *from, ScriptedAgent *to, int way)
    {
        std::map<std::string, std::pair<uint32_t, bool>> seen;
        while (!stop_) {
            Datagram d;
            if (!from->Receive(&d, 20))
                continue;
            if (way == 0) {
                clientAddr_ = d.addr;
                clientPort_ = d.port;
            }
            // FNV-1a over a seed, the bytes and their count.
            uint32_t hash = 2166136261u ^ 20250917u;
            std::pair<uint32_t, bool> &before = seen[d.bytes];  // count, last one dropped
            std::string key = d.bytes + std::to_string(++before.first);
            for (unsigned char ch : key)
                hash = (hash ^ ch) * 16777619u;
            before.second = lossy && hash % 10 == 0 && !before.second;
            if (before.second) {
                dropped_++;
                continue;
            }
            Datagram target;
            target.addr = way == 0 ? agent_.addr : clientAddr_.load();
            target.port = way == 0 ? agent_.port : clientPort_.load();
            to->SendTo(target, d.bytes);
        }
    }

    ScriptedAgent front_, back_;
    Datagram agent_;
    std::atomic<uint32_t> clientAddr_{0};
    std::atomic<uint16_t> clientPort_{0};
    std::atomic<bool> stop_{false};
    std::atomic<int> dropped_{0};
    std::vector<std::thread> threads_;
};

TEST_F(Walker, TwentyWalksOverALossyLinkAllSucceed)
{
    TableAgent agent;
    std::vector<Interface> table = {kLo};
    for (uint32_t k = 2; k <= 10; k++)
        table.push_back({k, "Intel(R) Ethernet", 6, 1000000000, k % 3 ? 1 : 2, "eth", 1000, k % 4 != 0});
    Serve(&agent, table);
    ASSERT_TRUE(agent.Start("walk", true));
    LossyRelay relay;
    ASSERT_TRUE(relay.Start(agent));
    Result clean = Walk({relay.Address(), "walk"});
    ASSERT_EQ(0, clean.code) << clean.message;
    relay.lossy = true;
    for (int k = 0; k < 20; k++) {
        Result r = Walk({relay.Address(), "walk"});
        EXPECT_EQ(0, r.code) << "walk " << k << ": " << r.message;
        EXPECT_EQ(clean.lines, r.lines) << "walk " << k;
    }
    EXPECT_GT(relay.Dropped(), 10);
}

TEST_F(Walker, OutputFileIsReplacedOnlyByASuccessfulWalk)
{
    TableAgent agent;
    Serve(&agent, kSmall);
    ASSERT_TRUE(agent.Start("walk"));
    const std::string old = "edited,192.0.2.1,public,1000,1.3.6.1.2.1.2.2.1.10.2,1.3.6.1.2.1.2.2.1.16.2,\r\n";
    WriteFile("vellary.cfg", old);

    Result failed = Walk({"-o", "vellary.cfg", agent.Address(), "wrong"});
    EXPECT_EQ(1, failed.code);
    EXPECT_EQ(old, ReadFile("vellary.cfg"));

    Result named = Walk({agent.Address(), "walk", "-o", "vellary.cfg", "nosuch"});
    EXPECT_EQ(1, named.code);
    EXPECT_EQ(old, ReadFile("vellary.cfg"));

    WriteFile("vellary.cfg.tmp", "a user's own file");
    Result written = Walk({"-o", "vellary.cfg", agent.Address(), "walk"});
    EXPECT_EQ(0, written.code) << written.message;
    EXPECT_EQ("", written.lines);
    EXPECT_EQ("vellary-cfg: 2 lines written to vellary.cfg\n", written.message);
    EXPECT_EQ(Line(agent.Address(), "eth0", "100000000", 2, true) + Line(agent.Address(), "lo", "10000000", 1, true),
              ReadFile("vellary.cfg"));
    EXPECT_EQ("a user's own file", ReadFile("vellary.cfg.tmp"));
    for (const auto &entry : std::filesystem::directory_iterator(dir_))
        EXPECT_TRUE(entry.path().extension() != ".tmp" || entry.path().filename() == "vellary.cfg.tmp") << entry.path();

    Result nowhere = Walk({"-o", "no-such-folder/vellary.cfg", agent.Address(), "walk"});
    EXPECT_EQ(1, nowhere.code);
    EXPECT_NE(std::string::npos, nowhere.message.find("could not write no-such-folder/vellary.cfg")) << nowhere.message;
}

TEST_F(Walker, BadArgumentsAreRefused)
{
    struct Case {
        std::vector<std::string> args;
        const char *message;
    } cases[] = {
        {{"192.0.2", "public"}, "\"192.0.2\" is not an IPv4 address"},
        {{"router.example", "public"}, "is not an IPv4 address"},
        {{"192.0.2.10", "ABCDEFGHIJK"}, "has 11 characters, and vellary.cfg holds at most 10"},
        {{"192.0.2.10", ""}, "the community is empty"},
        {{"192.0.2.10", "pub,lic"}, "holds a comma"},
        {{"192.0.2.10"}, "usage: vellary-cfg [--list] [-o FILE] HOST COMMUNITY [INTERFACE...]"},
        {{"192.0.2.10", "public", "-x"}, "unknown option \"-x\""},
        {{"--list", "192.0.2.10", "public", "eth0"}, "--list prints every interface and writes no lines"},
        {{"192.0.2.10", "public", "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11"},
         "11 interfaces named, and vellary.cfg holds ten"},
    };
    for (const Case &c : cases) {
        Result r = Walk(c.args);
        EXPECT_EQ(1, r.code) << c.message;
        EXPECT_EQ("", r.lines);
        EXPECT_NE(std::string::npos, r.message.find(c.message)) << r.message;
        EXPECT_LT(r.ms, 1000);
    }
}

}  // namespace
