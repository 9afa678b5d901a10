#include "records/history.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "config/interfaces.h"
#include "records/log.h"
#include "tests/support/clock.h"
#include "tests/support/procstat.h"

namespace {

// Each test starts from an empty table and a fixed clock.
class History : public InTempDirFixedClock {
protected:
    void SetUp() override
    {
        InTempDirFixedClock::SetUp();
        memset(g_interfaces, 0, sizeof g_interfaces);
        g_interfaceCount = 0;
        SetClock(5, 12, 2026, 14, 8, 7);
    }

    // Fills record i; the name is copied as the configuration reader would store it.
    static void SetRecord(int i, const char *name, int64_t linkSpeed, int64_t bpsIn, int64_t bpsOut)
    {
        InterfaceRecord *rec = &g_interfaces[i];
        memset(rec->strName, 0, sizeof rec->strName);
        memcpy(rec->strName, name, std::min(strlen(name), sizeof rec->strName));
        rec->linkSpeed = linkSpeed;
        rec->bpsIn = bpsIn;
        rec->bpsOut = bpsOut;
        rec->measuredIn = rec->measuredOut = 1;
    }

    // Rows still held belong to this test only: written out into its folder.
    void TearDown() override
    {
        for (int i = 0; i < MAX_INTERFACES; i++) {
            SetRecord(i, "drained", 100, 0, 0);
            AppendHistory(i);
        }
        InTempDirFixedClock::TearDown();
    }

    std::string DirListing() const
    {
        std::string names;
        for (const auto &entry : std::filesystem::directory_iterator(dir_))
            names += entry.path().filename().string() + ";";
        return names;
    }
};

const char kHeader[] = "Date,Hour,Time,% In,% Out";

TEST_F(History, FirstCallCreatesFileWithHeaderAndOneRow)
{
    SetRecord(0, "Uplink", 100000000, 12000000, 3000000);
    AppendHistory(0);
    EXPECT_STREQ("Uplink.csv", g_strFileName);
    EXPECT_EQ(std::string(kHeader) + "\r\n05-12-2026,14,14:08:07,12,3", ReadFile("Uplink.csv"));
}

TEST_F(History, ADirectionNotMeasuredHasAnEmptyField)
{
    SetRecord(0, "Uplink", 100000000, 12000000, 37000000);
    g_interfaces[0].measuredIn = 0;
    AppendHistory(0);
    g_interfaces[0].measuredOut = 0;
    AppendHistory(0);
    g_interfaces[0].measuredIn = 1;
    AppendHistory(0);
    EXPECT_EQ(std::string(kHeader) +
                  "\r\n05-12-2026,14,14:08:07,,37\r\n05-12-2026,14,14:08:07,,\r\n05-12-2026,14,14:08:07,12,",
              ReadFile("Uplink.csv"));
}

TEST_F(History, TwoCyclesGiveTheWorkedExample)
{
    SetRecord(0, "Uplink", 100000000, 12000000, 3000000);
    AppendHistory(0);
    SetClock(5, 12, 2026, 14, 13, 7);
    g_interfaces[0].bpsIn = 11000000;
    g_interfaces[0].bpsOut = 4000000;
    AppendHistory(0);
    EXPECT_EQ("Date,Hour,Time,% In,% Out\r\n"
              "05-12-2026,14,14:08:07,12,3\r\n"
              "05-12-2026,14,14:13:07,11,4",
              ReadFile("Uplink.csv"));
}

TEST_F(History, SmallFieldsAreZeroPaddedAndTheHourRepeated)
{
    SetRecord(0, "Edge", 1000, 0, 0);
    SetClock(1, 2, 2027, 0, 0, 9);
    AppendHistory(0);
    SetClock(31, 12, 2027, 9, 5, 0);
    AppendHistory(0);
    EXPECT_EQ(std::string(kHeader) + "\r\n01-02-2027,00,00:00:09,0,0\r\n31-12-2027,09,09:05:00,0,0",
              ReadFile("Edge.csv"));
}

TEST_F(History, ExistingFileGetsNoSecondHeader)
{
    // Left by an earlier run, including one whose last row was written by another build.
    const std::string earlier = std::string(kHeader) + "\r\n04-12-2026,23,23:58:00,7,1";
    WriteFile("Uplink.csv", earlier);
    SetRecord(0, "Uplink", 100, 50, 25);
    AppendHistory(0);
    EXPECT_EQ(earlier + "\r\n05-12-2026,14,14:08:07,50,25", ReadFile("Uplink.csv"));

    // An empty file has no header yet: it gets one before its first row.
    WriteFile("Empty.csv", "");
    SetRecord(1, "Empty", 100, 1, 2);
    AppendHistory(1);
    EXPECT_EQ(std::string(kHeader) + "\r\n05-12-2026,14,14:08:07,1,2", ReadFile("Empty.csv"));
}

TEST_F(History, PercentagesAreRecomputedFromTheRates)
{
    struct Case {
        const char *name;
        int64_t linkSpeed, bpsIn, bpsOut;
        const char *columns;
    };
    const Case cases[] = {
        {"zero rates", 100000000, 0, 0, ",0,0"},
        {"half of 100M", 100000000, 50000000, 0, ",50,0"},
        {"product past int32", 1000000000, 999999999, 2147483647, ",99,214"},
        {"truncated not rounded", 3, 2, 1, ",66,33"},
        {"negative truncates toward zero", 200, -3, -1, ",-1,0"},
        {"speed zero", 0, 5000, 7000, ",0,0"},
        {"speed negative", -100, 5000, 7000, ",0,0"},
        {"quotient past int32", 1, INT_MAX, INT_MIN, ",214748364700,-214748364800"},
        {"9.3 Gbit/s of 10 Gbit/s", 10000000000, 9300000000, 999999999, ",93,9"},
        {"product past int64", INT64_MAX, INT64_MAX, INT64_MIN, ",100,-100"},
        {"quotient past int64", 1, INT64_MAX, INT64_MIN, ",9223372036854775807,-9223372036854775808"},
    };
    int32_t i = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        WriteFile("Link.csv", "");
        SetRecord(i % MAX_INTERFACES, "Link", c.linkSpeed, c.bpsIn, c.bpsOut);
        // The stored percentages must not leak into the file.
        g_interfaces[i % MAX_INTERFACES].pctIn = 77;
        g_interfaces[i % MAX_INTERFACES].pctOut = 88;
        AppendHistory(i % MAX_INTERFACES);
        EXPECT_EQ(std::string(kHeader) + "\r\n05-12-2026,14,14:08:07" + c.columns, ReadFile("Link.csv"));
        i++;
    }
}

