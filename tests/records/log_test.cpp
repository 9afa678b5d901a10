#include "records/log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/clock.h"

namespace {

class EventLog : public InTempDirFixedClock {};

TEST_F(EventLog, FirstLineCreatesTheFileWithExactBytes)
{
    ASSERT_FALSE(FileExists(LOG_FILE_NAME));
    WriteLog("Uplink", "Not able to ping");
    EXPECT_EQ("05-12-2026,14:03:07,Uplink,Not able to ping\r\n", ReadFile(LOG_FILE_NAME));
}

TEST_F(EventLog, AppendsAfterWhatIsThereAlsoFromEarlierRuns)
{
    WriteFile(LOG_FILE_NAME, "01-01-2026,00:00:00,Backbone,Not able to ping\r\n");
    WriteLog("SnmpCreatePdu failure", nullptr);
    SetClock(6, 12, 2026, 9, 0, 0);
    WriteLog("Uplink", "Not able to ping");
    EXPECT_EQ("01-01-2026,00:00:00,Backbone,Not able to ping\r\n"
              "05-12-2026,14:03:07,SnmpCreatePdu failure,\r\n"
              "06-12-2026,09:00:00,Uplink,Not able to ping\r\n",
              ReadFile(LOG_FILE_NAME));
}

TEST_F(EventLog, FieldsAreZeroPaddedAndTheYearIsWhole)
{
    struct Case {
        LocalTime time;
        const char *stamp;
    } cases[] = {
        {{1, 2, 2026, 3, 4, 5}, "01-02-2026,03:04:05"},
        {{31, 12, 2026, 23, 59, 59}, "31-12-2026,23:59:59"},
        {{9, 10, 2030, 0, 0, 0}, "09-10-2030,00:00:00"},
    };
    std::string expected;
    for (const Case &c : cases) {
        SetClock(c.time.day, c.time.month, c.time.year, c.time.hour, c.time.minute, c.time.second);
        WriteLog("m", "d");
        expected += std::string(c.stamp) + ",m,d\r\n";
    }
    EXPECT_EQ(expected, ReadFile(LOG_FILE_NAME));
}

TEST_F(EventLog, TextIsWrittenAsItIs)
{
    WriteLog("Core, rack 2", "a,b");
    WriteLog("No such name.", "");
    WriteLog(nullptr, nullptr);
    EXPECT_EQ("05-12-2026,14:03:07,Core, rack 2,a,b\r\n"
              "05-12-2026,14:03:07,No such name.,\r\n"
              "05-12-2026,14:03:07,,\r\n",
              ReadFile(LOG_FILE_NAME));
}

TEST_F(EventLog, NoHandleStaysOpenBetweenLines)
{
    WriteLog("first", nullptr);
    // Removing or renaming an open file fails on Windows.
    std::filesystem::rename(LOG_FILE_NAME, "moved.txt");
    WriteLog("second", nullptr);
    std::filesystem::remove(LOG_FILE_NAME);
    WriteLog("third", nullptr);
    EXPECT_EQ("05-12-2026,14:03:07,first,\r\n", ReadFile("moved.txt"));
    EXPECT_EQ("05-12-2026,14:03:07,third,\r\n", ReadFile(LOG_FILE_NAME));
}

TEST_F(EventLog, LinesThatCannotBeWrittenAreHeldWithTheirTimes)
{
    // A folder in the file's place: no line can be written until it goes.
    std::filesystem::create_directory(LOG_FILE_NAME);
    std::string expected;
    for (int i = 0; i < 3; i++) {
        SetClock(5, 12, 2026, 14, 3, i);
        WriteLog("Uplink", "Not able to ping");
        expected += "05-12-2026,14:03:0" + std::to_string(i) + ",Uplink,Not able to ping\r\n";
    }
    std::filesystem::remove(LOG_FILE_NAME);
    SetClock(5, 12, 2026, 14, 4, 0);
    WriteLog("next", nullptr);
    // Dated like the first line held.
    EXPECT_EQ("05-12-2026,14:03:00,Log lines held,3\r\n" + expected + "05-12-2026,14:04:00,next,\r\n",
              ReadFile(LOG_FILE_NAME));
}

TEST_F(EventLog, PastTheHeldLimitTheOldestGoWithOneLineSayingSo)
{
    const int kExtra = 7;
    std::filesystem::create_directory(LOG_FILE_NAME);
    std::string kept;
    for (int i = 0; i < LOG_HELD_MAX + kExtra; i++) {
        SetClock(5, 12, 2026, 15, i / 60, i % 60);
        char szDetail[8];
        snprintf(szDetail, sizeof szDetail, "%d", i);
        WriteLog("m", szDetail);
        char szLine[64];
        snprintf(szLine, sizeof szLine, "05-12-2026,15:%02d:%02d,m,%d\r\n", i / 60, i % 60, i);
        if (i >= kExtra)
            kept += szLine;
    }
    std::filesystem::remove(LOG_FILE_NAME);
    WriteLog("next", nullptr);
    // Stamped as the last line dropped.
    EXPECT_EQ("05-12-2026,15:00:00,Log lines held,107\r\n05-12-2026,15:00:06,Log lines dropped,7\r\n" + kept +
                  "05-12-2026,15:01:46,next,\r\n",
              ReadFile(LOG_FILE_NAME));
}

TEST_F(EventLog, ALineFeedInsideIsWrittenAsCrLf)
{
    // A blank line between records starts the next name with a line break.
    WriteLog("\nUplink", "Not able\nto ping");
    EXPECT_EQ("05-12-2026,14:03:07,\r\nUplink,Not able\r\nto ping\r\n", ReadFile(LOG_FILE_NAME));
}

TEST_F(EventLog, AnOverlongLineIsCutButStaysALine)
{
    std::string detail(2 * LOG_LINE_MAX, 'x');
    WriteLog("Uplink", detail.c_str());
    WriteLog("next", nullptr);
    std::string bytes = ReadFile(LOG_FILE_NAME);
    std::string head = "05-12-2026,14:03:07,Uplink,";
    size_t cbFirst = LOG_LINE_MAX - 1;
    ASSERT_EQ(cbFirst + 27, bytes.size());
    EXPECT_EQ(head + std::string(cbFirst - head.size() - 2, 'x') + "\r\n", bytes.substr(0, cbFirst));
    EXPECT_EQ("05-12-2026,14:03:07,next,\r\n", bytes.substr(cbFirst));
}

}  // namespace
