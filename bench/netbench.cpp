// Network figures of the polling engine, printed as "key=value" lines for
// bench/run.sh: the query's latency, the probe's round trip, and the soak
// (rounds of probe + two queries, watching what the process holds).
//   netbench query <address> <community> <oid> <count> [slot] [first]
//   netbench probe <address> <count>
//   netbench soak <address> <community> <oid in> <oid out> <rounds>
//   netbench parts <address> <count>
//   netbench cleanup <count>
// "parts" times what a query is made of besides the round trip: the platform's
// 200 ms sleep, a thread started and joined, a socket opened, connected and
// closed, and a whole query that does not wait for its reply.
// "cleanup" times SnmpCleanup while 40 replies wait behind a callback that takes
// 50 ms each, against a socket of its own on 127.0.0.1, and counts the callbacks
// that start once it has begun.
// "slot" replaces the query's sleeps with a wait that ends as soon as the reply
// slot is set (the soak always does): the stack, its sockets and its receiver
// threads stay real, only the fixed 200/500 ms steps go.
// The community may be a label of vellary-v3.cfg in the working directory: the
// query then goes as SNMPv3. "first" leaves out the warm-up query, so with a
// count of 1 the figure is a process's first query: for SNMPv3 the one that
// discovers the engine and makes the user's keys.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "config/interfaces.h"
#include "config/v3users.h"
#include "poll/ping.h"
#include "poll/poll.h"
#include "poll/snmpquery.h"
#include "snmp/udp.h"
#include "snmp/winsnmp.h"
#include "tests/poll/query_sleep.h"
#include "tests/support/procstat.h"

namespace {

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

Clock::time_point g_slotSeen;  // when SlotWait first found the slot set
bool g_slotSeenSet = false;

// Ends a query's step as soon as the reply slot is set, or when the step is over.
void SlotWait(unsigned int milliseconds)
{
    auto deadline = Clock::now() + std::chrono::milliseconds(milliseconds);
    while (g_replyValue.load(std::memory_order_acquire) == 0 && Clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::microseconds(50));
    if (!g_slotSeenSet && g_replyValue.load(std::memory_order_acquire) != 0) {
        g_slotSeen = Clock::now();
        g_slotSeenSet = true;
    }
}

// The value at fraction q of the sorted samples (nearest rank).
double Quantile(std::vector<double> samples, double q)
{
    if (samples.empty())
        return 0;
    std::sort(samples.begin(), samples.end());
    size_t rank = static_cast<size_t>(q * static_cast<double>(samples.size()) + 0.999999);
    if (rank < 1)
        rank = 1;
    if (rank > samples.size())
        rank = samples.size();
    return samples[rank - 1];
}

void PrintDistribution(const char *prefix, const std::vector<double> &ms)
{
    printf("%s_count=%zu\n", prefix, ms.size());
    printf("%s_median_ms=%.3f\n", prefix, Quantile(ms, 0.5));
    printf("%s_p95_ms=%.3f\n", prefix, Quantile(ms, 0.95));
    printf("%s_min_ms=%.3f\n", prefix, ms.empty() ? 0 : *std::min_element(ms.begin(), ms.end()));
    printf("%s_max_ms=%.3f\n", prefix, ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()));
}

std::wstring Widen(const char *text)
{
    return std::wstring(text, text + strlen(text));
}

int Query(int argc, char **argv)
{
    if (argc < 6)
        return 2;
    const char *address = argv[2], *community = argv[3], *oid = argv[4];
    int count = atoi(argv[5]);
    bool slot = false, first = false;
    for (int k = 6; k < argc; k++) {
        slot = slot || strcmp(argv[k], "slot") == 0;
        first = first || strcmp(argv[k], "first") == 0;
    }
    if (slot)
        g_querySleep = SlotWait;
    LoadV3Users();

    std::vector<double> ms, replyMs;
    int failures = 0;
    for (int i = first ? 0 : -1; i < count; i++) {  // one warm-up query first
        int64_t counter = 0;
        g_replyValue.store(0);
        g_slotSeenSet = false;
        auto t0 = Clock::now();
        int ok = SnmpGetCounter(nullptr, 0x113, &counter, address, community, oid);
        double elapsed = MsSince(t0);
        if (i < 0)
            continue;
        ms.push_back(elapsed);
        // From the call to the value in the slot: one round trip through the stack.
        if (g_slotSeenSet)
            replyMs.push_back(std::chrono::duration<double, std::milli>(g_slotSeen - t0).count());
        if (!ok)
            failures++;
    }
    PrintDistribution("query", ms);
    if (slot)
        PrintDistribution("reply", replyMs);
    printf("query_failures=%d\n", failures);
    return failures == 0 ? 0 : 1;
}

