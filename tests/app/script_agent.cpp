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
//             [v3=AUTHPASS,PRIVPASS] [swap=POLL]
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
// - v3=AUTHPASS,PRIVPASS: the device speaks SNMPv3 only, its COMMUNITY the user
//   name, with SHA and AES, under an engine of its own (discovery answered with a
//   report). swap=N: before its Nth poll its agent is replaced by one with a new
//   engine ID that drops whatever is sent to the old engine without a report,
//   as some agents do; its counters go on.
//
// It prints "ready ADDRESS MS" once it listens on port 161, MS being the wall
// clock (milliseconds since 1970) at the start of its own clock, and serves until
// it is ended.
// The log, one line per request, flushed at once:
//
//   MS COMMUNITY VERSION(1|2c|3) POLL OBJECT(in|out|uptime|other|discovery) ANSWER(number|silent|nosuch|report)
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

Clock::time_point g_started;  // the agent's start: its engines' time counts from it

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
    bool v3 = false;
    V3Agent engines[2];  // the agent, and the one that replaces it
    int swapPoll = 0;    // 0: never
    int engine = 0;
    std::vector<RateChange> changes;

    bool started = false;
    Clock::time_point origin;     // sysUpTime's
    Clock::time_point rateSince;  // the counters grow at the rates from here
    int64_t inSince = 0, outSince = 0;
    int polls = 0;
};

enum Object { IN_OCTETS, OUT_OCTETS, UPTIME, OTHER, DISCOVERY };
const char *const kObjectNames[] = {"in", "out", "uptime", "other", "discovery"};

