// The webhook's figures, printed as "key=value" lines for bench/run.sh: the
// time from PostAlert to the receiver's arrival (tests/alerts/receiver.py,
// which stamps each request with the wall clock as it has read it), and the
// calling thread's time inside PostAlert.
//   webhookbench <url> <receiver's log> <arrivals> <calls>
// Each round posts one event and waits for it to arrive before the next, so
// the queue never holds more than the one.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "alerts/webhook.h"

namespace {

double WallSeconds()
{
    return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    size_t mid = v.size() / 2;
    return v.size() % 2 ? v[mid] : (v[mid - 1] + v[mid]) / 2;
}

double Max(const std::vector<double> &v) { return v.empty() ? 0 : *std::max_element(v.begin(), v.end()); }

// The arrival time of the receiver's request number n (from 1), once the log
// has it; 0 after 15 s without it.
double ArrivalOf(const char *log, size_t n)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
    do {
        std::ifstream in(log);
        std::string line;
        size_t k = 0;
        while (std::getline(in, line))
            // status, path, type, time, body: a line still being written has fewer tabs
            if (++k == n && std::count(line.begin(), line.end(), '\t') == 4) {
                size_t at = 0;
                for (int tab = 0; tab < 3; tab++)
                    at = line.find('\t', at) + 1;
                return atof(line.c_str() + at);
            }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < deadline);
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc < 5) {
        fprintf(stderr, "usage: webhookbench <url> <receiver's log> <arrivals> <calls>\n");
        return 2;
    }
    const char *url = argv[1], *log = argv[2];
    int arrivals = atoi(argv[3]), calls = atoi(argv[4]);
    if (!StartWebhook(url, "127.0.0.1"))
        return 1;
    AlertEvent event = {};
    snprintf(event.name, sizeof event.name, "Uplink");
    snprintf(event.address, sizeof event.address, "192.0.2.1");
    event.event = "down";
    snprintf(event.time, sizeof event.time, "2026-12-09T03:14:07+01:00");

    std::vector<double> arriveMs, callMs;
    int lost = 0;
    size_t posted = 0;
    for (int i = -1; i < std::max(arrivals, calls); i++) {  // one warm-up post first
        double sent = WallSeconds();
        auto t0 = std::chrono::steady_clock::now();
        PostAlert(&event);
        auto t1 = std::chrono::steady_clock::now();
        double arrived = ArrivalOf(log, ++posted);
        if (i < 0)
            continue;
        if (arrived == 0)
            lost++;
        else if (i < arrivals)
            arriveMs.push_back((arrived - sent) * 1000);
        if (i < calls)
            callMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    }
    StopWebhook(2000);
    printf("arrive_count=%zu\narrive_median_ms=%.3f\narrive_max_ms=%.3f\n", arriveMs.size(), Median(arriveMs),
           Max(arriveMs));
    printf("call_count=%zu\ncall_median_ms=%.4f\ncall_max_ms=%.4f\n", callMs.size(), Median(callMs), Max(callMs));
    printf("lost=%d\n", lost);
    return lost == 0 ? 0 : 1;
}
