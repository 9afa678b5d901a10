// A scripted SNMP agent for tests of the whole program, run beside it (under Wine
// on the Windows build). It serves several made-up devices on one address, told
// apart by the community, each with interface counters that grow by a known number
// of octets per second of the agent's own monotonic clock, a sysUpTime, and
// scripted faults; and it logs every request with what it answered, so a test can
// check what was asked and do the arithmetic the rows must agree with.
//
//   script_agent <script> <request log>
//
// The script, one device a line ('#' starts a comment):
//
//   COMMUNITY IN-BIT/S OUT-BIT/S [start=OCTETS] [up=SECONDS] [restart=POLL] [silent=POLL+COUNT]
//             [then=POLL:IN-BIT/S:OUT-BIT/S ...]
//
// - A device's clock starts at its first request: its counters then read `start`
//   (default 1000000: a reading of 0 is no reading to the monitor) and grow at
//   the rates given. The 32-bit objects (ifInOctets
//   1.3.6.1.2.1.2.2.1.10.N, ifOutOctets .16.N) are Counter32s, so they wrap; the
//   64-bit ones (ifHCInOctets 1.3.6.1.2.1.31.1.1.1.6.N, ifHCOutOctets .10.N) are
//   Counter64s, and only SNMPv2c gets them. Any other object has no such name.
// - sysUpTime.0 is `up` seconds (default 86400) plus the time since the start.
// - A poll is a request for an inbound counter; the requests after it, up to the
//   next one, belong to it. restart=N: the device restarted 2 s before its Nth
//   poll: counters from 0, sysUpTime from 0. silent=N+K: polls N to N+K-1 get no
//   answer at all. then=N:I:O: the interval that poll N measures, and every later
//   one, carry I and O bit/s (the rates change at poll N-1's inbound request);
//   give one for each change, N from 2 on.
//
// It prints "ready ADDRESS MS" once it listens on port 161, MS being the wall
// clock (milliseconds since 1970) at the start of its own clock, and serves until
// it is ended.
// The log, one line per request, flushed at once:
//
//   MS COMMUNITY VERSION(1|2c) POLL OBJECT(in|out|uptime|other) ANSWER(number|silent|nosuch)
//
// MS: milliseconds of the agent's clock since it started. To add a behaviour: a
// new word in ReadScript sets a field of Device, and Answer uses it.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "snmp/ber.h"
#include "tests/snmp/agent.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace ber = vsnmp::ber;

struct RateChange {
    int poll;  // the first poll whose interval carries them
    int64_t inBits, outBits;
};

struct Device {
    std::string community;
    int64_t inBits = 0, outBits = 0;  // per second
    int64_t start = 1000000;          // octets at the device's start
    int64_t upSeconds = 86400;        // sysUpTime at its start
    int restartPoll = 0;              // 0: never
    int silentFrom = 0, silentCount = 0;
    std::vector<RateChange> changes;

    bool started = false;
    Clock::time_point origin;     // sysUpTime's
    Clock::time_point rateSince;  // the counters grow at the rates from here
    int64_t inSince = 0, outSince = 0;
    int polls = 0;
};

enum Object { IN_OCTETS, OUT_OCTETS, UPTIME, OTHER };
const char *const kObjectNames[] = {"in", "out", "uptime", "other"};

bool ReadScript(const char *path, std::vector<Device> *devices)
{
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        Device d;
        if (!(words >> d.community))
            continue;
        if (!(words >> d.inBits >> d.outBits))
            return false;
        std::string word;
        while (words >> word) {
            RateChange change = {};
            long long in = 0, out = 0;
            if (sscanf(word.c_str(), "then=%d:%lld:%lld", &change.poll, &in, &out) == 3 && change.poll >= 2) {
                change.inBits = in;
                change.outBits = out;
                d.changes.push_back(change);
                continue;
            }
            if (sscanf(word.c_str(), "start=%lld", reinterpret_cast<long long *>(&d.start)) == 1 ||
                sscanf(word.c_str(), "up=%lld", reinterpret_cast<long long *>(&d.upSeconds)) == 1 ||
                sscanf(word.c_str(), "restart=%d", &d.restartPoll) == 1 ||
                sscanf(word.c_str(), "silent=%d+%d", &d.silentFrom, &d.silentCount) == 2)
                continue;
            fprintf(stderr, "script_agent: what is \"%s\"?\n", word.c_str());
            return false;
        }
        devices->push_back(d);
    }
    return !devices->empty();
}

