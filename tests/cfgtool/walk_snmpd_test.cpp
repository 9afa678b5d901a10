// vellary-cfg as built, against a real agent: what it prints loads back with
// LoadConfig, and agrees with the reference reader.
#include <gtest/gtest.h>
#include <net/if.h>

#include <algorithm>
#include <string>
#include <vector>

#include "config/config.h"
#include "tests/support/files.h"
#include "tests/support/snmpd.h"

namespace {

std::vector<std::string> Split(const std::string &text, const std::string &separator)
{
    std::vector<std::string> parts;
    size_t pos = 0, next;
    while ((next = text.find(separator, pos)) != std::string::npos) {
        parts.push_back(text.substr(pos, next - pos));
        pos = next + separator.size();
    }
    if (pos < text.size())
        parts.push_back(text.substr(pos));
    return parts;
}

class WalkerAgainstSnmpd : public InTempDir {};

TEST_F(WalkerAgainstSnmpd, LinesLoadBackAndTheLoopbackUsesTheHcCounters)
{
    SnmpdAgent agent;
    ASSERT_TRUE(agent.Start(81, 89)) << "snmpd did not start on 127.0.0.81-89";
    // Other tests add and remove interfaces (veth pairs): the reference count
    // must be the same before and after the walk.
    auto upCount = [&agent] {
        return std::stoi(RunCommand("MIBS= snmpwalk -v1 -c " + std::string(SnmpdAgent::kCommunity) + " -m '' -On -Oq " +
                                    agent.Address() + " 1.3.6.1.2.1.2.2.1.8 | grep -c ' 1$'"));
    };
    int up = -1;
    for (int attempt = 0; attempt < 5 && up != upCount(); attempt++) {
        up = upCount();
        EXPECT_EQ("0", RunCommand(std::string(VELLARY_CFG) + " " + agent.Address() + " " + SnmpdAgent::kCommunity +
                                  " >vellary.cfg 2>errors.txt; echo $?"));
    }
    // Notes only, such as a speed of 0 for this machine's own interfaces.
    EXPECT_EQ(std::string::npos, ReadFile("errors.txt").find("check")) << ReadFile("errors.txt");

    std::string text = ReadFile("vellary.cfg");
    ASSERT_EQ("\r\n", text.substr(text.size() - 2));
    std::vector<std::string> lines = Split(text, "\r\n");
    InterfaceRecord rec[MAX_INTERFACES];
    memset(rec, 0, sizeof rec);
    ASSERT_EQ(static_cast<int>(lines.size()), LoadConfig(rec));
    for (size_t k = 0; k < lines.size(); k++) {
        SCOPED_TRACE(lines[k]);
        std::vector<std::string> fields = Split(lines[k], ",");
        ASSERT_EQ(6u, fields.size());
        EXPECT_EQ(fields[0], FieldValue(rec[k].strName).str);
        EXPECT_EQ(agent.Address(), FieldValue(rec[k].strIP).str);
        EXPECT_EQ(SnmpdAgent::kCommunity, std::string(FieldValue(rec[k].strCommunity).str));
        EXPECT_EQ(fields[3], std::to_string(rec[k].linkSpeed));
        EXPECT_EQ(fields[4], FieldValue(rec[k].strOidIn).str);
        EXPECT_EQ(fields[5], FieldValue(rec[k].strOidOut).str);
    }

    // One line per interface that snmpwalk finds up, the loopback last, on its
    // 64-bit counters, with the speed the agent gives it.
    EXPECT_EQ(std::min(up, MAX_INTERFACES), static_cast<int>(lines.size()));
    std::string lo = std::to_string(if_nametoindex("lo"));
    EXPECT_EQ("lo,", lines.back().substr(0, 3));
    EXPECT_EQ("1.3.6.1.2.1.31.1.1.1.6." + lo, FieldValue(rec[lines.size() - 1].strOidIn).str);
    EXPECT_EQ("1.3.6.1.2.1.31.1.1.1.10." + lo, FieldValue(rec[lines.size() - 1].strOidOut).str);
    EXPECT_EQ(agent.Get("1.3.6.1.2.1.2.2.1.5." + lo), std::to_string(rec[lines.size() - 1].linkSpeed));
}

TEST_F(WalkerAgainstSnmpd, AnAgentOfOneVersionIsWalked)
{
    struct Case {
        const char *version;
        const char *in, *out;  // the loopback's counters, without the index
        const char *note;
    } cases[] = {
        {"v2c", "1.3.6.1.2.1.31.1.1.1.6.", "1.3.6.1.2.1.31.1.1.1.10.", ""},
        // Four tries of SNMPv2c first, a second apart.
        {"v1", "1.3.6.1.2.1.2.2.1.10.", "1.3.6.1.2.1.2.2.1.16.", "vellary-cfg: no answer from HOST over SNMPv2c; trying SNMPv1\n"},
    };
    std::string lo = std::to_string(if_nametoindex("lo"));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.version);
        SnmpdAgent agent;
        ASSERT_TRUE(agent.Start(81, 89, c.version)) << "snmpd did not start on 127.0.0.81-89";
        EXPECT_EQ("0", RunCommand(std::string(VELLARY_CFG) + " -o vellary.cfg " + agent.Address() + " " +
                                  SnmpdAgent::kCommunity + " lo 2>errors.txt; echo $?"));
        std::string note = c.note;
        if (!note.empty())
            note.replace(note.find("HOST"), 4, agent.Address());
        EXPECT_EQ(note + "vellary-cfg: 1 line written to vellary.cfg\n", ReadFile("errors.txt"));
        EXPECT_EQ("lo," + agent.Address() + "," + SnmpdAgent::kCommunity + "," +
                      agent.Get("1.3.6.1.2.1.2.2.1.5." + lo) + "," + c.in + lo + "," + c.out + lo + ",\r\n",
                  ReadFile("vellary.cfg"));
    }
}

