#include "export/prometheus.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "alerts/alerts.h"
#include "config/interfaces.h"
#include "config/settings.h"
#include "poll/clock.h"
#include "records/diskfile.h"
#include "records/log.h"
#include "records/replace.h"
#include "tests/support/clock.h"

namespace {

class PrometheusExport : public InTempDirFixedClock {
protected:
    void SetUp() override
    {
        InTempDirFixedClock::SetUp();
        SetClock(9, 12, 2026, 14, 5, 0);  // 1796825100 s
        memset(g_interfaces, 0, sizeof g_interfaces);
        g_interfaceCount = 0;
    }

    static InterfaceRecord *Add(const char *name, const char *ip, int64_t speed)
    {
        InterfaceRecord *rec = &g_interfaces[g_interfaceCount++];
        memcpy(rec->strName, name, strlen(name));
        memcpy(rec->strIP, ip, strlen(ip));
        rec->linkSpeed = speed;
        rec->curTime = MonotonicMs() - 2000;  // polled 2 s ago
        return rec;
    }

    static void Measure(InterfaceRecord *rec, int64_t inOctets, int64_t outOctets, int64_t ms)
    {
        rec->freshIn = rec->freshOut = 1;
        rec->measuredIn = rec->measuredOut = 1;
        rec->deltaInOctets = inOctets;
        rec->deltaOutOctets = outOctets;
        rec->deltaInMs = rec->deltaOutMs = ms;
    }
};

// What each kind of record gives, in the exposition format: only measured
// figures, labels escaped and in UTF-8, LF line breaks, a line break at the end.
TEST_F(PrometheusExport, TheFileHoldsEachInterfacesFigures)
{
    Measure(Add("Uplink", "192.0.2.1", 100000000), 1234567, 2345678, 300012);
    InterfaceRecord *half = Add("Quote\"\\", "192.0.2.2", 1);  // an answer for one counter, a baseline
    half->freshOut = 1;
    Add("B\xfcro", "192.0.2.3", 0);                      // not UTF-8: each byte a character
    Measure(Add("Uplink", "192.0.2.1", 5), 1, 1, 1000);  // the same series again: left out
    WritePrometheusExport(".");

    const char *labels[] = {"{interface=\"Uplink\",address=\"192.0.2.1\"}",
                            "{interface=\"Quote\\\"\\\\\",address=\"192.0.2.2\"}",
                            "{interface=\"B\xc3\xbcro\",address=\"192.0.2.3\"}"};
    auto family = [](const char *name, const char *type, const char *help) {
        return std::string("# HELP vellary_interface_") + name + " " + help + "\n# TYPE vellary_interface_" + name +
               " " + type + "\n";
    };
    auto sample = [&](const char *name, int k, const char *value) {
        return std::string("vellary_interface_") + name + labels[k] + " " + value + "\n";
    };
    std::string expected =
        family("up", "gauge", "1 when the last poll got a reading of a counter of the interface, else 0.") +
        sample("up", 0, "1") + sample("up", 1, "1") + sample("up", 2, "0") +
        family("receive_bytes_per_second", "gauge",
               "Bytes received per second over the last interval; absent when it was not measured.") +
        sample("receive_bytes_per_second", 0, "4115.058") +
        family("transmit_bytes_per_second", "gauge",
               "Bytes sent per second over the last interval; absent when it was not measured.") +
        sample("transmit_bytes_per_second", 0, "7818.613") +
        family("receive_bytes_total", "counter", "Bytes received in the intervals measured since Vellary started.") +
        sample("receive_bytes_total", 0, "1234567") + sample("receive_bytes_total", 1, "0") +
        sample("receive_bytes_total", 2, "0") +
        family("transmit_bytes_total", "counter", "Bytes sent in the intervals measured since Vellary started.") +
        sample("transmit_bytes_total", 0, "2345678") + sample("transmit_bytes_total", 1, "0") +
        sample("transmit_bytes_total", 2, "0") +
        family("receive_utilisation_ratio", "gauge",
               "Receive rate over the link speed, 1 for the whole link; absent when not measured.") +
        sample("receive_utilisation_ratio", 0, "0.000329204") +
        family("transmit_utilisation_ratio", "gauge",
               "Transmit rate over the link speed, 1 for the whole link; absent when not measured.") +
        sample("transmit_utilisation_ratio", 0, "0.000625489") +
        family("speed_bytes_per_second", "gauge", "The link speed given in vellary.cfg, in bytes per second.") +
        sample("speed_bytes_per_second", 0, "12500000") + sample("speed_bytes_per_second", 1, "0.125") +
        family("last_poll_timestamp_seconds", "gauge",
               "When the last poll of the interface began, in seconds since 1970.") +
        sample("last_poll_timestamp_seconds", 0, "1796825098") +
        sample("last_poll_timestamp_seconds", 1, "1796825098") + sample("last_poll_timestamp_seconds", 2, "1796825098");
    EXPECT_EQ(expected, ReadFile(PROMETHEUS_FILE_NAME));
    EXPECT_FALSE(FileExists(LOG_FILE_NAME));
}

// With alerts on, each interface's two states, as the alert log last said them:
// a "down" after its poll without a reading, an "above" after a full link.
TEST_F(PrometheusExport, AlertStatesWhileAlertsAreOn)
{
    memset(&g_settings, 0, sizeof g_settings);
    g_settings.alerts.on = 1;
    for (AlertRule &rule : g_settings.alerts.rules)
        rule = {1, 90, 1};
    InterfaceRecord *silent = Add("Silent", "192.0.2.1", 1000);
    InterfaceRecord *busy = Add("Busy", "192.0.2.2", 1000);
    StartAlerts();
    AlertEvent events[ALERT_CHANGES_MAX];
    for (int poll = 0; poll < 2; poll++) {  // the baseline, then the events
        silent->freshIn = silent->freshOut = poll == 0;
        Measure(busy, 120, 0, 1000);
        busy->pctIn = 96;
        RaiseAlerts(0, events);
        RaiseAlerts(1, events);
    }
    WritePrometheusExport(".");
    StopAlerts();
    memset(&g_settings, 0, sizeof g_settings);
    std::string text = ReadFile(PROMETHEUS_FILE_NAME);
    const char *want[] = {
        "vellary_interface_alert{interface=\"Silent\",address=\"192.0.2.1\",event=\"down\"} 1\n",
        "vellary_interface_alert{interface=\"Silent\",address=\"192.0.2.1\",event=\"above\"} 0\n",
        "vellary_interface_alert{interface=\"Busy\",address=\"192.0.2.2\",event=\"down\"} 0\n",
        "vellary_interface_alert{interface=\"Busy\",address=\"192.0.2.2\",event=\"above\"} 1\n"};
    for (const char *line : want)
        EXPECT_NE(std::string::npos, text.find(line)) << line << text;
}

// The totals add each measured interval and nothing for one that was not, so
// they never go back, whatever the device's counter did.
TEST_F(PrometheusExport, TotalsSumTheMeasuredIntervals)
{
    g_interfaceCount = 4;  // a slot the other tests never measure, whatever their order
    InterfaceRecord *rec = Add("Uplink", "192.0.2.1", 1000);
    const std::string key = "vellary_interface_receive_bytes_total{interface=\"Uplink\",address=\"192.0.2.1\"} ";
    auto total = [&] {
        std::string text = ReadFile(PROMETHEUS_FILE_NAME);
        size_t at = text.find(key);
        return at == std::string::npos ? -1 : std::stoll(text.substr(at + key.size()));
    };
    WritePrometheusExport(".");
    long long before = total();
    int64_t intervals[] = {4000000000, -1, 3000000000, 5};
    for (int64_t octets : intervals) {
        Measure(rec, octets, 0, 1000);
        rec->measuredIn = octets >= 0;  // a restart: no figure
        WritePrometheusExport(".");
    }
    EXPECT_EQ(before + 7000000005, total());
}

// A folder that is not there, or one that takes no new file: one line when the
// export starts failing, one when it works again, and the old file stays.
TEST_F(PrometheusExport, AFolderThatCannotBeWrittenIsSaidOnceEachWayAndKeepsTheOldFile)
{
    Add("Uplink", "192.0.2.1", 1000);
    const std::string path = std::string("prom") + PATH_SEPARATOR + PROMETHEUS_FILE_NAME;
    WritePrometheusExport("prom");
    WritePrometheusExport("prom");
    WriteFile("file", "");
    WritePrometheusExport("file");  // a file, not a folder
    std::filesystem::create_directory("prom");
    WritePrometheusExport("prom" PATH_SEPARATOR);

    // The file of its own that the export writes first cannot be made.
    WriteFile(path, "old\n");
    std::string temp = path + "." + std::to_string(CurrentProcessId()) + ".tmp";
    std::filesystem::create_directory(temp);
    WritePrometheusExport("prom");
    WritePrometheusExport("prom");
    EXPECT_EQ("old\n", ReadFile(path));
    std::filesystem::remove(temp);
    WritePrometheusExport("prom");

    std::vector<std::string> expected = {"Prometheus export failure," + path, "Prometheus export resumed," + path,
                                         "Prometheus export failure," + path, "Prometheus export resumed," + path};
    EXPECT_EQ(expected, LogEntries());
    EXPECT_EQ(0u, ReadFile(path).find("# HELP vellary_interface_up "));
    EXPECT_EQ(1, std::distance(std::filesystem::directory_iterator("prom"), {}));
}

}  // namespace
