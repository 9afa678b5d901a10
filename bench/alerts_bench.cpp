// Alerts, timed: from the end of an interface's poll to the start of the
// program that `run` names, and the window thread's time on one event (the
// alert log's row and the program handed to its launcher, inside RaiseAlerts). The program
// is tests/alerts/alert_program.cpp, which notes when it started.
//
//   alerts_bench start  <events> <program>   poll end to the program's start
//   alerts_bench window <events> <program>   the time RaiseAlerts takes
//   alerts_bench log    <events>             the same without a program: the alert log alone
//
// Run in an empty folder: the alert log and the program's files land there.
// Each event ("down", then "up", in turn) waits for the one before to end, so
// none finds four running.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "alerts/alerts.h"
#include "alerts/program.h"
#include "config/interfaces.h"
#include "config/settings.h"

namespace fs = std::filesystem;
using WallClock = std::chrono::system_clock;
using Steady = std::chrono::steady_clock;

namespace {

int64_t WallMicros()
{
    return std::chrono::duration_cast<std::chrono::microseconds>(WallClock::now().time_since_epoch()).count();
}

std::string ReadText(const fs::path &path)
{
    std::string text;
    FILE *f = fopen(path.string().c_str(), "rb");
    if (!f)
        return text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    fclose(f);
    return text;
}

// The start time the program wrote (microseconds of the wall clock), once its
// file is there: at most 10 s. The file is then removed. -1 when none came.
int64_t ProgramStarted()
{
    for (int k = 0; k < 10000; k++) {
        for (const auto &entry : fs::directory_iterator(".")) {
            std::string name = entry.path().filename().string();
            if (name.rfind("alert-", 0) != 0 || entry.path().extension() != ".txt")
                continue;
            // Under Wine the file may be held a moment longer by its rename: read it again.
            std::string text = ReadText(entry.path());
            if (text.rfind("started=", 0) != 0)
                continue;
            std::error_code ec;
            fs::remove(entry.path(), ec);
            return std::stoll(text.substr(8));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return -1;
}

void WaitForPrograms()
{
    for (int k = 0; k < 10000 && AlertProgramsRunning() > 0; k++)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void Report(const char *key, std::vector<double> v, int failures)
{
    std::sort(v.begin(), v.end());
    printf("%s_count=%zu\n%s_median_ms=%.3f\n", key, v.size(), key, Median(v));
    if (!v.empty())
        printf("%s_p95_ms=%.3f\n%s_max_ms=%.3f\n", key, v[std::min(v.size() - 1, v.size() * 95 / 100)], key, v.back());
    printf("%s_failures=%d\n", key, failures);
}

}  // namespace

int main(int argc, char **argv)
{
    bool logOnly = argc == 3 && strcmp(argv[1], "log") == 0;
    if ((argc != 4 || (strcmp(argv[1], "start") != 0 && strcmp(argv[1], "window") != 0)) && !logOnly) {
        fprintf(stderr, "usage: alerts_bench start|window <events> <program>, or alerts_bench log <events>\n");
        return 2;
    }
    bool start = strcmp(argv[1], "start") == 0;
    int events = atoi(argv[2]);

    memset(&g_settings, 0, sizeof g_settings);
    g_settings.alerts.on = 1;
    g_settings.alerts.rules[0] = {1, 90, 1};  // every poll without a reading is "down"
    snprintf(g_settings.alerts.run, sizeof g_settings.alerts.run, "%s", logOnly ? "" : argv[3]);
    g_interfaceCount = 1;
    memcpy(g_interfaces[0].strName, "Uplink", 6);
    memcpy(g_interfaces[0].strIP, "192.0.2.1", 9);
    StartAlerts();
    AlertEvent raised[ALERT_CHANGES_MAX];
    g_interfaces[0].freshIn = g_interfaces[0].freshOut = 1;
    RaiseAlerts(0, raised);  // the baseline

    std::vector<double> times;
    int failures = 0;
    for (int k = 0; k < events; k++) {
        InterfaceRecord *rec = &g_interfaces[0];
        rec->freshIn = rec->freshOut = k % 2;  // down, then up
        int64_t pollEnd = WallMicros();
        Steady::time_point t0 = Steady::now();
        int n = RaiseAlerts(0, raised);
        double windowMs = std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
        int64_t started = logOnly ? 0 : ProgramStarted();
        if (n != 1 || started < 0) {
            fprintf(stderr, "alerts_bench: event %d: %s\n", k, n != 1 ? "not raised" : "the program wrote nothing");
            failures++;
        } else {
            times.push_back(start ? (started - pollEnd) / 1000.0 : windowMs);
        }
        WaitForPrograms();
    }
    Report(start ? "alert_start" : logOnly ? "alert_log" : "alert_window", times, failures);
    StopAlerts();
    return failures ? 1 : 0;
}
