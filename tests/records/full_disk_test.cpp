// History rows and log lines on a disk that fills up: a write that fails
// part-way, wherever it fails, leaves no part of what it was writing, and
// nothing is lost or said to be written before it is.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "config/interfaces.h"
#include "records/history.h"
#include "records/log.h"
#include "tests/records/full_disk.h"
#include "tests/support/clock.h"

namespace {

class FullDisk : public InTempDirFixedClock {
protected:
    void SetUp() override
    {
        InTempDirFixedClock::SetUp();
        SetDiskRoom(-1);
        memset(g_interfaces, 0, sizeof g_interfaces);
        // Interface 1 writes the same rows as 0 onto a disk with room: what 0's file should hold.
        for (int i = 0; i < 2; i++) {
            InterfaceRecord *rec = &g_interfaces[i];
            memcpy(rec->strName, i ? "Ref" : "Uplink", i ? 3 : 6);
            rec->linkSpeed = 100000000;
            rec->bpsIn = 12000000;
            rec->bpsOut = 3000000;
            rec->measuredIn = rec->measuredOut = 1;
        }
    }

    // Whatever a test left held goes into its own folder.
    void TearDown() override
    {
        SetDiskRoom(-1);
        AppendHistory(0);
        WriteLog("drained", nullptr);
        InTempDirFixedClock::TearDown();
    }

    // One cycle: interface 0 on a disk with room bytes left, then 1 with no limit.
    static void Cycle(int minute, long long room)
    {
        SetClock(5, 12, 2026, 14, minute, 7);
        SetDiskRoom(room);
        AppendHistory(0);
        SetDiskRoom(-1);
        AppendHistory(1);
    }

    // The reference file's rows, without its header.
    static std::string RefRows() { return ReadFile("Ref.csv").substr(sizeof HISTORY_HEADER - 1); }
};

TEST_F(FullDisk, ARowCutShortAnywhereLeavesNoPartAndGoesInWithTheNext)
{
    const std::string earlier = std::string(HISTORY_HEADER) + "\r\n04-12-2026,23,23:58:00,7,1";
    Cycle(8, -1);
    const size_t rowBytes = RefRows().size();
    for (size_t room = 0; room < rowBytes; room++) {
        SCOPED_TRACE(room);
        WriteFile("Uplink.csv", earlier);
        std::filesystem::remove("Ref.csv");
        std::filesystem::remove(LOG_FILE_NAME);
        Cycle(8, static_cast<long long>(room));
        EXPECT_EQ(earlier, ReadFile("Uplink.csv"));
        Cycle(13, -1);
        EXPECT_EQ(earlier + RefRows(), ReadFile("Uplink.csv"));
        // The log was on the full disk too: its line waited, and says so.
        EXPECT_EQ((std::vector<std::string>{"Log lines held,1", "History write failure,Uplink.csv",
                                            "History write resumed,Uplink.csv"}),
                  LogEntries());
    }
}

TEST_F(FullDisk, AFileMadeWhileTheDiskIsFullGetsItsHeaderLater)
{
    Cycle(8, 0);
    EXPECT_EQ("", ReadFile("Uplink.csv"));
    Cycle(13, -1);
    EXPECT_EQ(ReadFile("Ref.csv"), ReadFile("Uplink.csv"));
}

TEST_F(FullDisk, HeldRowsThatFailAgainStayHeldAndResumedIsSaidOnceTheyAreIn)
{
    Cycle(8, 0);
    // Room for the held row and part of the next: both stay held.
    Cycle(13, static_cast<long long>(ReadFile("Ref.csv").size()));
    EXPECT_EQ("", ReadFile("Uplink.csv"));
    EXPECT_EQ((std::vector<std::string>{}), LogEntries());
    Cycle(18, -1);
    EXPECT_EQ(ReadFile("Ref.csv"), ReadFile("Uplink.csv"));
    EXPECT_EQ((std::vector<std::string>{"Log lines held,1", "History write failure,Uplink.csv",
                                        "History write resumed,Uplink.csv"}),
              LogEntries());
}

TEST_F(FullDisk, ALogLineCutShortAnywhereLeavesNoPartAndTheNextSaysItWasHeld)
{
    const std::string earlier = "01-01-2026,00:00:00,Backbone,Not able to ping\r\n";
    const std::string line = "05-12-2026,14:03:07,Uplink,Not able to ping\r\n";
    for (size_t room = 0; room < line.size(); room++) {
        SCOPED_TRACE(room);
        WriteFile(LOG_FILE_NAME, earlier);
        SetDiskRoom(static_cast<long long>(room));
        WriteLog("Uplink", "Not able to ping");
        EXPECT_EQ(earlier, ReadFile(LOG_FILE_NAME));
        SetDiskRoom(-1);
        WriteLog("next", nullptr);
        EXPECT_EQ(earlier + "05-12-2026,14:03:07,Log lines held,1\r\n" + line + "05-12-2026,14:03:07,next,\r\n",
                  ReadFile(LOG_FILE_NAME));
    }
}

}  // namespace
