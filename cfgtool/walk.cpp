// The walker's steps, in order: ask (the version the device answers), collect
// (its interface table), choose (the interfaces), write (the lines and notes).
#include "cfgtool/walk.h"

#include <cstring>
#include <system_error>
#include <thread>

#include "cfgtool/asking.h"
#include "cfgtool/choosing.h"
#include "cfgtool/collecting.h"
#include "cfgtool/messages.h"
#include "cfgtool/system.h"
#include "cfgtool/writing.h"
#include "config/interfaces.h"
#include "snmp/udp.h"

namespace {

const char kUsage[] =
    "usage: vellary-cfg [--list] [-o FILE] HOST COMMUNITY [INTERFACE...]\n"
    "Prints a vellary.cfg line for each interface that is up on the SNMP agent at HOST (its IPv4\n"
    "address), read with the community COMMUNITY: at most ten, ports first, the loopback last. With\n"
    "INTERFACEs (each an ifName, an ifDescr or an ifIndex) it prints lines for those, in that order.\n"
    "A COMMUNITY that is a label of vellary-v3.cfg (in this folder) reads over SNMPv3 as its user.\n"
    "  --list    prints every interface instead, with its index, name, type, status and speed\n"
    "  -o FILE   writes the lines to FILE, which is replaced only when the walk succeeded\n"
    "For example:\n"
    "  vellary-cfg --list 192.0.2.10 public\n"
    "  vellary-cfg -o vellary.cfg 192.0.2.10 public Gi0/1 Gi0/2\n";

struct Options {
    bool list;
    const char *path;  // -o FILE, or nullptr for standard output
    const char *host;
    const char *community;
    const V3User *user;  // the SNMPv3 user the community labels, or nullptr
    const char *names[WALK_MAX_LINES];
    int nameCount;
};

// Returns 0, or 1 after a message.
int ReadOptions(int argc, const char *const *argv, Options *opt, FILE *err)
{
    memset(opt, 0, sizeof *opt);
    int n = 0;  // HOST, COMMUNITY, then the INTERFACEs
    for (int k = 1; k < argc; k++) {
        const char *arg = argv[k];
        if (strcmp(arg, "--list") == 0) {
            opt->list = true;
            continue;
        }
        if (strcmp(arg, "-o") == 0) {
            if (k + 1 == argc)
                return Fail(err, "vellary-cfg: -o needs the name of the file to write\n%s", kUsage);
            opt->path = argv[++k];
            continue;
        }
        if (arg[0] == '-' && arg[1] != '\0')
            return Fail(err, "vellary-cfg: unknown option \"%s\"\n%s", arg, kUsage);
        if (n == 0)
            opt->host = arg;
        else if (n == 1)
            opt->community = arg;
        else if (n - 2 < WALK_MAX_LINES)
            opt->names[n - 2] = arg;
        n++;
    }
    if (n < 2)
        return Fail(err, "%s", kUsage);
    opt->nameCount = n - 2;
    if (opt->nameCount > WALK_MAX_LINES)
        return Fail(err, "vellary-cfg: %d interfaces named, and vellary.cfg holds ten: name at most ten\n",
                    opt->nameCount);
    if (opt->list && (opt->path || opt->nameCount > 0))
        return Fail(err, "vellary-cfg: --list prints every interface and writes no lines: give it neither -o nor "
                         "INTERFACEs\n");
    // Each field holds at least one character, and a comma, a line break or a
    // Ctrl-Z inside one would end it or the line.
    size_t communityLen = strlen(opt->community);
    const size_t communityMax = sizeof(InterfaceRecord::strCommunity);
    if (communityLen == 0)
        return Fail(err, "vellary-cfg: the community is empty, and a vellary.cfg field cannot be: give the "
                         "device's read community\n");
    if (communityLen > communityMax)
        return Fail(err,
                    "vellary-cfg: the community \"%s\" has %u characters, and vellary.cfg holds at most %u: give "
                    "the device a read community of %u characters or fewer\n",
                    opt->community, static_cast<unsigned>(communityLen), static_cast<unsigned>(communityMax),
                    static_cast<unsigned>(communityMax));
    if (strpbrk(opt->community, ",\r\n\x1A"))
        return Fail(err, "vellary-cfg: the community holds a comma, a line break or a Ctrl-Z, which vellary.cfg "
                         "cannot hold: give the device a read community without them\n");
    // A label is never sent as a community: a bad line's label ends the walk here.
    char errors[V3_ERRORS_CHARS];
    ReadV3Users(errors, sizeof errors);
    opt->user = FindV3User(opt->community);
    if (opt->user && !opt->user->valid)
        return Fail(err, "%s\nvellary-cfg: \"%s\" is the label of no usable user in %s: mend the file first\n",
                    errors, opt->community, V3_CONFIG_FILE_NAME);
    uint32_t addr = 0;
    if (!vsnmp::net::ParseIPv4(opt->host, &addr))
        return Fail(err,
                    "vellary-cfg: \"%s\" is not an IPv4 address: give the device's address in dotted-decimal "
                    "form, like 192.0.2.10\n",
                    opt->host);
    return 0;
}

// The interface table, then the list or the lines. Returns the exit code.
int WalkDevice(Asking *asking, const Options &opt, FILE *out, FILE *err)
{
    uint32_t ifNumber = 0;
    int rc = ChooseVersion(asking, &ifNumber, err);
    if (rc == ASK_FAILED)
        return SendFailure(asking, err);
    if (rc == ASK_SILENT && asking->user)
        return Fail(err,
                    "vellary-cfg: no answer from %s over SNMPv3 as user \"%s\" (%d tries, %d ms apart). Check the "
                    "address, that the device's SNMP agent is running and reachable on UDP port 161, and the "
                    "privacy password: an agent does not answer what it cannot decrypt\n",
                    asking->host, asking->user->userName, ASK_TRIES, TryIntervalMs());
    if (rc == ASK_SILENT)
        return Fail(err,
                    "vellary-cfg: no answer from %s over SNMPv2c or SNMPv1 (%d tries each, %d ms apart). Check the "
                    "address, that the device's SNMP agent is running and reachable on UDP port 161, and the "
                    "community: an agent does not answer a wrong one\n",
                    asking->host, ASK_TRIES, TryIntervalMs());
    Table table;
    if (CollectTable(asking, opt.list, ifNumber, &table, err))
        return 1;
    if (opt.list)
        return WriteList(table, out, err);

    int chosen[WALK_MAX_LINES], count = opt.nameCount;
    if (opt.nameCount > 0 ? ChooseNamed(table, opt.names, opt.nameCount, chosen, err)
                          : ChooseDefault(table, opt.host, chosen, &count, err))
        return 1;
    LineCounters lines[WALK_MAX_LINES];
    if (CollectCounters(asking, table, chosen, count, lines, err))
        return 1;
    // The monitor reads a line on 32-bit counters over SNMPv1 (SNMPv3 reads
    // a label's lines whatever the counter), so a walk over SNMPv2c alone
    // does not show that the device answers it, nor that it serves those
    // counters that way: some keep them as Counter64, which SNMPv1 cannot carry.
    bool on32 = false, v1Silent = false;
    for (int k = 0; k < count; k++)
        on32 = on32 || lines[k].hc != HC_SERVED;
    if (on32 && asking->version == ASK_V2C) {
        rc = AnswersV1(asking);
        if (rc == ASK_FAILED)
            return SendFailure(asking, err);
        v1Silent = rc == ASK_SILENT;
    }
    if (on32 && !v1Silent && CheckCounters(asking, table, chosen, count, lines, err))
        return 1;
    return WriteLines(table, chosen, lines, count, v1Silent, *asking, opt.path, out, err);
}

void Ping(const char *host, int *answered)
{
    *answered = AnswersPing(host);
}

}  // namespace

int RunWalker(int argc, const char *const *argv, FILE *out, FILE *err)
{
    Options opt;
    if (ReadOptions(argc, argv, &opt, err))
        return 1;
    Asking asking;
    if (StartAsking(&asking, opt.host, opt.community, opt.user) != ASK_ANSWERED)
        return SendFailure(&asking, err);

    // The monitor reads counters only from a device that answers ping; the
    // ping runs beside the walk, so a device that does not costs no time.
    int pinged = 0;
    std::thread pinger;
    try {
        pinger = std::thread(Ping, opt.host, &pinged);
    } catch (const std::system_error &) {
        Ping(opt.host, &pinged);
    }
    int code = WalkDevice(&asking, opt, out, err);
    StopAsking(&asking);
    if (pinger.joinable())
        pinger.join();
    if (!pinged)
        Note(err,
             "vellary-cfg: %s does not answer ping, and the monitor reads the counters only of a device that "
             "does: let it answer ICMP echo requests from this computer\n",
             opt.host);
    return code;
}