TEST_F(History, FullWidthNameEndsAtTheField)
{
    // No zero after the 15 characters; the address that follows is not part of the name.
    SetRecord(0, "ABCDEFGHIJKLMNO", 100, 10, 20);
    memcpy(g_interfaces[0].strIP, "192.0.2.1", 10);
    AppendHistory(0);
    EXPECT_STREQ("ABCDEFGHIJKLMNO.csv", g_strFileName);
    EXPECT_EQ("ABCDEFGHIJKLMNO.csv;", DirListing());
    EXPECT_EQ(std::string(kHeader) + "\r\n05-12-2026,14,14:08:07,10,20", ReadFile("ABCDEFGHIJKLMNO.csv"));
}

TEST_F(History, InterfacesWithTheSameNameShareOneFile)
{
    SetRecord(0, "Core", 100, 10, 20);
    SetRecord(1, "Core", 1000, 300, 400);
    for (int cycle = 0; cycle < 2; cycle++) {
        AppendHistory(0);
        AppendHistory(1);
    }
    const std::string row0 = "\r\n05-12-2026,14,14:08:07,10,20";
    const std::string row1 = "\r\n05-12-2026,14,14:08:07,30,40";
    EXPECT_EQ(kHeader + row0 + row1 + row0 + row1, ReadFile("Core.csv"));
    EXPECT_EQ("Core.csv;", DirListing());
}