// The device's two engines, keyed for the user of the v3= word.
bool InitEngines(Device *d, const std::string &passwords)
{
    size_t comma = passwords.find(',');
    if (comma == std::string::npos)
        return false;
    std::string auth = passwords.substr(0, comma), priv = passwords.substr(comma + 1);
    d->v3 = true;
    return d->engines[0].Init("80 00 1F 88 04 76 65 6C 2D 61", vsnmp::usm::AUTH_SHA1, auth.c_str(),
                              vsnmp::usm::PRIV_AES128, priv.c_str()) &&
           d->engines[1].Init("80 00 1F 88 04 76 65 6C 2D 62", vsnmp::usm::AUTH_SHA1, auth.c_str(),
                              vsnmp::usm::PRIV_AES128, priv.c_str());
}

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
            if (word.compare(0, 3, "v3=") == 0 && InitEngines(&d, word.substr(3)))
                continue;
            if (sscanf(word.c_str(), "swap=%d", &d.swapPoll) == 1 ||
                sscanf(word.c_str(), "start=%lld", reinterpret_cast<long long *>(&d.start)) == 1 ||
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

// The GetResponse PDU to request, its one binding holding valueTlv.
std::string ResponsePdu(const ber::Message &request, const std::string &valueTlv, int errorStatus)
{
    const ber::VarBind &vb = request.bindings[0];
    std::string pdu = UnsignedTlv(ber::TAG_INTEGER, static_cast<uint32_t>(request.requestId)) +
                      Tlv(ber::TAG_INTEGER, std::string(1, static_cast<char>(errorStatus))) +
                      Tlv(ber::TAG_INTEGER, std::string(1, static_cast<char>(errorStatus ? 1 : 0))) +
                      Tlv(ber::TAG_SEQUENCE, Tlv(ber::TAG_SEQUENCE, OidTlv(vb.name) + valueTlv));
    return Tlv(ber::TAG_GET_RESPONSE, pdu);
}

std::string Reply(const ber::Message &request, const std::string &valueTlv, int errorStatus)
{
    return Tlv(ber::TAG_SEQUENCE, Tlv(ber::TAG_INTEGER, std::string(1, static_cast<char>(request.version))) +
                                      Tlv(ber::TAG_OCTET_STRING, Str(request.community)) +
                                      ResponsePdu(request, valueTlv, errorStatus));
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

// The value device d gives the one binding of request at now, as a TLV (empty:
// no answer), and in *errorStatus SNMPv1's noSuchName where it has none.
std::string Answer(Device *d, const ber::Message &request, bool v1, Clock::time_point now, Asked *asked,
                   int *errorStatus)
{
    bool counter64 = false;
    Object object = request.bindings.size() == 1 ? Which(request.bindings[0].name, &counter64) : OTHER;
    asked->object = object;
    std::string *said = &asked->said;
    *errorStatus = 0;
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
    if (object == OTHER || (counter64 && v1)) {
        *said = "nosuch";
        *errorStatus = v1 ? 2 : 0;
        return v1 ? Tlv(ber::TAG_NULL, "") : Tlv(ber::TAG_NOSUCHOBJECT, "");
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
    return UnsignedTlv(tag, value);
}

// The SNMPv3 device whose user sent msg, or the first one for a discovery,
// which names no user.
Device *V3Device(std::vector<Device> *devices, const vsnmp::v3::Received &msg)
{
    std::string user(msg.header.userName.begin(), msg.header.userName.end());
    for (Device &d : *devices)
        if (d.v3 && (d.community == user || user.empty()))
            return &d;
    return nullptr;
}

// The answer to an SNMPv3 request of device d (empty: none), as its engine of
// the moment gives it: a report to a discovery, nothing to the old engine.
std::string AnswerV3(Device *d, const std::string &datagram, const vsnmp::v3::Received &msg, Clock::time_point now,
                     Asked *asked)
{
    using namespace vsnmp;
    // Engines' clocks run, so a manager's view of them stays in the time window.
    for (V3Agent &e : d->engines)
        e.time = 1000 + static_cast<int32_t>(std::chrono::duration_cast<std::chrono::seconds>(now - g_started).count());
    if (msg.header.engineId.empty()) {
        asked->object = DISCOVERY;
        asked->poll = d->polls;
        asked->said = "report";
        return d->engines[d->engine].Report(datagram, 4);
    }
    // The request is opened with the keys of the engine it was sent to: the test's
    // agent knows both, to count the polls the old engine no longer answers.
    int sentTo = Str(msg.header.engineId) == d->engines[1].engineId ? 1 : 0;
    const V3Agent &engine = d->engines[sentTo];
    v3::Received opened;
    v3::ScopedPdu scoped;
    if (!engine.Open(datagram, &opened, &scoped) || scoped.pdu.pduType != ber::TAG_GET_REQUEST ||
        scoped.pdu.bindings.empty())
        return "";
    int errorStatus = 0;
    std::string valueTlv = Answer(d, scoped.pdu, false, now, asked, &errorStatus);
    if (asked->object == IN_OCTETS && d->polls == d->swapPoll)
        d->engine = 1;
    if (sentTo != d->engine) {
        asked->said = "silent";
        return "";
    }
    if (valueTlv.empty())
        return "";
    std::string scopedPdu = Tlv(ber::TAG_SEQUENCE, Tlv(ber::TAG_OCTET_STRING, engine.engineId) +
                                                       Tlv(ber::TAG_OCTET_STRING, "") +
                                                       ResponsePdu(scoped.pdu, valueTlv, errorStatus));
    return engine.Message(msg.header.msgId, v3::FLAG_AUTH | v3::FLAG_PRIV, engine.boots, engine.time,
                          Str(msg.header.userName), scopedPdu);
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
    g_started = started;
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
        Asked asked;
        std::string reply, community, version;
        ber::Message msg;
        vsnmp::v3::Received v3msg;
        if (ber::DecodeMessage(Bytes(request.bytes), request.bytes.size(), &msg) == ber::BER_OK) {
            if (msg.pduType != ber::TAG_GET_REQUEST || msg.bindings.empty())
                continue;
            community = Str(msg.community);
            version = msg.version == ber::VERSION_1 ? "1" : "2c";
            Device *device = nullptr;
            for (Device &d : devices)
                if (!d.v3 && d.community == community)
                    device = &d;
            if (!device)
                continue;
            int errorStatus = 0;
            std::string valueTlv = Answer(device, msg, msg.version == ber::VERSION_1, now, &asked, &errorStatus);
            if (!valueTlv.empty())
                reply = Reply(msg, valueTlv, errorStatus);
        } else if (vsnmp::v3::DecodeMessage(Bytes(request.bytes), request.bytes.size(), &v3msg) == ber::BER_OK) {
            Device *device = V3Device(&devices, v3msg);
            if (!device)
                continue;
            community = device->community;
            version = "3";
            reply = AnswerV3(device, request.bytes, v3msg, now, &asked);
        } else {
            continue;
        }
        if (!reply.empty())
            agent.SendTo(request, reply);
        fprintf(log, "%lld %s %s %d %s %s\n",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(now - started).count()),
                community.c_str(), version.c_str(), asked.poll, kObjectNames[asked.object], asked.said.c_str());
        fflush(log);
    }
}
