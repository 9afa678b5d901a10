// The walk: one request in flight at a time. The stack's receiver thread hands
// each reply over through one slot under a lock, and the walker waits on a
// condition variable for it, at most WALK_WAIT_MS per request.
#include "cfgtool/walk.h"

#include <chrono>
#include <condition_variable>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "snmp/winsnmp.h"

using namespace vsnmp;

namespace {

const uint32_t kMaxOid = 128;     // sub-identifiers, as many as the stack decodes
const uint32_t kMaxOctets = 255;  // of a text value kept; a name needs 15 after trimming
const smiINT32 kSoftwareLoopback = 24;  // ifType
const smiINT32 kUp = 1;                 // ifOperStatus

struct Reply {
    smiINT errorStatus;
    int hasBinding;
    smiUINT32 name[kMaxOid];
    smiUINT32 nameLen;
    smiUINT32 syntax;
    smiINT32 integer;  // INTEGER
    uint64_t number;   // the unsigned numbers, Counter64 included
    uint8_t octets[kMaxOctets];
    smiUINT32 octetsLen;
};

// The request the walker waits for, and its reply once it came.
struct ReplySlot {
    std::mutex lock;
    std::condition_variable arrived;
    smiINT32 requestId = 0;
    bool full = false;
    Reply reply;
};

ReplySlot g_slot;
smiINT32 g_lastRequestId = 0;

struct Row {
    smiUINT32 ifIndex;
    smiINT32 ifType;      // 0 when the agent did not say
    smiINT32 operStatus;  // 0 when the agent did not say
    int hasSpeed;
    smiUINT32 ifSpeed;
    int hasHighSpeed;
    smiUINT32 highSpeed;
    int hasName;
    char name[CFG_NAME_WIDTH + 1];   // ifName, cleaned
    char descr[CFG_NAME_WIDTH + 1];  // ifDescr, cleaned
};

Row g_rows[WALK_MAX_ROWS];
int g_rowCount;

enum Field { kIndex, kDescr, kType, kSpeed, kStatus, kName, kHighSpeed };

struct Column {
    const char *label;
    const char *oid;
    Field field;
};

// The ifTable's columns first: the ifIndex walk makes the rows the others fill.
const Column kColumns[] = {
    {"ifIndex", "1.3.6.1.2.1.2.2.1.1", kIndex},
    {"ifDescr", "1.3.6.1.2.1.2.2.1.2", kDescr},
    {"ifType", "1.3.6.1.2.1.2.2.1.3", kType},
    {"ifSpeed", "1.3.6.1.2.1.2.2.1.5", kSpeed},
    {"ifOperStatus", "1.3.6.1.2.1.2.2.1.8", kStatus},
    {"ifName", "1.3.6.1.2.1.31.1.1.1.1", kName},
    {"ifHighSpeed", "1.3.6.1.2.1.31.1.1.1.15", kHighSpeed},
};

enum { kAnswered = 1, kSilent = 0, kStackFailed = -1, kBadHost = -2 };

// One use of the stack, from SnmpStartup to SnmpCleanup.
struct Use {
    HSNMP_SESSION session;
    HSNMP_ENTITY local;
    HSNMP_ENTITY device;
    HSNMP_CONTEXT context;
};

// What the walk is about and how it went.
struct Walk {
    const char *host;
    const char *community;
    int answered;            // some request has had a reply
    const char *failedCall;  // the stack call that failed, for kStackFailed
    WalkOutput *out;
};

int Fail(WalkOutput *out, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    vsnprintf(out->message, sizeof out->message, format, args);
    va_end(args);
    out->linesLen = 0;
    return 1;
}

// Dotted-decimal text of an object identifier, cut short to fit cap.
void OidText(const smiUINT32 *ids, smiUINT32 len, char *buf, size_t cap)
{
    size_t n = 0;
    buf[0] = '\0';
    for (smiUINT32 k = 0; k < len && n < cap; k++) {
        int w = snprintf(buf + n, cap - n, k ? ".%u" : "%u", static_cast<unsigned>(ids[k]));
        if (w < 0)
            break;
        n += static_cast<size_t>(w);
    }
}

// -1, 0 or 1 as a sorts before, with or after b in the order of the MIB.
int CompareOids(const smiUINT32 *a, smiUINT32 aLen, const smiUINT32 *b, smiUINT32 bLen)
{
    for (smiUINT32 k = 0; k < aLen && k < bLen; k++)
        if (a[k] != b[k])
            return a[k] < b[k] ? -1 : 1;
    return aLen < bLen ? -1 : aLen > bLen ? 1 : 0;
}

bool StartsWith(const smiUINT32 *ids, smiUINT32 len, const smiUINT32 *prefix, smiUINT32 prefixLen)
{
    return len >= prefixLen && CompareOids(ids, prefixLen, prefix, prefixLen) == 0;
}

SNMPAPI_STATUS WalkReplyCallback(HSNMP_SESSION hSession, HWND, UINT, WPARAM wParam, LPARAM, LPVOID)
{
    if (wParam != 0)
        return SNMPAPI_SUCCESS;
    HSNMP_PDU hPdu = nullptr;
    HSNMP_VBL hVbl = nullptr;
    smiINT pduType = 0, errorStatus = 0;
    smiINT32 requestId = 0;
    if (SnmpRecvMsg(hSession, nullptr, nullptr, nullptr, &hPdu) != SNMPAPI_SUCCESS ||
        SnmpGetPduData(hPdu, &pduType, &requestId, &errorStatus, nullptr, &hVbl) != SNMPAPI_SUCCESS ||
        pduType != SNMP_PDU_RESPONSE)
        return SNMPAPI_SUCCESS;  // nothing the walker asked for; the clean-up frees it

    Reply reply;
    memset(&reply, 0, sizeof reply);
    reply.errorStatus = errorStatus;
    smiOID name;
    smiVALUE value;
    if (SnmpGetVb(hVbl, 1, &name, &value) == SNMPAPI_SUCCESS) {
        reply.hasBinding = 1;
        reply.nameLen = name.len < kMaxOid ? name.len : kMaxOid;
        if (name.ptr)
            memcpy(reply.name, name.ptr, reply.nameLen * sizeof reply.name[0]);
        reply.syntax = value.syntax;
        switch (value.syntax) {
        case SNMP_SYNTAX_INT:
            reply.integer = value.value.sNumber;
            break;
        case SNMP_SYNTAX_CNTR32:
        case SNMP_SYNTAX_GAUGE32:
        case SNMP_SYNTAX_TIMETICKS:
        case SNMP_SYNTAX_UINT32:
            reply.number = value.value.uNumber;
            break;
        case SNMP_SYNTAX_CNTR64:
            reply.number = (static_cast<uint64_t>(value.value.hNumber.hipart) << 32) | value.value.hNumber.lopart;
            break;
        case SNMP_SYNTAX_OCTETS:
            reply.octetsLen = value.value.string.len < kMaxOctets ? value.value.string.len : kMaxOctets;
            if (value.value.string.ptr)
                memcpy(reply.octets, value.value.string.ptr, reply.octetsLen);
            else
                reply.octetsLen = 0;
            break;
        default:
            break;
        }
    }
    // Only the reply to the request in flight: a late one to an earlier request
    // must not pass for it.
    std::lock_guard<std::mutex> guard(g_slot.lock);
    if (!g_slot.full && requestId == g_slot.requestId && requestId != 0) {
        g_slot.reply = reply;
        g_slot.full = true;
        g_slot.arrived.notify_one();
    }
    return SNMPAPI_SUCCESS;
}

// Starts a use of the stack whose messages to the device take the version that
// translateMode gives. kAnswered when ready; otherwise nothing is left open.
int OpenUse(Walk *walk, smiUINT32 translateMode, Use *use)
{
    smiUINT32 major, minor, level, translate, retransmit;
    if (SnmpStartup(&major, &minor, &level, &translate, &retransmit) != SNMPAPI_SUCCESS) {
        walk->failedCall = "SnmpStartup";
        return kStackFailed;
    }
    SnmpSetTranslateMode(translateMode);
    memset(use, 0, sizeof *use);
    use->session = SnmpCreateSession(nullptr, 0, WalkReplyCallback, nullptr);
    // The stack sends from whichever local address reaches the device; the
    // source entity only has to be valid.
    use->local = use->session ? SnmpStrToEntity(use->session, "127.0.0.1") : nullptr;
    use->device = use->local ? SnmpStrToEntity(use->session, walk->host) : nullptr;
    smiOCTETS octets;
    octets.len = static_cast<smiUINT32>(strlen(walk->community));
    octets.ptr = reinterpret_cast<smiLPBYTE>(const_cast<char *>(walk->community));
    use->context = use->device ? SnmpStrToContext(use->session, &octets) : nullptr;
    if (use->context)
        return kAnswered;
    int result = use->local && !use->device ? kBadHost : kStackFailed;
    walk->failedCall = !use->session ? "SnmpCreateSession" : !use->local ? "SnmpStrToEntity" : "SnmpStrToContext";
    SnmpCleanup();
    return result;
}

// Sends one request for the object ids[0..len) and waits for its reply.
int Exchange(Walk *walk, const Use &use, smiINT pduType, const smiUINT32 *ids, smiUINT32 len, Reply *reply)
{
    smiOID oid;
    oid.len = len;
    oid.ptr = const_cast<smiLPUINT32>(ids);
    HSNMP_VBL hVbl = SnmpCreateVbl(use.session, &oid, nullptr);
    smiINT32 requestId = ++g_lastRequestId;
    HSNMP_PDU hPdu = hVbl ? SnmpCreatePdu(use.session, pduType, requestId, 0, 0, hVbl) : nullptr;
    if (!hPdu) {
        walk->failedCall = hVbl ? "SnmpCreatePdu" : "SnmpCreateVbl";
        return kStackFailed;
    }
    {
        std::lock_guard<std::mutex> guard(g_slot.lock);
        g_slot.requestId = requestId;
        g_slot.full = false;
    }
    if (SnmpSendMsg(use.session, use.local, use.device, use.context, hPdu) != SNMPAPI_SUCCESS) {
        walk->failedCall = "SnmpSendMsg";
        return kStackFailed;
    }
    std::unique_lock<std::mutex> lock(g_slot.lock);
    bool came = g_slot.arrived.wait_for(lock, std::chrono::milliseconds(WALK_WAIT_MS), [] { return g_slot.full; });
    g_slot.requestId = 0;
    if (!came)
        return kSilent;
    *reply = g_slot.reply;
    walk->answered = 1;
    return kAnswered;
}

int StackFailure(Walk *walk)
{
    return Fail(walk->out,
                "vellary-cfg: could not send a request to %s (%s failed): check the address, and that this "
                "system lets programs send UDP datagrams\n",
                walk->host, walk->failedCall);
}

int NoAnswer(Walk *walk, const char *label)
{
    if (!walk->answered)
        return Fail(walk->out,
                    "vellary-cfg: no answer from %s within %d ms. Check the address, that the device's SNMP "
                    "agent is running and reachable on UDP port 161, and the community: an agent does not "
                    "answer a wrong one\n",
                    walk->host, WALK_WAIT_MS);
    return Fail(walk->out,
                "vellary-cfg: the agent at %s stopped answering during the walk of %s (no reply within %d ms): "
                "check the network and the device's load, then try again\n",
                walk->host, label, WALK_WAIT_MS);
}

Row *FindRow(smiUINT32 ifIndex)
{
    // The rows are in strictly increasing ifIndex order, as their walk was.
    int lo = 0, hi = g_rowCount;
    while (lo < hi) {
        int mid = lo + (hi - lo) / 2;
        if (g_rows[mid].ifIndex < ifIndex)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo < g_rowCount && g_rows[lo].ifIndex == ifIndex ? &g_rows[lo] : nullptr;
}

// ifName where the agent has one, else ifDescr: ifName is the short name the
// device's own console uses and unique on the device, where ifDescr is often a
// product name that ports share, and cut to 15 characters often all alike.
const char *RowName(const Row &row)
{
    return row.hasName && row.name[0] ? row.name : row.descr;
}

bool UnsignedValue(const Reply &reply, smiUINT32 *value)
{
    switch (reply.syntax) {
    case SNMP_SYNTAX_GAUGE32:
    case SNMP_SYNTAX_CNTR32:
    case SNMP_SYNTAX_UINT32:
        *value = static_cast<smiUINT32>(reply.number);
        return true;
    case SNMP_SYNTAX_INT:
        *value = static_cast<smiUINT32>(reply.integer);
        return reply.integer >= 0;
    default:
        return false;
    }
}

void Store(const Column &column, const Reply &reply, Row *row)
{
    switch (column.field) {
    case kIndex:
        break;
    case kDescr:
        if (reply.syntax == SNMP_SYNTAX_OCTETS)
            CleanName(reply.octets, reply.octetsLen, row->descr);
        break;
    case kName:
        if (reply.syntax == SNMP_SYNTAX_OCTETS) {
            CleanName(reply.octets, reply.octetsLen, row->name);
            row->hasName = 1;
        }
        break;
    case kType:
        if (reply.syntax == SNMP_SYNTAX_INT)
            row->ifType = reply.integer;
        break;
    case kStatus:
        if (reply.syntax == SNMP_SYNTAX_INT)
            row->operStatus = reply.integer;
        break;
    case kSpeed:
        row->hasSpeed = UnsignedValue(reply, &row->ifSpeed);
        break;
    case kHighSpeed:
        row->hasHighSpeed = UnsignedValue(reply, &row->highSpeed);
        break;
    }
}

// Walks one column with GetNext until it leaves the column. Returns 0, or 1
// with the message set.
int WalkColumn(Walk *walk, const Use &use, const Column &column)
{
    smiOID start;
    if (SnmpStrToOid(column.oid, &start) == SNMPAPI_FAILURE) {
        walk->failedCall = "SnmpStrToOid";
        return StackFailure(walk);
    }
    smiUINT32 prefix[kMaxOid], prefixLen = start.len;
    smiUINT32 current[kMaxOid], currentLen = start.len;
    memcpy(prefix, start.ptr, start.len * sizeof prefix[0]);
    memcpy(current, start.ptr, start.len * sizeof current[0]);

    Reply reply;
    for (int rows = 0;; rows++) {
        int rc = Exchange(walk, use, SNMP_PDU_GETNEXT, current, currentLen, &reply);
        if (rc == kStackFailed)
            return StackFailure(walk);
        if (rc == kSilent)
            return NoAnswer(walk, column.label);
        // SNMPv1 ends a walk at the end of the agent's objects with noSuchName.
        if (reply.errorStatus == SNMP_ERROR_NOSUCHNAME)
            return 0;
        if (reply.errorStatus != SNMP_ERROR_NOERROR)
            return Fail(walk->out,
                        "vellary-cfg: the agent at %s answered the walk of %s with error status %d: check the "
                        "agent's configuration and that the community may read the interface table\n",
                        walk->host, column.label, reply.errorStatus);
        if (!reply.hasBinding)
            return Fail(walk->out,
                        "vellary-cfg: the agent at %s answered the walk of %s without the object: the agent is "
                        "faulty; check its software\n",
                        walk->host, column.label);
        if (reply.syntax == SNMP_SYNTAX_ENDOFMIBVIEW || reply.syntax == SNMP_SYNTAX_NOSUCHOBJECT ||
            reply.syntax == SNMP_SYNTAX_NOSUCHINSTANCE || !StartsWith(reply.name, reply.nameLen, prefix, prefixLen))
            return 0;
        if (CompareOids(reply.name, reply.nameLen, current, currentLen) <= 0) {
            char from[160], to[160];
            OidText(current, currentLen, from, sizeof from);
            OidText(reply.name, reply.nameLen, to, sizeof to);
            return Fail(walk->out,
                        "vellary-cfg: the agent at %s went back from %s to %s in the walk of %s, so the walk "
                        "would never end: the agent is faulty; check its software\n",
                        walk->host, from, to, column.label);
        }
        if (rows == WALK_MAX_ROWS)
            return Fail(walk->out,
                        "vellary-cfg: the walk of %s at %s went on past %d interfaces without ending: the agent "
                        "is faulty, or the device has more interfaces than vellary-cfg reads\n",
                        column.label, walk->host, WALK_MAX_ROWS);
        memcpy(current, reply.name, reply.nameLen * sizeof current[0]);
        currentLen = reply.nameLen;

        // A row's instance is one sub-identifier, its ifIndex (1 or more).
        if (currentLen != prefixLen + 1 || current[prefixLen] == 0)
            continue;
        smiUINT32 ifIndex = current[prefixLen];
        Row *row = nullptr;
        if (column.field == kIndex) {
            row = &g_rows[g_rowCount++];
            memset(row, 0, sizeof *row);
            row->ifIndex = ifIndex;
        } else {
            row = FindRow(ifIndex);
        }
        if (row)
            Store(column, reply, row);
    }
}

// 1 when the agent serves both 64-bit counters of the interface: a GET of each
// over SNMPv2c answers a Counter64. Sets *silent when the agent did not answer.
int ServesHcCounters(Walk *walk, const Use &use, smiUINT32 ifIndex, int *silent, int *failed)
{
    char oids[2][41];
    CounterOids(ifIndex, 1, oids[0], oids[1]);
    Reply reply;
    for (const char *text : oids) {
        smiOID oid;
        if (SnmpStrToOid(text, &oid) == SNMPAPI_FAILURE) {
            walk->failedCall = "SnmpStrToOid";
            *failed = 1;
            return 0;
        }
        int rc = Exchange(walk, use, SNMP_PDU_GET, oid.ptr, oid.len, &reply);
        *silent = rc == kSilent;
        *failed = rc == kStackFailed;
        if (rc != kAnswered || reply.errorStatus != SNMP_ERROR_NOERROR || !reply.hasBinding ||
            reply.syntax != SNMP_SYNTAX_CNTR64 || CompareOids(reply.name, reply.nameLen, oid.ptr, oid.len) != 0)
            return 0;
    }
    return 1;
}

}  // namespace

int RunWalker(int argc, const char *const *argv, WalkOutput *out)
{
    out->linesLen = 0;
    out->message[0] = '\0';
    if (argc != 3)
        return Fail(out,
                    "usage: vellary-cfg HOST COMMUNITY\n"
                    "Prints a vellary.cfg line for each interface that is up on the SNMP agent at HOST (its IPv4\n"
                    "address), read with the community COMMUNITY, for example:\n"
                    "  vellary-cfg 192.0.2.10 public > vellary.cfg\n");

    Walk walk;
    memset(&walk, 0, sizeof walk);
    walk.host = argv[1];
    walk.community = argv[2];
    walk.out = out;

    // Each field holds at least one character, and a comma, a line break or a
    // Ctrl-Z inside one would end it or the line.
    size_t communityLen = strlen(walk.community);
    if (communityLen == 0)
        return Fail(out, "vellary-cfg: the community is empty, and a vellary.cfg field cannot be: give the "
                         "device's read community\n");
    if (communityLen > 10)
        return Fail(out,
                    "vellary-cfg: the community \"%s\" has %u characters, and vellary.cfg holds at most 10: "
                    "give the device a read community of 10 characters or fewer\n",
                    walk.community, static_cast<unsigned>(communityLen));
    if (strpbrk(walk.community, ",\r\n\x1A"))
        return Fail(out, "vellary-cfg: the community holds a comma, a line break or a Ctrl-Z, which vellary.cfg "
                         "cannot hold: give the device a read community without them\n");

    g_rowCount = 0;
    // The interface table over SNMPv1, as the monitor reads 32-bit counters.
    // One use of the stack per column keeps what the stack holds to one column.
    for (const Column &column : kColumns) {
        Use use;
        int rc = OpenUse(&walk, SNMPAPI_UNTRANSLATED_V1, &use);
        if (rc == kBadHost)
            return Fail(out,
                        "vellary-cfg: \"%s\" is not an IPv4 address: give the device's address in dotted-decimal "
                        "form, like 192.0.2.10\n",
                        walk.host);
        if (rc != kAnswered)
            return StackFailure(&walk);
        int failed = WalkColumn(&walk, use, column);
        SnmpCleanup();
        if (failed)
            return 1;
        if (column.field == kIndex && g_rowCount == 0)
            return Fail(out,
                        "vellary-cfg: the agent at %s lists no interfaces: check that the community may read "
                        "the interface table (the agent's view for it)\n",
                        walk.host);
    }

    // Interfaces that are up, in ifIndex order, loopback interfaces last: the
    // order the device lists them in and stable from run to run, while the
    // loopback, the least likely to matter, is the first left out past ten.
    Row *chosen[WALK_MAX_LINES];
    int count = 0, leftOut = 0;
    char note[WALK_MESSAGE_MAX] = "";
    size_t noteLen = 0;
    for (int loopback = 0; loopback <= 1; loopback++) {
        for (int k = 0; k < g_rowCount; k++) {
            const Row &row = g_rows[k];
            if (row.operStatus != kUp || (row.ifType == kSoftwareLoopback) != (loopback == 1))
                continue;
            if (count < WALK_MAX_LINES) {
                chosen[count++] = &g_rows[k];
                continue;
            }
            leftOut++;
            if (noteLen < sizeof note)
                noteLen += static_cast<size_t>(snprintf(note + noteLen, sizeof note - noteLen, "%s%s (ifIndex %u)",
                                                        leftOut > 1 ? ", " : "", RowName(row),
                                                        static_cast<unsigned>(row.ifIndex)));
        }
    }
    if (count == 0)
        return Fail(out,
                    "vellary-cfg: none of the %d interfaces of the agent at %s is up (ifOperStatus): check the "
                    "device's links\n",
                    g_rowCount, walk.host);
    if (leftOut > 0) {
        // Not a failure, but nothing may be dropped without a word.
        int n = snprintf(out->message, sizeof out->message,
                         "vellary-cfg: %d interfaces are up and vellary.cfg holds ten; left out: %s\n",
                         count + leftOut, note);
        if (n < 0 || static_cast<size_t>(n) >= sizeof out->message)
            memcpy(out->message + sizeof out->message - 5, "...\n", 5);
    }

    // The 64-bit counters live in the ifXTable and travel only over SNMPv2c.
    int hc[WALK_MAX_LINES] = {};
    bool ifXTable = false;
    for (int k = 0; k < count; k++)
        ifXTable = ifXTable || chosen[k]->hasName || chosen[k]->hasHighSpeed;
    if (ifXTable) {
        Use use;
        if (OpenUse(&walk, SNMPAPI_UNTRANSLATED_V2, &use) != kAnswered)
            return StackFailure(&walk);
        int silent = 0, failed = 0;
        // An agent that does not answer SNMPv2c at all costs one wait, not ten.
        for (int k = 0; k < count && !silent && !failed; k++)
            hc[k] = ServesHcCounters(&walk, use, chosen[k]->ifIndex, &silent, &failed);
        SnmpCleanup();
        if (failed)
            return StackFailure(&walk);
    }

    char names[WALK_MAX_LINES][CFG_NAME_WIDTH + 1];
    for (int k = 0; k < count; k++) {
        const Row &row = *chosen[k];
        memcpy(names[k], RowName(row), CFG_NAME_WIDTH + 1);
        MakeUniqueName(names[k], row.ifIndex, names, k);
        char oidIn[41], oidOut[41];
        CounterOids(row.ifIndex, hc[k], oidIn, oidOut);
        int64_t speed = ChooseSpeed(row.hasSpeed, row.ifSpeed, row.hasHighSpeed, row.highSpeed);
        out->linesLen += FormatLine(out->lines + out->linesLen, sizeof out->lines - out->linesLen, names[k],
                                    walk.host, walk.community, speed, oidIn, oidOut);
    }
    return 0;
}
