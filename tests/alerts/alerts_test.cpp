// The alert flow over the shared table, and what it writes to the alert log.
#include "alerts/alerts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "alerts/alertlog.h"
#include "config/interfaces.h"
#include "config/settings.h"
#include "tests/support/clock.h"
#include "tests/support/procstat.h"

namespace {

const std::string kHeader = "Date,Time,Interface,Event,% In,% Out,Detail";

class Alerts : public InTempDirFixedClock {
protected:
    void SetUp() override
    {
        InTempDirFixedClock::SetUp();
        memset(g_interfaces, 0, sizeof g_interfaces);
        memset(&g_settings, 0, sizeof g_settings);
        g_settings.alerts.on = 1;
        for (AlertRule &rule : g_settings.alerts.rules)
            rule = {2, 90, 1};
        g_interfaceCount = 2;
        SetName(0, "Uplink", "192.0.2.1");
        SetName(1, "Backup", "192.0.2.2");
        StartAlerts();
    }
    void TearDown() override
    {
        StopAlerts();
        memset(&g_settings, 0, sizeof g_settings);
        InTempDirFixedClock::TearDown();
    }

    static void SetName(int i, const char *name, const char *address)
    {
        InterfaceRecord *rec = &g_interfaces[i];
        memset(rec->strName, 0, sizeof rec->strName);
        memcpy(rec->strName, name, std::min(strlen(name), sizeof rec->strName));
        memset(rec->strIP, 0, sizeof rec->strIP);
        memcpy(rec->strIP, address, std::min(strlen(address), sizeof rec->strIP));
    }

    // One poll of interface i: silent (no reading), or both figures given.
    static int Poll(int i, int pctIn = -1, int pctOut = -1, AlertEvent *events = nullptr)
    {
        InterfaceRecord *rec = &g_interfaces[i];
        rec->freshIn = rec->freshOut = pctIn >= 0;
        rec->measuredIn = pctIn >= 0;
        rec->measuredOut = pctOut >= 0;
        rec->pctIn = pctIn;
        rec->pctOut = pctOut;
        AlertEvent local[ALERT_CHANGES_MAX];
        return RaiseAlerts(i, events ? events : local);
    }
};

TEST_F(Alerts, EachEventOneRowOfTheLog)
{
    Poll(0, 50, 50);  // the baseline
    Poll(0);
    SetClock(5, 12, 2026, 14, 13, 7);
    SetUtcOffset(60);
    AlertEvent events[ALERT_CHANGES_MAX];
    ASSERT_EQ(1, Poll(0, -1, -1, events));
    EXPECT_STREQ("down", events[0].event);
    EXPECT_STREQ("2026-12-05T14:13:07+01:00", events[0].time);
    EXPECT_EQ(1, AlertDown(0));
    SetClock(6, 1, 2027, 9, 5, 0);
    SetUtcOffset(-330);
    ASSERT_EQ(2, Poll(0, 95, 12, events));
    EXPECT_STREQ("2027-01-06T09:05:00-05:30", events[1].time);
    EXPECT_STREQ("192.0.2.1 in", events[1].detail);
    EXPECT_EQ(0, AlertDown(0));
    EXPECT_EQ(1, AlertAbove(0));
    Poll(0, 40, 3);
    EXPECT_EQ(kHeader + "\r\n05-12-2026,14:13:07,Uplink,down,,,192.0.2.1"
                        "\r\n06-01-2027,09:05:00,Uplink,up,95,12,192.0.2.1"
                        "\r\n06-01-2027,09:05:00,Uplink,above,95,12,192.0.2.1 in"
                        "\r\n06-01-2027,09:05:00,Uplink,normal,40,3,192.0.2.1",
              ReadFile(ALERT_LOG_FILE_NAME));
}

TEST_F(Alerts, InterfacesKeepStatesOfTheirOwn)
{
    g_settings.alerts.rules[1] = {2, 50, 1};
    for (int i = 0; i < 2; i++)
        Poll(i, -1, -1);
    Poll(0, 60, 60);
    Poll(1, 60, 60);
    EXPECT_EQ(0, AlertAbove(0));
    EXPECT_EQ(1, AlertAbove(1));
    int down = -1, above = -1;
    CountAlerts(&down, &above);
    EXPECT_EQ(0, down);
    EXPECT_EQ(1, above);
}

// A name may start with a comma (vellary.cfg takes one as a field's first
// character) or hold a quote; a line break before a name is part of it.
TEST_F(Alerts, AFieldStaysOneFieldAndARowOneLine)
{
    SetName(0, ",Core \"A\"", "192.0.2.1");
    SetName(1, "\nEdge\t1", "192.0.2.2");
    for (int i = 0; i < 2; i++) {
        Poll(i, 50, 50);
        Poll(i);
        Poll(i);
    }
    EXPECT_EQ(kHeader + "\r\n05-12-2026,14:03:07,\",Core \"\"A\"\"\",down,,,192.0.2.1"
                        "\r\n05-12-2026,14:03:07,Edge1,down,,,192.0.2.2",
              ReadFile(ALERT_LOG_FILE_NAME));
}

TEST_F(Alerts, RowsHeldWhileTheLogCannotBeWritten)
{
    std::filesystem::create_directory(ALERT_LOG_FILE_NAME);  // cannot be opened as a file
    Poll(0, 50, 50);
    Poll(0);
    Poll(0);
    std::filesystem::remove(ALERT_LOG_FILE_NAME);
    SetClock(5, 12, 2026, 14, 8, 7);
    Poll(0, 50, 50);
    EXPECT_EQ(kHeader + "\r\n05-12-2026,14:03:07,Uplink,down,,,192.0.2.1"
                        "\r\n05-12-2026,14:08:07,Uplink,up,50,50,192.0.2.1",
              ReadFile(ALERT_LOG_FILE_NAME));
    std::vector<std::string> want = {"Alert log write failure,vellary-alerts.csv",
                                     "Alert log write resumed,vellary-alerts.csv"};
    EXPECT_EQ(want, LogEntries());
}

TEST_F(Alerts, OffWithoutAnAlertsSection)
{
    StopAlerts();
    g_settings.alerts.on = 0;
    ProcStat before, after;
    ReadProcStat(&before);
    StartAlerts();
    for (int k = 0; k < 4; k++)
        EXPECT_EQ(0, Poll(0));
    ReadProcStat(&after);
    EXPECT_EQ(before.threads, after.threads) << "no thread of their own";
    EXPECT_EQ(0, AlertDown(0));
    EXPECT_FALSE(FileExists(ALERT_LOG_FILE_NAME));
    EXPECT_FALSE(FileExists("vellarylog.txt"));
}

}  // namespace
