#include "records/exacthistory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "config/interfaces.h"
#include "records/history.h"
#include "records/log.h"
#include "tests/support/clock.h"

namespace {

class ExactHistory : public InTempDirFixedClock {
protected:
    void SetUp() override
    {
        InTempDirFixedClock::SetUp();
        memset(g_interfaces, 0, sizeof g_interfaces);
        g_interfaceCount = 1;
        SetClock(9, 12, 2026, 14, 5, 0);
        Name(0, "Uplink");
        g_interfaces[0].linkSpeed = 100000000;
    }

    // Rows still held belong to this test only: written out into its folder.
    void TearDown() override
    {
        std::filesystem::remove_all("Uplink.exact.csv");
        for (int i = 0; i < MAX_INTERFACES; i++)
            AppendExactHistory(i);
        InTempDirFixedClock::TearDown();
    }

    static void Name(int i, const char *name)
    {
        memset(g_interfaces[i].strName, 0, sizeof g_interfaces[i].strName);
        memcpy(g_interfaces[i].strName, name, strlen(name));
    }

    static void Measure(int64_t inOctets, int64_t inMs, int64_t outOctets, int64_t outMs)
    {
        InterfaceRecord *rec = &g_interfaces[0];
        rec->measuredIn = inMs > 0;
        rec->deltaInOctets = inOctets;
        rec->deltaInMs = inMs;
        rec->measuredOut = outMs > 0;
        rec->deltaOutOctets = outOctets;
        rec->deltaOutMs = outMs;
    }
};

const std::string kHeader = EXACT_HISTORY_HEADER;
const char kStamp[] = "\r\n09-12-2026,14:05:00,1796825100,";

// The fields after the stamp, for what a poll can leave in the record.
TEST_F(ExactHistory, RowsHoldTheIntervalsFigures)
{
    struct Case {
        const char *what;
        int64_t inOctets, inMs, outOctets, outMs, speed;
        const char *fields;
    } cases[] = {
        {"the worked example", 1234567, 300012, 2345678, 300012, 100000000,
         "300.012,1234567,2345678,32920,62548,100000000"},
        {"in only", 1250, 10000, 0, 0, 1000, "10.000,1250,,1000,,1000"},
        {"out only, under a second", 0, 0, 7, 45, 1000, "0.045,,7,,1244,1000"},
        {"neither", 0, 0, 0, 0, 1000, ",,,,,1000"},
        // An outbound reading lost the poll before: its span is the longer.
        {"spans that differ", 100, 10000, 200, 20000, 1000, "20.000,100,200,80,80,1000"},
        // The table shows 0 past 150 % of the link; the file keeps the figure.
        {"above the link", 37500000, 1000, 0, 0, 100000000, "1.000,37500000,,300000000,,100000000"},
        {"past 32 bits", 6000000000000, 300000, 1, 300000, 0, "300.000,6000000000000,1,160000000000,0,0"},
        {"past int64", INT64_MAX, 1, 0, 0, -5, "0.001,9223372036854775807,,9223372036854775807,,-5"},
    };
    std::string expected = kHeader;
    for (const Case &c : cases) {
        Measure(c.inOctets, c.inMs, c.outOctets, c.outMs);
        g_interfaces[0].linkSpeed = c.speed;
        AppendExactHistory(0);
        expected += kStamp + std::string(c.fields);
    }
    EXPECT_EQ(expected, ReadFile("Uplink.exact.csv"));
    EXPECT_FALSE(FileExists("Uplink.csv"));
    EXPECT_FALSE(FileExists(LOG_FILE_NAME));
}

// Held in rings of its own: a blocked exact history does not hold NAME.csv's rows.
TEST_F(ExactHistory, HeldAndResumedApartFromTheRatesFile)
{
    Measure(1000, 1000, 2000, 1000);
    std::filesystem::create_directory("Uplink.exact.csv");  // cannot be opened as a file
    AppendExactHistory(0);
    AppendHistory(0);
    SetClock(9, 12, 2026, 14, 10, 0);
    AppendExactHistory(0);
    std::filesystem::remove("Uplink.exact.csv");
    SetClock(9, 12, 2026, 14, 15, 0);
    AppendExactHistory(0);

    const char *fields = "1.000,1000,2000,8000,16000,100000000";
    EXPECT_EQ(kHeader + "\r\n09-12-2026,14:05:00,1796825100," + fields + "\r\n09-12-2026,14:10:00,1796825400," +
                  fields + "\r\n09-12-2026,14:15:00,1796825700," + fields,
              ReadFile("Uplink.exact.csv"));
    EXPECT_EQ(std::string("Date,Hour,Time,% In,% Out\r\n09-12-2026,14,14:05:00,0,0"), ReadFile("Uplink.csv"));
    std::vector<std::string> expected = {"History write failure,Uplink.exact.csv",
                                         "History write resumed,Uplink.exact.csv"};
    EXPECT_EQ(expected, LogEntries());
}

// "Uplink.exact" writes Uplink.exact.csv as its rates' file: Uplink's exact rows
// must not go into it.
TEST_F(ExactHistory, ANameTakenByAnotherInterfacesRatesFileGetsNoRows)
{
    Name(1, "UPLINK.Exact");
    g_interfaceCount = 2;
    Measure(1000, 1000, 2000, 1000);
    AppendExactHistory(0);
    AppendExactHistory(0);
    EXPECT_FALSE(FileExists("Uplink.exact.csv"));
    EXPECT_EQ(std::vector<std::string>{"Exact history name taken,Uplink.exact.csv"}, LogEntries());
    g_interfaceCount = 1;
}

}  // namespace
