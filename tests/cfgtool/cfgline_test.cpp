#include "cfgtool/cfgline.h"

#include <gtest/gtest.h>

#include <string>

#include "config/config.h"
#include "config/textfile.h"

namespace {

std::string Clean(const std::string &octets)
{
    char name[CFG_NAME_WIDTH + 1];
    memset(name, 0x5A, sizeof name);
    CleanName(reinterpret_cast<const uint8_t *>(octets.data()), octets.size(), name);
    return name;
}

TEST(CfgName, CleanedForTheFieldAndTheHistoryFile)
{
    struct Case {
        const char *name;
        std::string octets;
        std::string clean;
    } cases[] = {
        {"plain", "eth0", "eth0"},
        {"commas", "a,b,,c", "a b  c"},
        {"line breaks, Ctrl-Z and TAB", "a\r\nb\x1A" "c\td", "a  b c d"},
        {"ends at NUL", std::string("eth0\0junk", 9), "eth0"},
        {"every character a file name refuses", "C:\\*?\"<>|/", "C---------"},
        {"bytes outside ASCII", "S\xC3\xBC" "d", "S__d"},
        {"blanks around", "  eth0  ", "eth0"},
        {"blank at the cut", "abcdefghijklmn opq", "abcdefghijklmn"},
        {"blanks and commas only", " , ", ""},
        {"empty", "", ""},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.clean, Clean(c.octets)) << c.name;
}

// Names as devices report them in ifName or ifDescr.
TEST(CfgName, InterfaceWordsShortenedAsOnTheConsole)
{
    struct Case {
        std::string octets;
        std::string clean;
    } cases[] = {
        {"GigabitEthernet1/0/24", "Gi1-0-24"},
        {"TenGigabitEthernet1/1/4", "Te1-1-4"},
        {"FastEthernet0/1", "Fa0-1"},
        {"TwentyFiveGigE1/0/1", "Twe1-0-1"},
        {"FortyGigabitEthernet1/1/1", "Fo1-1-1"},
        {"HundredGigE1/0/49", "Hu1-0-49"},
        {"TenGigE0/0/0/0", "Te0-0-0-0"},
        {"FourHundredGigE0/0/0/12", "FH0-0-0-12"},
        {"Bundle-Ether100", "BE100"},
        {"MgmtEth0/RP0/CPU0/0", "Mg0-RP0-CPU0-0"},
        {"Ethernet1/1", "Eth1-1"},
        {"ethernet1/49", "Eth1-49"},
        {"Port-channel1", "Po1"},
        {"Port-Channel10", "Po10"},
        {"Vlan100", "Vl100"},
        {"Vlanif100", "Vlanif100"},
        {"Loopback0", "Lo0"},
        {"Tunnel10", "Tu10"},
        {"Management1", "Ma1"},
        {"Serial0/0/0:0", "Se0-0-0-0"},
        {"XGigabitEthernet0/0/1", "XGE0-0-1"},
        {"Ten-GigabitEthernet1/0/49", "XGE1-0-49"},
        {"Bridge-Aggregation1", "BAGG1"},
        {"Eth-Trunk1", "Eth-Trunk1"},
        {"GigabitEthernet 1/0/1", "Gi1-0-1"},
        {"xe-0/0/0.0", "xe-0-0-0.0"},
        {"ge-0/0/1", "ge-0-0-1"},
        {"et-0/0/0:1", "et-0-0-0-1"},
        {"1/1/1", "1-1-1"},
        {"Dot11Radio0", "Dot11Radio0"},
        {"wlan0", "wlan0"},
        {"radio1", "radio1"},
        {"GigabitEthernet", "GigabitEthernet"},
        {"Ethernet adapter Local Area Connection", "Ethernet adapte"},
        {"Loopback Pseudo-Interface 1", "Loopback Pseudo"},
        {"Intel(R) Ethernet Connection (7) I219-V", "Intel(R) Ethern"},
        {"\"Uplink to core\"", "-Uplink to core"},
        {"  Vlan 20  ", "Vl20"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.clean, Clean(c.octets)) << c.octets;
}

TEST(CfgName, NoTwoLinesShareAName)
{
    char taken[4][CFG_NAME_WIDTH + 1] = {"eth0", "GigabitEthernet", "if9", "eth#3"};
    struct Case {
        const char *name;
        uint32_t ifIndex;
        const char *unique;
    } cases[] = {
        {"eth1", 2, "eth1"},
        {"ETH0", 2, "ETH0#2"},
        {"GigabitEthernet", 12, "GigabitEther#12"},
        {"GigabitEthernet", 4294967295u, "Giga#4294967295"},
        {"", 7, "if7"},
        {"", 9, "if9#9"},
        // Windows keeps these for devices, whatever the case or extension.
        {"NUL", 5, "NUL#5"},
        {"com1.x", 6, "com1_x"},
        {"console", 7, "console"},
        {"NUL .1", 8, "NUL _1"},  // the blank before the dot is ignored too
        {"CONIN$", 9, "CONIN$#9"},
    };
    for (const Case &c : cases) {
        char name[CFG_NAME_WIDTH + 1];
        snprintf(name, sizeof name, "%s", c.name);
        MakeUniqueName(name, c.ifIndex, taken, 4);
        EXPECT_STREQ(c.unique, name) << c.name;
    }
    // eth, eth#3, then ETH at index 3: three names, however the suffixes fall.
    char names[3][CFG_NAME_WIDTH + 1] = {"eth", "eth#3", "ETH"};
    MakeUniqueName(names[1], 9, names, 1);
    MakeUniqueName(names[2], 3, names, 2);
    EXPECT_STREQ("eth#3", names[1]);
    EXPECT_STREQ("ETH#3-2", names[2]);
}

TEST(CfgSpeed, ExactWherePossible)
{
    struct Case {
        const char *name;
        int hasSpeed;
        uint32_t ifSpeed;
        int hasHigh;
        uint32_t high;
        int64_t speed;
    } cases[] = {
        {"10 Gbit/s past ifSpeed's ceiling", 1, 4294967295u, 1, 10000, INT64_C(10000000000)},
        {"1.544 Mbit/s, which ifHighSpeed rounds to 2", 1, 1544000, 1, 2, 1544000},
        {"ifSpeed 0, ifHighSpeed known", 1, 0, 1, 25000, INT64_C(25000000000)},
        {"neither knows", 1, 0, 1, 0, 0},
        {"saturated without ifHighSpeed", 1, 4294967295u, 0, 0, 4294967295},
        {"beyond the field's 12 digits", 1, 4294967295u, 1, 4294967295u, CFG_SPEED_MAX},
        {"no speed at all", 0, 0, 0, 0, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.speed, ChooseSpeed(c.hasSpeed, c.ifSpeed, c.hasHigh, c.high)) << c.name;
}

TEST(CfgLine, LoadsBackIntoTheSameFields)
{
    struct Case {
        const char *name;
        const char *host;
        const char *community;
        int64_t speed;
        uint32_t ifIndex;
        int hc;
    } cases[] = {
        {"lo", "127.0.0.1", "c", 10000000, 1, 1},
        // Every field at its widest; the OIDs' widest is 33 of 40.
        {"ABCDEFGHIJKLMNO", "255.255.255.255", "ABCDEFGHIJ", CFG_SPEED_MAX, 4294967295u, 1},
        {"10G", "192.0.2.1", "public", INT64_C(10000000000), 3, 1},
    };
    std::string text;
    for (const Case &c : cases) {
        char in[41], out[41], line[CFG_LINE_MAX];
        CounterOids(c.ifIndex, c.hc, in, out);
        size_t n = FormatLine(line, sizeof line, c.name, c.host, c.community, c.speed, in, out);
        ASSERT_GT(n, 2u);
        EXPECT_EQ("\r\n", std::string(line + n - 2, 2));
        text.append(line, n);
    }
    InterfaceRecord rec[MAX_INTERFACES];
    char data[CONFIG_MAX_CHARS];
    int n = TextModeTranslate(text.data(), text.size(), data, CONFIG_MAX_CHARS);
    ASSERT_EQ(3, ScanConfig(data, n, rec));
    for (int k = 0; k < 3; k++) {
        const Case &c = cases[k];
        char in[41], out[41];
        CounterOids(c.ifIndex, c.hc, in, out);
        EXPECT_EQ(c.name, std::string(FieldValue(rec[k].strName).str));
        EXPECT_EQ(c.host, std::string(FieldValue(rec[k].strIP).str));
        EXPECT_EQ(c.community, std::string(FieldValue(rec[k].strCommunity).str));
        EXPECT_EQ(c.speed, rec[k].linkSpeed);
        EXPECT_EQ(in, std::string(FieldValue(rec[k].strOidIn).str));
        EXPECT_EQ(out, std::string(FieldValue(rec[k].strOidOut).str));
    }
    EXPECT_EQ("1.3.6.1.2.1.31.1.1.1.10.4294967295", std::string(FieldValue(rec[1].strOidOut).str));
}

}  // namespace