int Probe(int argc, char **argv)
{
    if (argc < 4)
        return 2;
    std::wstring address = Widen(argv[2]);
    int count = atoi(argv[3]);
    std::vector<double> ms;
    int answered = 0;
    for (int i = -1; i < count; i++) {
        auto t0 = Clock::now();
        int ok = PingHost(address.c_str());
        double elapsed = MsSince(t0);
        if (i < 0)
            continue;
        ms.push_back(elapsed);
        answered += ok;
    }
    PrintDistribution("probe", ms);
    printf("probe_answered=%d\n", answered);
    return 0;
}

void PrintSample(const char *label, long round)
{
    ProcStat stat;
    ReadProcStat(&stat);
    printf("sample_%s=round:%ld handles:%ld threads:%ld rss_kb:%ld heap_bytes:%lld host_fds:%ld\n",
           label, round, stat.handles, stat.threads, stat.rssKb, stat.heapBytes, stat.hostFds);
    if (stat.handleTypes[0])
        printf("types_%s=%s\n", label, stat.handleTypes);
    fflush(stdout);
}

// A fixed-width field: the text cut to the width, zero-filled after it.
template <size_t W>
void SetField(char (&field)[W], const char *text)
{
    memset(field, 0, W);
    memcpy(field, text, std::min(strlen(text), W));
}

long CountLogLines()
{
    FILE *f = fopen("vellarylog.txt", "rb");
    if (!f)
        return 0;
    long lines = 0;
    int ch;
    while ((ch = fgetc(f)) != EOF) {
        if (ch == '\n')
            lines++;
    }
    fclose(f);
    return lines;
}

// Medians of count runs of each part, after one warm-up run.
template <typename F>
void TimePart(const char *name, int count, F part)
{
    std::vector<double> ms;
    for (int i = -1; i < count; i++) {
        auto t0 = Clock::now();
        part();
        if (i >= 0)
            ms.push_back(MsSince(t0));
    }
    PrintDistribution(name, ms);
}

void NoSleep(unsigned int)
{
}

int Parts(int argc, char **argv)
{
    if (argc < 4)
        return 2;
    uint32_t addr = 0;
    if (!vsnmp::net::ParseIPv4(argv[2], &addr))
        return 2;
    int count = atoi(argv[3]);
    vsnmp::net::NetStartup();
    TimePart("sleep200", count / 10 > 0 ? count / 10 : 1,
             [] { std::this_thread::sleep_for(std::chrono::milliseconds(200)); });
    TimePart("thread", count, [] { std::thread([] {}).join(); });
    TimePart("socket", count, [addr] {
        vsnmp::net::UdpSocket socket;
        socket.Open();
        socket.Connect(addr, 161);
    });
    // A whole query that does not wait: start-up, session, request, receiver
    // thread, clean-up; what a query costs beyond its sleeps and the round trip.
    g_querySleep = NoSleep;
    TimePart("nowait", count, [argv] {
        int64_t counter = 0;
        g_replyValue.store(0);
        SnmpGetCounter(nullptr, 0x113, &counter, argv[2], "none", "1.3.6.1.2.1.1.3.0");
    });
    vsnmp::net::NetCleanup();
    return 0;
}

const int kQueuedReplies = 40;
const int kSlowCallbackMs = 50;
std::atomic<int> g_callbacksStarted{0};

vsnmp::SNMPAPI_STATUS SlowCallback(vsnmp::HSNMP_SESSION hSession, vsnmp::HWND, vsnmp::UINT, vsnmp::WPARAM,
                                   vsnmp::LPARAM, vsnmp::LPVOID)
{
    g_callbacksStarted++;
    vsnmp::HSNMP_PDU hPdu = nullptr;
    vsnmp::HSNMP_ENTITY src = nullptr, dst = nullptr;
    if (vsnmp::SnmpRecvMsg(hSession, &src, &dst, nullptr, &hPdu) == vsnmp::SNMPAPI_SUCCESS) {
        vsnmp::SnmpFreePdu(hPdu);
        vsnmp::SnmpFreeEntity(src);
        vsnmp::SnmpFreeEntity(dst);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kSlowCallbackMs));
    return vsnmp::SNMPAPI_SUCCESS;
}