bool Is(const std::vector<uint32_t> &name, std::initializer_list<uint32_t> prefix, size_t extra)
{
    return name.size() == prefix.size() + extra && std::equal(prefix.begin(), prefix.end(), name.begin());
}

Object Which(const std::vector<uint32_t> &name, bool *counter64)
{
    *counter64 = false;
    if (Is(name, {1, 3, 6, 1, 2, 1, 1, 3, 0}, 0))
        return UPTIME;
    if (Is(name, {1, 3, 6, 1, 2, 1, 2, 2, 1, 10}, 1))
        return IN_OCTETS;
    if (Is(name, {1, 3, 6, 1, 2, 1, 2, 2, 1, 16}, 1))
        return OUT_OCTETS;
    *counter64 = true;
    if (Is(name, {1, 3, 6, 1, 2, 1, 31, 1, 1, 1, 6}, 1))
        return IN_OCTETS;
    if (Is(name, {1, 3, 6, 1, 2, 1, 31, 1, 1, 1, 10}, 1))
        return OUT_OCTETS;
    return OTHER;
}

std::string OidTlv(const std::vector<uint32_t> &ids)
{
    std::string content(1, static_cast<char>(ids[0] * 40 + ids[1]));
    for (size_t k = 2; k < ids.size(); k++) {
        std::string arc(1, static_cast<char>(ids[k] & 0x7F));
        for (uint32_t v = ids[k] >> 7; v > 0; v >>= 7)
            arc.insert(arc.begin(), static_cast<char>(0x80 | (v & 0x7F)));
        content += arc;
    }
    return Tlv(ber::TAG_OID, content);
}

std::string Reply(const ber::Message &request, const std::string &valueTlv, int errorStatus)
{
    const ber::VarBind &vb = request.bindings[0];
    std::string pdu = UnsignedTlv(ber::TAG_INTEGER, static_cast<uint32_t>(request.requestId)) +
                      Tlv(ber::TAG_INTEGER, std::string(1, static_cast<char>(errorStatus))) +
                      Tlv(ber::TAG_INTEGER, std::string(1, static_cast<char>(errorStatus ? 1 : 0))) +
                      Tlv(ber::TAG_SEQUENCE, Tlv(ber::TAG_SEQUENCE, OidTlv(vb.name) + valueTlv));
    return Tlv(ber::TAG_SEQUENCE, Tlv(ber::TAG_INTEGER, std::string(1, static_cast<char>(request.version))) +
                                      Tlv(ber::TAG_OCTET_STRING, Str(request.community)) +
                                      Tlv(ber::TAG_GET_RESPONSE, pdu));
}

// Octets after ms milliseconds at bits per second.
int64_t Grown(int64_t bits, int64_t ms) { return static_cast<int64_t>(static_cast<__int128>(bits) * ms / 8000); }

// A counter of d at now, before any 32-bit wrap.
int64_t Octets(const Device &d, Object object, Clock::time_point now)
{
    int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - d.rateSince).count();
    return object == IN_OCTETS ? d.inSince + Grown(d.inBits, ms) : d.outSince + Grown(d.outBits, ms);
}

// What one request was, for the log.
struct Asked {
    int poll = 0;
    Object object = OTHER;
    std::string said;
};

