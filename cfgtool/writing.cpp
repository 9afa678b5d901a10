#include "cfgtool/writing.h"

#include <cinttypes>
#include <cstring>

#include "cfgtool/choosing.h"
#include "cfgtool/messages.h"
#include "records/diskfile.h"
#include "records/replace.h"

namespace {

const int64_t kWrapSpeed = INT64_C(100000000);    // above it a 32-bit counter may wrap twice in 5 minutes
const size_t kPathMax = 1024;

int64_t RowSpeed(const Row &row)
{
    return ChooseSpeed(row.hasSpeed, row.ifSpeed, row.hasHighSpeed, row.highSpeed);
}

// An agent's text as it can be shown on a console: what is not printable ASCII
// becomes '?', so no escape sequence reaches the terminal.
void Printable(const Table &table, uint32_t at, uint32_t len, char *buf, size_t cap)
{
    const char *text = TextAt(table, at);
    size_t n = 0;
    for (uint32_t k = 0; k < len && n + 1 < cap; k++)
        buf[n++] = text[k] >= 0x20 && text[k] < 0x7F ? text[k] : '?';
    buf[n] = '\0';
}

void SpeedText(int64_t speed, char *buf, size_t cap)
{
    static const struct {
        int64_t unit;
        const char *name;
    } kUnits[] = {{1000000000, "Gbit/s"}, {1000000, "Mbit/s"}, {1000, "kbit/s"}};
    for (const auto &u : kUnits) {
        if (speed > 0 && speed % u.unit == 0) {
            snprintf(buf, cap, "%" PRId64 " %s", speed / u.unit, u.name);
            return;
        }
    }
    snprintf(buf, cap, "%" PRId64 " bit/s", speed);
}

const char *StatusName(int32_t operStatus)
{
    static const char *const kNames[] = {"?",       "up",      "down",       "testing",
                                         "unknown", "dormant", "notPresent", "lowerLayerDown"};
    const int32_t known = sizeof kNames / sizeof kNames[0];
    return operStatus >= 0 && operStatus < known ? kNames[operStatus] : "?";
}

const char *HcReason(int hc)
{
    switch (hc) {
    case HC_NO_V2C:
        return "the agent does not answer SNMPv2c";
    case HC_SILENT:
        return "the agent did not answer the request for its 64-bit counters";
    case HC_REFUSED:
        return "the agent refused the request for its 64-bit counters";
    default:
        return "the agent has no 64-bit counters for it";
    }
}

// Why the monitor will get no reading of a 32-bit counter, in a few words.
void ReadReason(const CounterRead &read, char *buf, size_t cap)
{
    switch (read.state) {
    case READ_SILENT:
        snprintf(buf, cap, "no answer to %d tries", ASK_TRIES);
        break;
    case READ_NO_SUCH:
        snprintf(buf, cap, "%s",
                 read.detail == vsnmp::SNMP_SYNTAX_NOSUCHINSTANCE ? "noSuchInstance"
                 : read.detail == vsnmp::SNMP_SYNTAX_ENDOFMIBVIEW ? "endOfMibView"
                 : read.detail != 0                               ? "noSuchObject"
                                                                  : "noSuchName");
        break;
    case READ_ERROR:
        snprintf(buf, cap, "error status %d%s%s", read.detail, ErrorStatusName(read.detail)[0] ? ", " : "",
                 ErrorStatusName(read.detail));
        break;
    case READ_NOT_NUMBER:
        snprintf(buf, cap, "a value that is not a number");
        break;
    default:
        snprintf(buf, cap, "an answer about another object");
        break;
    }
}

// A note for a line whose 32-bit counters the monitor will not read, naming
// each one and why.
void NoteReads(const Row &row, const char *name, const LineCounters &line, const Asking &asking, FILE *err)
{
    static const char *const kCounters[2] = {"ifInOctets", "ifOutOctets"};
    char unread[200] = "";
    size_t len = 0;
    bool noSuch = false;
    for (int dir = 0; dir < 2; dir++) {
        if (line.read[dir].state == READ_OK)
            continue;
        char reason[64];
        ReadReason(line.read[dir], reason, sizeof reason);
        int n = snprintf(unread + len, sizeof unread - len, "%s%s.%lu (%s)", len ? " or " : "", kCounters[dir],
                         static_cast<unsigned long>(row.ifIndex), reason);
        len += n > 0 && static_cast<size_t>(n) < sizeof unread - len ? static_cast<size_t>(n) : 0;
        noSuch = noSuch || line.read[dir].state == READ_NO_SUCH;
    }
    if (len == 0)
        return;
    if (asking.user)
        Note(err,
             "vellary-cfg: %s (ifIndex %lu) would show no traffic: asked as SNMPv3 user \"%s\", as the monitor "
             "asks, the agent gave no reading of %s; check the agent, and that the user's group may read them (its "
             "read view)\n",
             name, static_cast<unsigned long>(row.ifIndex), asking.user->userName, unread);
    else
        Note(err,
             "vellary-cfg: %s (ifIndex %lu) would show no traffic: asked over SNMPv1, as the monitor asks, the agent "
             "gave no reading of %s; %s\n",
             name, static_cast<unsigned long>(row.ifIndex), unread,
             noSuch ? "an agent that keeps these counters as 64-bit ones only cannot give them over SNMPv1, nor "
                      "can one whose view for the community leaves them out: check the agent, or read the device "
                      "as an SNMPv3 user (vellary-v3.cfg)"
                    : "check the agent");
}

// Notes on what a line will show wrong, or not at all.
void NoteLine(const Row &row, const char *name, const LineCounters &line, int64_t speed, const Asking &asking,
              FILE *err)
{
    unsigned long index = row.ifIndex;
    if (row.operStatus != OPER_STATUS_UP)
        Note(err, "vellary-cfg: %s (ifIndex %lu) is not up (ifOperStatus %d, %s): it shows no traffic until it is\n",
             name, index, row.operStatus, StatusName(row.operStatus));
    if (speed == 0)
        Note(err,
             "vellary-cfg: %s (ifIndex %lu) reports a speed of 0, so its percentages read 0: put the link's "
             "speed in bit/s in the line's fourth field\n",
             name, index);
    if (line.hc != HC_SERVED && speed > kWrapSpeed)
        Note(err,
             "vellary-cfg: %s (ifIndex %lu) runs at %" PRId64 " bit/s on its 32-bit counters, since %s: past "
             "about 114.5 Mbit/s of traffic they wrap more than once in 5 minutes and the figures read too low\n",
             name, index, speed, HcReason(line.hc));
    NoteReads(row, name, line, asking, err);
}

int WriteFile(const char *path, const char *bytes, size_t len, FILE *err)
{
    // The old file stays whole until the new one is complete on disk.
    char temp[kPathMax + 32];
    if (strlen(path) > kPathMax || !TempFileName(path, temp, sizeof temp))
        return Fail(err, "vellary-cfg: the file name after -o is longer than %d characters\n",
                    static_cast<int>(kPathMax));
    FILE *f = OpenDiskFile(temp, "wb");
    if (f && PutFileInPlace(f, fwrite(bytes, 1, len, f) == len, temp, path) == PLACE_DONE)
        return 0;
    return Fail(err,
                "vellary-cfg: could not write %s (through %s): check the folder, its access rights and the free "
                "space; %s is unchanged\n",
                path, temp, path);
}

}  // namespace