TEST_F(History, RowsOfAFileThatCannotBeOpenedAreHeldAndWrittenInOrder)
{
    // The folder does not exist until the fourth cycle: neither the header nor a row
    // can be written before.
    SetRecord(0, "held/Uplink", 100, 10, 20);
    SetRecord(1, "Fine", 100, 1, 1);
    std::string rows;
    for (int cycle = 0; cycle < 4; cycle++) {
        SetClock(5, 12, 2026, 14, 10 + 5 * cycle, 7);
        g_interfaces[0].bpsIn = cycle;
        if (cycle == 3)
            std::filesystem::create_directory("held");
        AppendHistory(0);
        AppendHistory(1);
        rows += "\r\n05-12-2026,14,14:" + std::to_string(10 + 5 * cycle) + ":07," + std::to_string(cycle) + ",20";
    }
    EXPECT_EQ(kHeader + rows, ReadFile("held/Uplink.csv"));
    EXPECT_EQ(
        (std::vector<std::string>{"History write failure,held/Uplink.csv", "History write resumed,held/Uplink.csv"}),
        LogEntries());
    // Another interface's file is not held up by it.
    std::string fine = ReadFile("Fine.csv");
    EXPECT_EQ(4, std::count(fine.begin(), fine.end(), '\n'));

    // A new episode is told anew; a file that exists gets no header.
    std::filesystem::rename("held", "gone");
    AppendHistory(0);
    std::filesystem::rename("gone", "held");
    AppendHistory(0);
    EXPECT_EQ(kHeader + rows + "\r\n05-12-2026,14,14:25:07,3,20\r\n05-12-2026,14,14:25:07,3,20",
              ReadFile("held/Uplink.csv"));
    EXPECT_EQ(
        (std::vector<std::string>{"History write failure,held/Uplink.csv", "History write resumed,held/Uplink.csv",
                                  "History write failure,held/Uplink.csv", "History write resumed,held/Uplink.csv"}),
        LogEntries());
}

TEST_F(History, InterfacesSharingAHeldFileKeepTheirRowsInTimeOrder)
{
    SetRecord(0, "held/Core", 100, 10, 20);
    SetRecord(1, "held/Core", 1000, 300, 400);
    std::string rows;
    for (int cycle = 0; cycle < 3; cycle++) {
        SetClock(5, 12, 2026, 14, 10 + cycle, 7);
        if (cycle == 2)
            std::filesystem::create_directory("held");
        AppendHistory(0);
        SetClock(5, 12, 2026, 14, 10 + cycle, 8);
        AppendHistory(1);
        std::string minute = std::to_string(10 + cycle);
        rows += "\r\n05-12-2026,14,14:" + minute + ":07,10,20\r\n05-12-2026,14,14:" + minute + ":08,30,40";
    }
    EXPECT_EQ(kHeader + rows, ReadFile("held/Core.csv"));
    EXPECT_EQ((std::vector<std::string>{"History write failure,held/Core.csv", "History write resumed,held/Core.csv"}),
              LogEntries());
}

TEST_F(History, HeldRowsStopAtTheirLimitWithOneLineAndNoGrowth)
{
    const int kExtra = 5;
    SetRecord(0, "held/Uplink", 100, 10, 20);
    auto clockAt = [](int i) { SetClock(1 + i / 1440, 1, 2027, i / 60 % 24, i % 60, 0); };
    ProcStat stat;
    clockAt(0);
    AppendHistory(0);
    ReadProcStat(&stat);
    const long long heapBefore = stat.heapBytes;
    for (int i = 1; i < HISTORY_HELD_MAX + kExtra; i++) {
        clockAt(i);
        AppendHistory(0);
    }
    ReadProcStat(&stat);
    EXPECT_LT(stat.heapBytes - heapBefore, 4096);
    EXPECT_EQ(
        (std::vector<std::string>{"History write failure,held/Uplink.csv", "History rows dropped,held/Uplink.csv"}),
        LogEntries());

    std::filesystem::create_directory("held");
    clockAt(HISTORY_HELD_MAX + kExtra);
    AppendHistory(0);
    std::string bytes = ReadFile("held/Uplink.csv");
    EXPECT_EQ(static_cast<long>(HISTORY_HELD_MAX + 1), std::count(bytes.begin(), bytes.end(), '\n'));
    // The oldest kept is the first after those dropped.
    std::string start = std::string(kHeader) + "\r\n01-01-2027,00,00:05:00,10,20\r\n";
    EXPECT_EQ(start, bytes.substr(0, start.size()));
}

TEST_F(History, IndexOutsideTheTableWritesNothing)
{
    AppendHistory(-1);
    AppendHistory(MAX_INTERFACES);
    EXPECT_EQ("", DirListing());
}

}  // namespace