// The answer to one request of device d at now (empty: none).
std::string Answer(Device *d, const ber::Message &request, Clock::time_point now, Asked *asked)
{
    bool counter64 = false;
    Object object = request.bindings.size() == 1 ? Which(request.bindings[0].name, &counter64) : OTHER;
    asked->object = object;
    std::string *said = &asked->said;
    if (!d->started) {
        d->started = true;
        d->origin = d->rateSince = now;
        d->inSince = d->outSince = d->start;
    }
    if (object == IN_OCTETS) {
        d->polls++;
        if (d->polls == d->restartPoll) {
            d->origin = d->rateSince = now - std::chrono::seconds(2);
            d->inSince = d->outSince = 0;
            d->upSeconds = 0;
        }
        for (const RateChange &change : d->changes) {
            if (change.poll != d->polls + 1)
                continue;
            d->inSince = Octets(*d, IN_OCTETS, now);
            d->outSince = Octets(*d, OUT_OCTETS, now);
            d->rateSince = now;
            d->inBits = change.inBits;
            d->outBits = change.outBits;
        }
    }
    asked->poll = d->polls;
    if (d->polls >= d->silentFrom && d->polls < d->silentFrom + d->silentCount) {
        *said = "silent";
        return "";
    }
    int64_t ms = std::chrono::duration_cast<std::chrono::milliseconds>(now - d->origin).count();
    bool v1 = request.version == ber::VERSION_1;
    if (object == OTHER || (counter64 && v1)) {
        *said = "nosuch";
        return v1 ? Reply(request, Tlv(ber::TAG_NULL, ""), 2) : Reply(request, Tlv(ber::TAG_NOSUCHOBJECT, ""), 0);
    }
    uint64_t value;
    uint8_t tag;
    if (object == UPTIME) {
        value = static_cast<uint32_t>(d->upSeconds * 100 + ms / 10);
        tag = ber::TAG_TIMETICKS;
    } else {
        value = static_cast<uint64_t>(Octets(*d, object, now));
        if (!counter64)
            value &= 0xFFFFFFFFu;
        tag = counter64 ? ber::TAG_COUNTER64 : ber::TAG_COUNTER32;
    }
    *said = std::to_string(value);
    return Reply(request, UnsignedTlv(tag, value), 0);
}

}  // namespace

int main(int argc, char **argv)
{
    std::vector<Device> devices;
    if (argc != 3 || !ReadScript(argv[1], &devices)) {
        fprintf(stderr, "usage: script_agent <script> <request log>\n");
        return 2;
    }
    FILE *log = fopen(argv[2], "a");
    ScriptedAgent agent;
    if (!log || !agent.Start()) {
        fprintf(stderr, "script_agent: no log, or port 161 is taken\n");
        return 1;
    }
    Clock::time_point started = Clock::now();
    auto wall = std::chrono::system_clock::now().time_since_epoch();
    printf("ready %s %lld\n", agent.Address().c_str(),
           static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(wall).count()));
    fflush(stdout);
    for (;;) {
        Datagram request;
        if (!agent.Receive(&request, 1000))
            continue;
        // The time the request came, before anything else is done with it.
        Clock::time_point now = Clock::now();
        ber::Message msg;
        if (ber::DecodeMessage(Bytes(request.bytes), request.bytes.size(), &msg) != ber::BER_OK ||
            msg.pduType != ber::TAG_GET_REQUEST || msg.bindings.empty())
            continue;
        std::string community = Str(msg.community);
        for (Device &d : devices) {
            if (d.community != community)
                continue;
            Asked asked;
            std::string reply = Answer(&d, msg, now, &asked);
            if (!reply.empty())
                agent.SendTo(request, reply);
            fprintf(
                log, "%lld %s %s %d %s %s\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(now - started).count()),
                community.c_str(), msg.version == ber::VERSION_1 ? "1" : "2c", asked.poll, kObjectNames[asked.object],
                asked.said.c_str());
            fflush(log);
        }
    }
}
