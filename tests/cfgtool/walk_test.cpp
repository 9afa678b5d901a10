// vellary-cfg's walk, in-process, against a scripted agent serving an interface table.
#include "cfgtool/walk.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "tests/cfgtool/table_agent.h"

namespace {

struct Interface {
    uint32_t index;
    const char *descr;
    int type;  // 6 Ethernet, 24 software loopback
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

Result Walk(const std::string &host, const std::string &community, int argc = 3)
{
    static WalkOutput out;
    const char *argv[] = {"vellary-cfg", host.c_str(), community.c_str()};
    auto start = std::chrono::steady_clock::now();
    int code = RunWalker(argc, argv, &out);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
    return {code, std::string(out.lines, out.linesLen), out.message, static_cast<long long>(ms.count())};
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

TEST(Walker, LinesFromTheInterfaceTable)
{
    struct Expected {
        std::string name, speed;
        uint32_t index;
        bool hc;
    };
    struct Case {
        const char *name;
        std::vector<Interface> table;
        bool v2c;
        std::vector<Expected> lines;
        std::string note;
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
    const Case cases[] = {
        {"twelve up, one down, the loopback left out", many, true, ten,
         "vellary-cfg: 13 interfaces are up and vellary.cfg holds ten; left out: eth11 (ifIndex 13), eth12 (ifIndex "
         "14), lo (ifIndex 1)\n"},
        {"the loopback last",
         {kLo, {2, "eth0", 6, 100000000, 1, "eth0", 100, true}, {3, "eth1", 6, 100000000, 2, "eth1", 100, true}},
         true,
         {{"eth0", "100000000", 2, true}, {"lo", "10000000", 1, true}},
         ""},
        {"no ifXTable: ifDescr, ifSpeed, 32-bit counters",
         {{1, "lo", 24, 10000000, 1, nullptr, 0, false}, {2, "GigabitEthernet0/1", 6, 1000000000, 1, nullptr, 0, false}},
         true,
         {{"GigabitEthernet", "1000000000", 2, false}, {"lo", "10000000", 1, false}},
         ""},
        {"no SNMPv2c: 32-bit counters after one wait",
         {kLo, {2, "eth0", 6, 100000000, 1, "eth0", 100, true}},
         false,
         {{"eth0", "100000000", 2, false}, {"lo", "10000000", 1, false}},
         ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TableAgent agent;
        agent.v2c = c.v2c;
        Serve(&agent, c.table);
        ASSERT_TRUE(agent.Start("walk"));
        Result r = Walk(agent.Address(), "walk");
        EXPECT_EQ(0, r.code);
        EXPECT_EQ(c.note, r.message);
        std::string expected;
        for (const Expected &e : c.lines)
            expected += Line(agent.Address(), e.name, e.speed, e.index, e.hc);
        EXPECT_EQ(expected, r.lines);
    }
}

// An agent whose GetNext in the ifIndex column answers next(k) after ifIndex.k
// (k 0 for the column itself).
std::function<bool(const Oid &, Oid *, std::string *)> IfIndexWalk(uint32_t (*next)(uint32_t))
{
    const Oid column = ParseOid("1.3.6.1.2.1.2.2.1.1");
    return [column, next](const Oid &asked, Oid *name, std::string *value) {
        if (asked.size() < column.size() || !std::equal(column.begin(), column.end(), asked.begin()))
            return false;
        *name = column;
        name->push_back(next(asked.size() > column.size() ? asked[column.size()] : 0));
        *value = IntegerTlv(1);
        return true;
    };
}

TEST(Walker, AgentFaultsEndTheWalkWithAMessage)
{
    struct Case {
        const char *name;
        std::vector<Interface> table;
        std::function<bool(const Oid &, Oid *, std::string *)> getNext;
        std::string message;
    };
    const Case cases[] = {
        {"no interfaces", {}, nullptr, "lists no interfaces"},
        {"none up", {{1, "eth0", 6, 0, 2, nullptr, 0, false}, {2, "eth1", 6, 0, 7, nullptr, 0, false}}, nullptr,
         "none of the 2 interfaces"},
        {"loops back to an earlier OID", {kLo}, IfIndexWalk([](uint32_t k) { return k < 3 ? k + 1 : 2u; }),
         "went back from 1.3.6.1.2.1.2.2.1.1.3 to 1.3.6.1.2.1.2.2.1.1.2 in the walk of ifIndex"},
        {"never ends", {kLo}, IfIndexWalk([](uint32_t k) { return k + 1; }),
         "the walk of ifIndex at"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TableAgent agent;
        Serve(&agent, c.table);
        agent.getNext = c.getNext;
        ASSERT_TRUE(agent.Start("walk"));
        Result r = Walk(agent.Address(), "walk");
        EXPECT_EQ(1, r.code);
        EXPECT_EQ("", r.lines);
        EXPECT_NE(std::string::npos, r.message.find(c.message)) << r.message;
    }
}

TEST(Walker, WrongCommunityIsNoAnswerAfterTheUsualWait)
{
    TableAgent agent;
    Serve(&agent, {kLo});
    ASSERT_TRUE(agent.Start("walk"));
    Result r = Walk(agent.Address(), "wrong");
    EXPECT_EQ(1, r.code);
    EXPECT_EQ("", r.lines);
    EXPECT_NE(std::string::npos, r.message.find("no answer from " + agent.Address() + " within 4200 ms")) << r.message;
    EXPECT_NE(std::string::npos, r.message.find("community")) << r.message;
    EXPECT_GE(r.ms, 4200);
    EXPECT_LT(r.ms, 6000);
}

TEST(Walker, BadArgumentsAreRefused)
{
    struct Case {
        const char *host;
        const char *community;
        int argc;
        const char *message;
    } cases[] = {
        {"192.0.2", "public", 3, "\"192.0.2\" is not an IPv4 address"},
        {"router.example", "public", 3, "is not an IPv4 address"},
        {"192.0.2.10", "ABCDEFGHIJK", 3, "has 11 characters, and vellary.cfg holds at most 10"},
        {"192.0.2.10", "", 3, "the community is empty"},
        {"192.0.2.10", "pub,lic", 3, "holds a comma"},
        {"192.0.2.10", "public", 2, "usage: vellary-cfg HOST COMMUNITY"},
    };
    for (const Case &c : cases) {
        Result r = Walk(c.host, c.community, c.argc);
        EXPECT_EQ(1, r.code) << c.message;
        EXPECT_EQ("", r.lines);
        EXPECT_NE(std::string::npos, r.message.find(c.message)) << r.message;
        EXPECT_LT(r.ms, 1000);
    }
}
}  // namespace