int WriteList(const Table &table, FILE *out, FILE *err)
{
    int nameWidth = 4, typeWidth = 4;
    for (const Row &row : table.rows) {
        int len = static_cast<int>(row.hasName ? row.nameLen : 0);
        nameWidth = len > nameWidth ? (len < 24 ? len : 24) : nameWidth;
        const char *type = TypeName(row.ifType);
        len = type ? static_cast<int>(strlen(type)) : 9;
        typeWidth = len > typeWidth ? len : typeWidth;
    }
    fprintf(out, "%10s  %-*s  %-*s  %-14s  %-13s  %-8s  %s\n", "ifIndex", nameWidth, "Name", typeWidth, "Type",
            "Status", "Speed", "Counters", "Description");
    for (const Row &row : table.rows) {
        char name[256], descr[256], type[16], speed[32];
        Printable(table, row.nameAt, row.hasName ? row.nameLen : 0, name, sizeof name);
        Printable(table, row.descrAt, row.descrLen, descr, sizeof descr);
        snprintf(type, sizeof type, "type %d", static_cast<int>(row.ifType));
        SpeedText(RowSpeed(row), speed, sizeof speed);
        const char *status = StatusName(row.operStatus);
        fprintf(out, "%10lu  %-*s  %-*s  %-14s  %-13s  %-8s  %s\n", static_cast<unsigned long>(row.ifIndex),
                nameWidth, name, typeWidth, TypeName(row.ifType) ? TypeName(row.ifType) : type, status, speed,
                row.hc ? "64-bit" : "32-bit", descr);
    }
    if (fflush(out) != 0 || ferror(out))
        return Fail(err, "vellary-cfg: could not write the list to standard output: check where it goes\n");
    return 0;
}

int WriteLines(const Table &table, const int *chosen, const LineCounters *lines, int count, bool v1Silent,
               const Asking &asking, const char *path, FILE *out, FILE *err)
{
    const char *host = asking.host;
    char text[WALK_MAX_LINES * CFG_LINE_MAX];
    char names[WALK_MAX_LINES][CFG_NAME_WIDTH + 1];
    char unread[WALK_MAX_LINES * 48] = "";  // the lines on 32-bit counters, for v1Silent
    size_t len = 0, unreadLen = 0;
    for (int k = 0; k < count && k < WALK_MAX_LINES; k++) {
        const Row &row = table.rows[chosen[k]];
        RowName(table, row, names[k]);
        MakeUniqueName(names[k], row.ifIndex, names, k);
        char oidIn[41], oidOut[41];
        CounterOids(row.ifIndex, lines[k].hc == HC_SERVED, oidIn, oidOut);
        int64_t speed = RowSpeed(row);
        NoteLine(row, names[k], lines[k], speed, asking, err);
        len += FormatLine(text + len, sizeof text - len, names[k], host, asking.community, speed, oidIn, oidOut);
        if (lines[k].hc != HC_SERVED && unreadLen < sizeof unread) {
            int n = snprintf(unread + unreadLen, sizeof unread - unreadLen, "%s%s (ifIndex %lu)", unreadLen ? ", " : "",
                             names[k], static_cast<unsigned long>(row.ifIndex));
            unreadLen += n > 0 ? static_cast<size_t>(n) : 0;
        }
    }
    if (v1Silent && unreadLen > 0)
        Note(err,
             "vellary-cfg: the agent at %s does not answer SNMPv1, over which the monitor reads 32-bit counters, "
             "so these lines would show no traffic: %s; let the agent answer SNMPv1 to the community\n",
             host, unread);
    if (path) {
        if (WriteFile(path, text, len, err))
            return 1;
        Note(err, "vellary-cfg: %d line%s written to %s\n", count, count == 1 ? "" : "s", path);
        return 0;
    }
    // A full disk or a closed pipe must not pass for a written configuration.
    if (fwrite(text, 1, len, out) != len || fflush(out) != 0)
        return Fail(err, "vellary-cfg: could not write the lines to standard output: check where it goes (disk "
                         "space, the file's access rights)\n");
    return 0;
}
