// The user's program as a real process (alert_program.cpp), natively through
// posix_spawn and under Wine through CreateProcessW.
#include "alerts/program.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "tests/alerts/sample_event.h"
#include "tests/support/files.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace fs = std::filesystem;

namespace {

AlertEvent Event(const char *name, const char *kind)
{
    AlertEvent e = SampleEvent(name, kind);
    e.hasIn = 1;
    e.pctIn = 95;
    snprintf(e.detail, sizeof e.detail, "192.0.2.1 in");
    return e;
}

void SetVariable(const char *name, const char *value)
{
#ifdef _WIN32
    SetEnvironmentVariableA(name, value);
#else
    setenv(name, value, 1);
#endif
}

class AlertProgram : public InTempDir {
protected:
    void TearDown() override
    {
        std::error_code ec;
        fs::remove("hold", ec);
        // The programs run in this folder: it goes once they are gone.
        for (int k = 0; k < 1000 && AlertProgramsRunning() > 0; k++)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ReleaseAlertPrograms();
        InTempDir::TearDown();
    }

    // The files the programs wrote, once there are n of them (20 s at most).
    static std::vector<std::string> Written(size_t n)
    {
        std::vector<std::string> texts;
        for (int k = 0; k < 1000; k++) {
            texts.clear();
            // Under Wine a file may be held a moment longer by its rename: read it again.
            for (const auto &entry : fs::directory_iterator("."))
                if (entry.path().extension() == ".txt" && entry.path().filename().string().rfind("alert-", 0) == 0)
                    texts.push_back(ReadFile(entry.path()));
            texts.erase(std::remove_if(texts.begin(), texts.end(),
                                       [](const std::string &t) { return t.rfind("started=", 0) != 0; }),
                        texts.end());
            if (texts.size() >= n)
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return texts;
    }

    // A program's file without its start time, its lines sorted.
    static std::vector<std::string> Lines(const std::string &text)
    {
        std::vector<std::string> lines;
        for (size_t pos = 0, eol; (eol = text.find('\n', pos)) != std::string::npos; pos = eol + 1)
            if (text.compare(pos, 8, "started=") != 0)
                lines.push_back(text.substr(pos, eol - pos));
        std::sort(lines.begin(), lines.end());
        return lines;
    }
};

TEST_F(AlertProgram, TheEventInItsEnvironmentAndNothingOnItsCommandLine)
{
    SetVariable("ALERT_TEST_KEPT", "yes");
    SetVariable("VELLARY_EVENT", "stale");
    AlertEvent e = Event("B\xC3\xBCro\t\"&|", "above");
    EXPECT_EQ(1, RunAlertProgram(ALERT_PROGRAM, e));
    std::vector<std::string> texts = Written(1);
    ASSERT_EQ(1u, texts.size());
    std::vector<std::string> want = {
        "ALERT_TEST_KEPT=yes",
        "VELLARY_ADDRESS=192.0.2.1",
        "VELLARY_DETAIL=192.0.2.1 in",
        "VELLARY_EVENT=above",
        "VELLARY_IN=95",
        "VELLARY_INTERFACE=B\xC3\xBCro\"&|",
        "VELLARY_OUT=",
        "VELLARY_TIME=2026-12-09T03:14:07+01:00",
    };
    EXPECT_EQ(want, Lines(texts[0]));
}

TEST_F(AlertProgram, AtMostFourAtOnce)
{
    WriteFile("hold", "");
    for (int k = 0; k < ALERT_PROGRAMS_MAX; k++)
        EXPECT_EQ(1, RunAlertProgram(ALERT_PROGRAM, Event("Uplink", "down")));
    EXPECT_EQ(0, RunAlertProgram(ALERT_PROGRAM, Event("Backup", "up")));
    EXPECT_EQ(4u, Written(4).size());
    EXPECT_EQ(std::vector<std::string>{"Alert program busy,Backup up"}, LogEntries());

    // Those that ended make room again.
    fs::remove("hold");
    for (int k = 0; k < 1000 && AlertProgramsRunning() > 0; k++)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(0, AlertProgramsRunning());
    EXPECT_EQ(1, RunAlertProgram(ALERT_PROGRAM, Event("Backup", "normal")));
    EXPECT_EQ(5u, Written(5).size());
}

TEST_F(AlertProgram, APathThatDoesNotExist)
{
    for (const char *path : {"no-such-folder/alert", "no-such-alert.cmd"}) {
        EXPECT_EQ(0, RunAlertProgram(path, Event("Uplink", "down"))) << path;
        EXPECT_EQ(0, RunAlertProgram(path, Event("Uplink", "up"))) << path;
    }
    std::vector<std::string> want = {"Alert program failure,Uplink down", "Alert program failure,Uplink up",
                                     "Alert program failure,Uplink down", "Alert program failure,Uplink up"};
    EXPECT_EQ(want, LogEntries());
    EXPECT_EQ(0, AlertProgramsRunning());
}

#ifdef _WIN32
// A batch file runs through cmd.exe, its path quoted: a folder with a blank and
// an '&' in its name must not split it.
TEST_F(AlertProgram, ABatchFileThroughCmd)
{
    fs::create_directory("alert & scripts");
    WriteFile("alert & scripts\\page it.cmd", std::string("@\"") + ALERT_PROGRAM + "\"\r\n");
    EXPECT_EQ(1, RunAlertProgram("alert & scripts\\page it.cmd", Event("Uplink", "down")));
    std::vector<std::string> texts = Written(1);
    ASSERT_EQ(1u, texts.size());
    EXPECT_NE(std::string::npos, texts[0].find("VELLARY_EVENT=down\n")) << texts[0];
    EXPECT_EQ(std::vector<std::string>{}, LogEntries());
}
#endif

}  // namespace
