// Two cycles of the real poll and the real export against snmpd, for the test
// that reads the export through a node exporter and Prometheus (prometheus.sh):
// lo through its 32-bit and its 64-bit counters, with traffic pushed through
// it in between. Prints each interface's name and its bps In and bps Out as
// the table shows them, one line each, and leaves FOLDER/vellary.prom.
//
//   export_poll FOLDER
#include <arpa/inet.h>
#include <net/if.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "config/interfaces.h"
#include "export/prometheus.h"
#include "poll/clock.h"
#include "poll/poll.h"
#include "tests/support/snmpd.h"

namespace {

// Some megabytes of UDP through lo, so both directions have traffic to measure.
void PushThroughLoopback()
{
    int rx = socket(AF_INET, SOCK_DGRAM, 0);
    int tx = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (rx < 0 || tx < 0 || bind(rx, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        getsockname(rx, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
        return;
    static char chunk[60000], sink[65536];
    for (int k = 0; k < 200; k++) {
        sendto(tx, chunk, sizeof chunk, 0, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
        recv(rx, sink, sizeof sink, 0);
    }
    close(tx);
    close(rx);
}

void Configure(int i, const char *name, const std::string &address, const char *inOid, const char *outOid)
{
    InterfaceRecord *rec = &g_interfaces[i];
    std::string index = std::to_string(if_nametoindex("lo"));
    snprintf(rec->strName, sizeof rec->strName, "%s", name);
    memcpy(rec->strIP, address.data(), address.size());
    snprintf(rec->strCommunity, sizeof rec->strCommunity, "%s", SnmpdAgent::kCommunity);
    snprintf(rec->strOidIn, sizeof rec->strOidIn, "%s.%s", inOid, index.c_str());
    snprintf(rec->strOidOut, sizeof rec->strOidOut, "%s.%s", outOid, index.c_str());
    rec->linkSpeed = 100000000000;  // far above what lo carries: no rate is taken as bad
    rec->firstPoll = 1;
}

}  // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: export_poll FOLDER\n");
        return 2;
    }
    SnmpdAgent agent;
    if (!agent.Start(101, 109)) {
        fprintf(stderr, "snmpd did not start on 127.0.0.101-109\n");
        return 1;
    }
    memset(g_interfaces, 0, sizeof g_interfaces);
    Configure(0, "lo32", agent.Address(), "1.3.6.1.2.1.2.2.1.10", "1.3.6.1.2.1.2.2.1.16");
    Configure(1, "lo64", agent.Address(), "1.3.6.1.2.1.31.1.1.1.6", "1.3.6.1.2.1.31.1.1.1.10");
    g_interfaceCount = 2;

    for (int cycle = 0; cycle < 2; cycle++) {
        int64_t started = MonotonicMs();
        for (int i = 0; i < g_interfaceCount; i++)
            PollInterface(nullptr, 0x113, i);
        WritePrometheusExport(argv[1]);
        if (cycle == 0) {
            PushThroughLoopback();
            // snmpd serves interface counters from a cache of a few seconds.
            while (MonotonicMs() < started + 4000)
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
    for (int i = 0; i < g_interfaceCount; i++) {
        const InterfaceRecord *rec = &g_interfaces[i];
        if (!rec->measuredIn || !rec->measuredOut) {
            fprintf(stderr, "%s was not measured\n", rec->strName);
            return 1;
        }
        printf("%s %" PRId64 " %" PRId64 "\n", rec->strName, rec->bpsIn, rec->bpsOut);
    }
    return 0;
}