// A label of vellary-v3.cfg walks over SNMPv3 as its user, with GetBulk and
// the 64-bit counters as over SNMPv2c; its lines carry the label. A refusal
// says what to check, naming the user's access where a community's would be,
// and a bad line's label is never sent.
TEST_F(WalkerAgainstSnmpd, ALabelWalksAsItsUser)
{
    SnmpdAgent agent;
    ASSERT_TRUE(agent.Start(81, 89, nullptr,
                            "createUser walker SHA-256 walkauth1 AES-256-C walkpriv1\nrouser walker priv\n"
                            "createUser noaccess SHA-256 walkauth1 AES walkpriv1\n"
                            "createUser limited SHA-256 walkauth1 AES walkpriv1\n"
                            "view nocounters included .1\nview nocounters excluded .1.3.6.1.2.1.2.2.1.10\n"
                            "view nocounters excluded .1.3.6.1.2.1.2.2.1.16\n"
                            "view nocounters excluded .1.3.6.1.2.1.31.1.1.1.6\n"
                            "view nocounters excluded .1.3.6.1.2.1.31.1.1.1.10\n"
                            "rouser limited priv -V nocounters\n"))
        << "snmpd did not start on 127.0.0.81-89";
    WriteFile("vellary-v3.cfg", "lab,walker,SHA-256,walkauth1,AES-256C,walkpriv1\r\n"
                                "wrong,walker,SHA-256,walkauth2,AES-256C,walkpriv1\r\n"
                                "des,walker,SHA-256,walkauth1,DES,walkpriv1\r\n"
                                "noaccess,noaccess,SHA-256,walkauth1,AES,walkpriv1\r\n"
                                "limited,limited,SHA-256,walkauth1,AES,walkpriv1\r\n");
    std::string lo = std::to_string(if_nametoindex("lo"));
    std::string walker = std::string(VELLARY_CFG) + " -o vellary.cfg " + agent.Address();
    EXPECT_EQ("0", RunCommand(walker + " lab lo 2>errors.txt; echo $?"));
    EXPECT_EQ("vellary-cfg: 1 line written to vellary.cfg\n", ReadFile("errors.txt"));
    EXPECT_EQ("lo," + agent.Address() + ",lab," + agent.Get("1.3.6.1.2.1.2.2.1.5." + lo) +
                  ",1.3.6.1.2.1.31.1.1.1.6." + lo + ",1.3.6.1.2.1.31.1.1.1.10." + lo + ",\r\n",
              ReadFile("vellary.cfg"));

    EXPECT_EQ("1", RunCommand(walker + " wrong lo 2>errors.txt; echo $?"));
    EXPECT_EQ("vellary-cfg: the agent at " + agent.Address() +
                  ", asked as SNMPv3 user \"walker\" (label wrong), found the request's digest wrong: check AUTH "
                  "and AUTHPASS\n",
              ReadFile("errors.txt"));
    EXPECT_EQ("1", RunCommand(walker + " des lo 2>errors.txt; echo $?"));
    EXPECT_EQ("vellary-v3.cfg line 3: DES is refused: it is a broken 56-bit cipher; use AES\n"
              "vellary-cfg: \"des\" is the label of no usable user in vellary-v3.cfg: mend the file first\n",
              ReadFile("errors.txt"));

    EXPECT_EQ("1", RunCommand(walker + " noaccess lo 2>errors.txt; echo $?"));
    EXPECT_NE(std::string::npos, ReadFile("errors.txt")
                                     .find("error status 16 (authorizationError): check the agent's configuration "
                                           "and the access of SNMPv3 user \"noaccess\""))
        << ReadFile("errors.txt");
    // A view without the counters: the line is written, with a note that the monitor will read nothing.
    EXPECT_EQ("0", RunCommand(walker + " limited lo 2>errors.txt; echo $?"));
    EXPECT_EQ("vellary-cfg: lo (ifIndex " + lo +
                  ") would show no traffic: asked as SNMPv3 user \"limited\", as the "
                  "monitor asks, the agent gave no reading of ifInOctets." +
                  lo + " (noSuchObject) or ifOutOctets." + lo +
                  " (noSuchObject); check the agent, and that the user's group may read them (its read view)\n"
                  "vellary-cfg: 1 line written to vellary.cfg\n",
              ReadFile("errors.txt"));
}

}  // namespace