int Cleanup(int argc, char **argv)
{
    using namespace vsnmp;
    if (argc < 3)
        return 2;
    int count = atoi(argv[2]);
    const uint32_t kLoopback = 0x7F000001;
    net::NetStartup();
    net::UdpSocket agent;
    uint32_t addr = 0;
    uint16_t port = 0;
    if (!agent.Open() || !agent.Bind(kLoopback, 0) || !agent.LocalAddress(&addr, &port))
        return 1;
    std::vector<double> ms;
    int startedAfter = 0, failures = 0;
    std::vector<uint8_t> buf(65536);
    for (int i = -1; i < count; i++) {
        SnmpStartup(nullptr, nullptr, nullptr, nullptr, nullptr);
        HSNMP_SESSION session = SnmpCreateSession(nullptr, 0x113, SlowCallback, nullptr);
        smiOID oid;
        SnmpStrToOid("1.3.6.1.2.1.2.2.1.10.1", &oid);
        HSNMP_PDU pdu = SnmpCreatePdu(session, SNMP_PDU_GET, 1, 0, 0, SnmpCreateVbl(session, &oid, nullptr));
        HSNMP_ENTITY dst = SnmpStrToEntity(session, "127.0.0.1");
        SnmpSetPort(dst, port);
        smiOCTETS community = {6, reinterpret_cast<smiLPBYTE>(const_cast<char *>("public"))};
        g_callbacksStarted = 0;
        SnmpSendMsg(session, SnmpStrToEntity(session, "127.0.0.1"), dst, SnmpStrToContext(session, &community), pdu);
        // The request comes back as its own answer: the same message as a GetResponse.
        uint32_t from = 0;
        uint16_t fromPort = 0;
        long n = agent.Wait(nullptr, 5000) == 1 ? agent.Receive(buf.data(), buf.size(), &from, &fromPort) : -1;
        if (n < 15 || buf[13] != SNMP_PDU_GET) {
            failures++;
            SnmpCleanup();
            continue;
        }
        buf[13] = SNMP_PDU_RESPONSE;
        for (int k = 0; k < kQueuedReplies; k++)
            agent.SendTo(buf.data(), static_cast<size_t>(n), from, fromPort);
        while (g_callbacksStarted.load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        int before = g_callbacksStarted.load();
        auto t0 = Clock::now();
        SnmpCleanup();
        double elapsed = MsSince(t0);
        if (i < 0)
            continue;
        ms.push_back(elapsed);
        startedAfter = std::max(startedAfter, g_callbacksStarted.load() - before);
    }
    PrintDistribution("cleanup", ms);
    printf("cleanup_started_after_max=%d\n", startedAfter);
    printf("cleanup_queued=%d\n", kQueuedReplies);
    printf("cleanup_callback_ms=%d\n", kSlowCallbackMs);
    printf("cleanup_failures=%d\n", failures);
    net::NetCleanup();
    return failures == 0 ? 0 : 1;
}

const long kWarmUpRounds = 10;

int Soak(int argc, char **argv)
{
    if (argc < 7 || atol(argv[6]) <= kWarmUpRounds)
        return 2;
    long rounds = atol(argv[6]);
    g_querySleep = SlotWait;

    memset(g_interfaces, 0, sizeof g_interfaces);
    InterfaceRecord *rec = &g_interfaces[0];
    snprintf(rec->strName, sizeof rec->strName, "soak");
    SetField(rec->strIP, argv[2]);
    SetField(rec->strCommunity, argv[3]);
    SetField(rec->strOidIn, argv[4]);
    SetField(rec->strOidOut, argv[5]);
    rec->linkSpeed = 1000000000;
    rec->firstPoll = 1;
    g_interfaceCount = 1;

    long answered = 0, unread = 0;
    auto t0 = Clock::now();
    for (long round = 1; round <= rounds; round++) {
        rec->inOctets = 0;
        rec->outOctets = 0;
        int result = PollInterface(nullptr, 0x113, 0);
        if (result == 1 || (round == 1 && result == 0))
            answered++;
        if (rec->inOctets == 0 || rec->outOctets == 0)
            unread++;
        // The first rounds set up what lives for the whole process (the stack's
        // tables, the runtime's buffers, the cached stack of a finished thread):
        // the soak is measured from the tenth on.
        if (round == 1)
            PrintSample("first", round);
        else if (round == kWarmUpRounds)
            PrintSample("start", round);
        else if (round == rounds)
            PrintSample("end", round);
        else if (round % (rounds / 10 > 0 ? rounds / 10 : 1) == 0)
            PrintSample("at", round);
    }
    double total = MsSince(t0);
    printf("soak_rounds=%ld\n", rounds);
    printf("soak_answered=%ld\n", answered);
    printf("soak_unread=%ld\n", unread);
    printf("soak_total_s=%.1f\n", total / 1000.0);
    printf("soak_round_ms=%.3f\n", total / static_cast<double>(rounds));
    printf("soak_log_lines=%ld\n", CountLogLines());
    return 0;
}

}  // namespace

int main(int argc, char **argv)
{
    std::string mode = argc > 1 ? argv[1] : "";
    int rc = 2;
    if (mode == "query")
        rc = Query(argc, argv);
    else if (mode == "probe")
        rc = Probe(argc, argv);
    else if (mode == "soak")
        rc = Soak(argc, argv);
    else if (mode == "parts")
        rc = Parts(argc, argv);
    else if (mode == "cleanup")
        rc = Cleanup(argc, argv);
    fflush(stdout);
    if (rc == 2)
        fprintf(stderr, "usage: netbench query|probe|soak|parts|cleanup ... (see the top of bench/netbench.cpp)\n");
    return rc;
}
