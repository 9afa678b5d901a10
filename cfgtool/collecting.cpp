// Each column keeps its own sorted cells while the walk goes on, since columns
// move on at their own pace (a sparse one runs ahead); the rows are joined from
// them at the end, in one pass.
#include "cfgtool/collecting.h"

#include <chrono>
#include <cstring>

#include "cfgtool/cfgline.h"
#include "cfgtool/messages.h"
#include "cfgtool/system.h"
#include "snmp/ber.h"

using namespace vsnmp;

namespace {

const int kMaxColumns = 9;
const uint32_t kMaxText = 255;  // octets of an ifDescr or ifName kept

enum Field { kIndex, kDescr, kType, kSpeed, kStatus, kName, kHighSpeed, kHcIn, kHcOut };

struct Column {
    const char *label;
    const char *oid;
    Field field;
    bool optional;  // treated as absent when the agent fails it
    bool counter;   // a 64-bit counter: SNMPv2c, and for the list only
};

const Column kColumns[kMaxColumns] = {
    {"ifIndex", "1.3.6.1.2.1.2.2.1.1", kIndex, false, false},
    {"ifDescr", "1.3.6.1.2.1.2.2.1.2", kDescr, false, false},
    {"ifType", "1.3.6.1.2.1.2.2.1.3", kType, false, false},
    {"ifSpeed", "1.3.6.1.2.1.2.2.1.5", kSpeed, false, false},
    {"ifOperStatus", "1.3.6.1.2.1.2.2.1.8", kStatus, false, false},
    {"ifName", "1.3.6.1.2.1.31.1.1.1.1", kName, true, false},
    {"ifHighSpeed", "1.3.6.1.2.1.31.1.1.1.15", kHighSpeed, true, false},
    {"ifHCInOctets", CFG_HC_IN_OID, kHcIn, true, true},
    {"ifHCOutOctets", CFG_HC_OUT_OID, kHcOut, true, true},
};

// One row's value in one column.
struct Cell {
    uint32_t ifIndex;
    uint32_t bits;  // INTEGER or unsigned, as 32 bits
    uint32_t textAt;
    uint32_t textLen;
    smiUINT32 syntax;
};

// An object identifier kept whole.
struct Name {
    smiUINT32 ids[ber::MAX_OID_LEN];
    smiUINT32 len;
};

struct ColumnWalk {
    const Column *column;
    Name prefix;
    Name current;  // the last name it had, where its next request starts
    bool active;
    long steps;
    std::vector<Cell> cells;
};

struct Walk {
    Asking *asking;
    FILE *err;
    ColumnWalk columns[kMaxColumns];
    int columnCount;
    Table *table;
    int repetitionCap;     // lowered by each tooBig, never raised
    size_t bytesPerObject;  // of the last reply, to size the next
    Name viewEnd;          // nothing follows it in the agent's view (len 0: not known)
    Name highest;          // the highest name answered so far
    uint32_t ifNumber;
    std::chrono::steady_clock::time_point started, shown;
};

// -1, 0 or 1 as a sorts before, with or after b in the order of the MIB.
int CompareOids(const smiUINT32 *a, smiUINT32 aLen, const smiUINT32 *b, smiUINT32 bLen)
{
    for (smiUINT32 k = 0; k < aLen && k < bLen; k++)
        if (a[k] != b[k])
            return a[k] < b[k] ? -1 : 1;
    return aLen < bLen ? -1 : aLen > bLen ? 1 : 0;
}

int Compare(const Name &a, const Name &b)
{
    return CompareOids(a.ids, a.len, b.ids, b.len);
}

bool StartsWith(const smiOID &name, const Name &prefix)
{
    return name.len >= prefix.len && CompareOids(name.ptr, prefix.len, prefix.ids, prefix.len) == 0;
}

void Keep(const smiOID &from, Name *to)
{
    to->len = from.len < ber::MAX_OID_LEN ? from.len : static_cast<smiUINT32>(ber::MAX_OID_LEN);
    memcpy(to->ids, from.ptr, to->len * sizeof to->ids[0]);
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

// About what a binding takes in a reply: its three headers, the name's
// sub-identifiers (most take one octet) and the value.
size_t BindingBytes(const smiOID &name, const smiVALUE &value)
{
    size_t bytes = 6 + name.len;
    for (smiUINT32 k = 0; k < name.len; k++)
        bytes += name.ptr[k] >= 128 ? (name.ptr[k] >= 16384 ? 2 : 1) : 0;
    switch (value.syntax) {
    case SNMP_SYNTAX_OCTETS:
        return bytes + value.value.string.len;
    case SNMP_SYNTAX_CNTR64:
        return bytes + 9;
    case SNMP_SYNTAX_NULL:
    case SNMP_SYNTAX_NOSUCHOBJECT:
    case SNMP_SYNTAX_NOSUCHINSTANCE:
    case SNMP_SYNTAX_ENDOFMIBVIEW:
        return bytes;
    default:
        return bytes + 5;
    }
}

int StackFailure(Walk *walk)
{
    return SendFailure(walk->asking, walk->err);
}

int AgentFault(Walk *walk, const char *what)
{
    return Fail(walk->err, "vellary-cfg: the agent at %s %s: the agent is faulty; check its software\n",
                walk->asking->host, what);
}

void ShowProgress(Walk *walk)
{
    auto now = std::chrono::steady_clock::now();
    if (now - walk->started < std::chrono::seconds(2) || now - walk->shown < std::chrono::seconds(1))
        return;
    walk->shown = now;
    size_t rows = walk->columns[0].cells.size();
    if (walk->ifNumber > 0)
        Note(walk->err, "vellary-cfg: %lu of %lu interfaces read\n", static_cast<unsigned long>(rows),
             static_cast<unsigned long>(walk->ifNumber));
    else
        Note(walk->err, "vellary-cfg: %lu interfaces read\n", static_cast<unsigned long>(rows));
}

void StoreCell(Walk *walk, ColumnWalk *col, uint32_t ifIndex, const smiVALUE &value)
{
    Cell cell;
    memset(&cell, 0, sizeof cell);
    cell.ifIndex = ifIndex;
    cell.syntax = value.syntax;
    switch (value.syntax) {
    case SNMP_SYNTAX_INT:
        cell.bits = static_cast<uint32_t>(value.value.sNumber);
        break;
    case SNMP_SYNTAX_CNTR32:
    case SNMP_SYNTAX_GAUGE32:
    case SNMP_SYNTAX_TIMETICKS:
    case SNMP_SYNTAX_UINT32:
        cell.bits = value.value.uNumber;
        break;
    case SNMP_SYNTAX_OCTETS: {
        std::vector<uint8_t> &text = walk->table->text;
        cell.textAt = static_cast<uint32_t>(text.size());
        // A DisplayString holds at most 255; more is an agent's excess and
        // would only make the rows weigh more.
        cell.textLen = value.value.string.ptr ? value.value.string.len : 0;
        if (cell.textLen > kMaxText)
            cell.textLen = kMaxText;
        text.insert(text.end(), value.value.string.ptr, value.value.string.ptr + cell.textLen);
        break;
    }
    default:
        break;
    }
    col->cells.push_back(cell);
}

// Takes binding i of an answer to a request for the columns active[0..n),
// adding its size to *bytes. Returns 0, or 1 after a message.
int TakeBinding(Walk *walk, const Answer &answer, smiUINT32 i, const int *active, int n, Name *slotLast, size_t *bytes)
{
    ColumnWalk *col = &walk->columns[active[i % n]];
    Name *last = &slotLast[i % n];
    smiOID name;
    smiVALUE value;
    if (!AnswerBinding(answer, i, &name, &value))
        return AgentFault(walk, "answered with an object that could not be read");
    *bytes += BindingBytes(name, value);
    if (value.syntax == SNMP_SYNTAX_ENDOFMIBVIEW) {
        // Nothing follows the last name of this slot in the agent's view.
        if (walk->viewEnd.len == 0 || Compare(*last, walk->viewEnd) < 0)
            walk->viewEnd = *last;
        col->active = false;
    } else if (value.syntax == SNMP_SYNTAX_NOSUCHOBJECT || value.syntax == SNMP_SYNTAX_NOSUCHINSTANCE) {
        col->active = false;  // no GetNext answer, but no more of this column either
        return 0;
    } else {
        if (CompareOids(name.ptr, name.len, last->ids, last->len) <= 0) {
            char from[160], to[160], what[400];
            OidText(last->ids, last->len, from, sizeof from);
            OidText(name.ptr, name.len, to, sizeof to);
            snprintf(what, sizeof what, "went back from %s to %s in the walk of %s, so the walk would never end",
                     from, to, col->column->label);
            return AgentFault(walk, what);
        }
        Keep(name, last);
        if (Compare(*last, walk->highest) > 0)
            walk->highest = *last;
    }
    if (walk->viewEnd.len > 0 && Compare(walk->highest, walk->viewEnd) > 0) {
        char end[160], after[160], what[400];
        OidText(walk->viewEnd.ids, walk->viewEnd.len, end, sizeof end);
        OidText(walk->highest.ids, walk->highest.len, after, sizeof after);
        snprintf(what, sizeof what, "said that its objects end after %s (endOfMibView), yet answered %s", end, after);
        return AgentFault(walk, what);
    }
    if (!col->active || value.syntax == SNMP_SYNTAX_ENDOFMIBVIEW)
        return 0;
    if (!StartsWith(name, col->prefix)) {
        col->active = false;
        return 0;
    }
    if (++col->steps > WALK_MAX_ROWS)
        return Fail(walk->err,
                    "vellary-cfg: the walk of %s at %s went on past %d interfaces without ending: the agent is "
                    "faulty, or the device has more interfaces than vellary-cfg reads\n",
                    col->column->label, walk->asking->host, WALK_MAX_ROWS);
    col->current = *last;
    // A row's instance is one sub-identifier, its ifIndex (1 or more).
    if (name.len == col->prefix.len + 1 && name.ptr[col->prefix.len] != 0)
        StoreCell(walk, col, name.ptr[col->prefix.len], value);
    return 0;
}

// An error status answered for the columns active[0..n). Returns 0 to go on,
// or 1 after a message.
int TakeError(Walk *walk, const Answer &answer, const int *active, int n, int repetitions)
{
    bool bulk = AsksV2Pdus(walk->asking);
    int at = answer.errorIndex;  // 1-based, 0 when the agent does not say
    ColumnWalk *col = at >= 1 && at <= n ? &walk->columns[active[at - 1]] : n == 1 ? &walk->columns[active[0]] : nullptr;
    if (answer.errorStatus == SNMP_ERROR_TOOBIG && bulk) {
        if (repetitions == 1)
            return Fail(walk->err,
                        "vellary-cfg: the agent at %s answers tooBig even to a request for one row of the "
                        "interface table: check the agent's largest message size\n",
                        walk->asking->host);
        walk->repetitionCap = repetitions / 2;
        return 0;
    }
    // SNMPv1 ends a walk at the end of the agent's objects with noSuchName.
    if (answer.errorStatus == SNMP_ERROR_NOSUCHNAME && !bulk && col) {
        col->active = false;
        return 0;
    }
    if (col && col->column->optional) {
        Note(walk->err,
             "vellary-cfg: the agent at %s failed to give %s (error status %d), so it is taken as absent\n",
             walk->asking->host, col->column->label, answer.errorStatus);
        col->active = false;
        col->cells.clear();
        return 0;
    }
    char status[48];
    const char *name = ErrorStatusName(answer.errorStatus);
    snprintf(status, sizeof status, name[0] ? "%d (%s)" : "%d", answer.errorStatus, name);
    const char *what = col ? col->column->label : "the interface table";
    const Asking *asking = walk->asking;
    if (asking->user)
        return Fail(walk->err,
                    "vellary-cfg: the agent at %s answered the walk of %s with error status %s: check the agent's "
                    "configuration and the access of SNMPv3 user \"%s\": its group's read view must hold the "
                    "interface table\n",
                    asking->host, what, status, asking->user->userName);
    return Fail(walk->err,
                "vellary-cfg: the agent at %s answered the walk of %s with error status %s: check the agent's "
                "configuration and that the community may read the interface table\n",
                asking->host, what, status);
}

// Reads one answer for the columns active[0..n). Returns 0, or 1 after a message.
int TakeAnswer(Walk *walk, const Answer &answer, const int *active, int n, int repetitions)
{
    if (answer.errorStatus != SNMP_ERROR_NOERROR)
        return TakeError(walk, answer, active, n, repetitions);
    smiUINT32 asked = static_cast<smiUINT32>(n) * static_cast<smiUINT32>(repetitions);
    char what[200];
    if (answer.count > asked || (walk->asking->version == ASK_V1 && answer.count != asked)) {
        snprintf(what, sizeof what, "answered %u objects to a request for %u", static_cast<unsigned>(answer.count),
                 static_cast<unsigned>(asked));
        return AgentFault(walk, what);
    }
    if (answer.count == 0)
        return AgentFault(walk, "answered a request for the interface table with no objects");
    Name slotLast[kMaxColumns];
    for (int k = 0; k < n; k++)
        slotLast[k] = walk->columns[active[k]].current;
    size_t bytes = 0;
    for (smiUINT32 i = 0; i < answer.count; i++)
        if (TakeBinding(walk, answer, i, active, n, slotLast, &bytes))
            return 1;
    walk->bytesPerObject = bytes / answer.count + 1;
    return 0;
}

// Rows asked for in the next GetBulk: as many as keep its reply within one
// datagram, judged by the last reply.
int Repetitions(const Walk &walk, int n)
{
    size_t budget = WALK_REPLY_BYTES - AskOverhead(walk.asking);
    size_t rows = budget / (static_cast<size_t>(n) * walk.bytesPerObject);
    if (rows > static_cast<size_t>(walk.repetitionCap))
        rows = static_cast<size_t>(walk.repetitionCap);
    return rows < 1 ? 1 : static_cast<int>(rows);
}

// Walks the columns until each has left its part of the MIB. Returns 0, or 1
// after a message.
int WalkColumns(Walk *walk)
{
    while (true) {
        int active[kMaxColumns], n = 0;
        smiOID names[kMaxColumns];
        for (int c = 0; c < walk->columnCount; c++) {
            ColumnWalk &col = walk->columns[c];
            if (!col.active)
                continue;
            names[n].len = col.current.len;
            names[n].ptr = col.current.ids;
            active[n++] = c;
        }
        if (n == 0)
            return 0;
        bool bulk = AsksV2Pdus(walk->asking);
        int repetitions = bulk ? Repetitions(*walk, n) : 1;
        Answer answer;
        int rc = Ask(walk->asking, bulk ? SNMP_PDU_GETBULK : SNMP_PDU_GETNEXT, names, n, repetitions, &answer);
        if (rc == ASK_FAILED)
            return StackFailure(walk);
        if (rc == ASK_SILENT)
            return Fail(walk->err,
                        "vellary-cfg: the agent at %s stopped answering during the walk of the interface table, "
                        "after %lu interfaces (no answer to %d tries, %d ms apart): check the network and the "
                        "device's load, then try again\n",
                        walk->asking->host, static_cast<unsigned long>(walk->columns[0].cells.size()), ASK_TRIES,
                        TryIntervalMs());
        int failed = TakeAnswer(walk, answer, active, n, repetitions);
        DropAnswer(&answer);
        if (failed)
            return 1;
        ShowProgress(walk);
    }
}

// The cell of row ifIndex, looked for from *at on: rows and cells are both in
// ifIndex order, so one pass joins a column.
const Cell *Match(const std::vector<Cell> &cells, size_t *at, uint32_t ifIndex)
{
    while (*at < cells.size() && cells[*at].ifIndex < ifIndex)
        ++*at;
    return *at < cells.size() && cells[*at].ifIndex == ifIndex ? &cells[*at] : nullptr;
}

bool Unsigned(const Cell &cell, uint32_t *value)
{
    switch (cell.syntax) {
    case SNMP_SYNTAX_GAUGE32:
    case SNMP_SYNTAX_CNTR32:
    case SNMP_SYNTAX_UINT32:
        *value = cell.bits;
        return true;
    case SNMP_SYNTAX_INT:
        *value = cell.bits;
        return static_cast<int32_t>(cell.bits) >= 0;
    default:
        return false;
    }
}

// The rows the ifIndex column lists, each with what the other columns say of it.
void JoinRows(Walk *walk)
{
    std::vector<Row> &rows = walk->table->rows;
    const std::vector<Cell> &index = walk->columns[0].cells;
    rows.assign(index.size(), Row());
    for (size_t r = 0; r < index.size(); r++)
        rows[r].ifIndex = index[r].ifIndex;
    for (int c = 1; c < walk->columnCount; c++) {
        const ColumnWalk &col = walk->columns[c];
        size_t at = 0;
        for (Row &row : rows) {
            const Cell *cell = Match(col.cells, &at, row.ifIndex);
            bool octets = cell && cell->syntax == SNMP_SYNTAX_OCTETS;
            bool integer = cell && cell->syntax == SNMP_SYNTAX_INT;
            bool counter64 = cell && cell->syntax == SNMP_SYNTAX_CNTR64;
            switch (col.column->field) {
            case kDescr:
                if (octets) {
                    row.descrAt = cell->textAt;
                    row.descrLen = cell->textLen;
                }
                break;
            case kName:
                if (octets) {
                    row.hasName = 1;
                    row.nameAt = cell->textAt;
                    row.nameLen = cell->textLen;
                }
                break;
            case kType:
                row.ifType = integer ? static_cast<int32_t>(cell->bits) : 0;
                break;
            case kStatus:
                row.operStatus = integer ? static_cast<int32_t>(cell->bits) : 0;
                break;
            case kSpeed:
                row.hasSpeed = cell && Unsigned(*cell, &row.ifSpeed);
                break;
            case kHighSpeed:
                row.hasHighSpeed = cell && Unsigned(*cell, &row.highSpeed);
                break;
            case kHcIn:
                row.hc = counter64;
                break;
            case kHcOut:
                row.hc = row.hc && counter64;
                break;
            case kIndex:
                break;
            }
        }
    }
}

// Asks in one GET for the 64-bit counters of rows rows, whose in and out
// names stand side by side in names, and sets lines[0..rows).hc. Returns
// ASK_ANSWERED with *errorStatus, ASK_SILENT or ASK_FAILED.
int AskCounters(Asking *asking, const smiOID *names, int rows, LineCounters *lines, smiINT *errorStatus)
{
    Answer answer;
    int rc = Ask(asking, SNMP_PDU_GET, names, 2 * rows, 0, &answer);
    *errorStatus = rc == ASK_ANSWERED ? answer.errorStatus : SNMP_ERROR_NOERROR;
    if (rc == ASK_FAILED)
        return rc;
    for (int k = 0; k < rows; k++) {
        if (rc == ASK_SILENT) {
            lines[k].hc = HC_SILENT;
        } else if (answer.errorStatus != SNMP_ERROR_NOERROR) {
            lines[k].hc = HC_REFUSED;
        } else {
            int served = 0;
            for (int dir = 0; dir < 2; dir++) {
                smiOID name;
                smiVALUE value;
                smiUINT32 i = static_cast<smiUINT32>(2 * k + dir);
                served += AnswerBinding(answer, i, &name, &value) && value.syntax == SNMP_SYNTAX_CNTR64 &&
                          CompareOids(name.ptr, name.len, names[i].ptr, names[i].len) == 0;
            }
            lines[k].hc = served == 2 ? HC_SERVED : HC_ABSENT;
        }
    }
    if (rc == ASK_ANSWERED)
        DropAnswer(&answer);
    return rc;
}

// Whether a value is one the monitor takes as a reading: a 32-bit number, or
// a Counter64 within its 63 bits.
bool IsReading(const smiVALUE &value)
{
    switch (value.syntax) {
    case SNMP_SYNTAX_INT:
    case SNMP_SYNTAX_CNTR32:
    case SNMP_SYNTAX_GAUGE32:
    case SNMP_SYNTAX_TIMETICKS:
    case SNMP_SYNTAX_UINT32:
        return true;
    case SNMP_SYNTAX_CNTR64:
        return value.value.hNumber.hipart <= INT32_MAX;
    default:
        return false;
    }
}

// What binding i of an answer without an error status says of the counter asked for.
CounterRead ReadOf(const Answer &answer, smiUINT32 i, const smiOID &asked)
{
    smiOID name;
    smiVALUE value;
    if (!AnswerBinding(answer, i, &name, &value) || CompareOids(name.ptr, name.len, asked.ptr, asked.len) != 0)
        return {READ_OTHER_OBJECT, 0};
    if (value.syntax == SNMP_SYNTAX_NOSUCHOBJECT || value.syntax == SNMP_SYNTAX_NOSUCHINSTANCE ||
        value.syntax == SNMP_SYNTAX_ENDOFMIBVIEW)
        return {READ_NO_SUCH, static_cast<int>(value.syntax)};
    return {IsReading(value) ? READ_OK : READ_NOT_NUMBER, 0};
}

// Every line's two counters, a binding of at most 32 bytes each, fit in one
// reply within the walk's datagram budget, whatever the version's overhead.
static_assert(2 * WALK_MAX_LINES * 32 + 200 <= WALK_REPLY_BYTES, "the counter GET fits one datagram");

// GETs the n counters names in asking->version and sets *reads[k] for each.
// An error status speaks for the object it names, which is settled and left
// out of the next request; one that names none has each asked alone. At most
// 2n + 1 requests, since every other one settles at least one. Returns
// ASK_ANSWERED, or ASK_FAILED when a request could not be sent.
int AskReads(Asking *asking, const smiOID *names, CounterRead *const *reads, int n)
{
    int pending[2 * WALK_MAX_LINES];
    for (int k = 0; k < n; k++)
        pending[k] = k;
    int left = n;
    bool alone = false;
    while (left > 0) {
        smiOID batch[2 * WALK_MAX_LINES];
        int m = alone ? 1 : left;
        for (int j = 0; j < m; j++)
            batch[j] = names[pending[j]];
        Answer answer;
        int rc = Ask(asking, SNMP_PDU_GET, batch, m, 0, &answer);
        if (rc == ASK_FAILED)
            return rc;
        int settled = m;
        if (rc == ASK_SILENT) {
            for (int j = 0; j < m; j++)
                *reads[pending[j]] = {READ_SILENT, 0};
        } else if (answer.errorStatus == SNMP_ERROR_NOERROR) {
            for (int j = 0; j < m; j++)
                *reads[pending[j]] = ReadOf(answer, static_cast<smiUINT32>(j), batch[j]);
        } else if (m == 1 || (answer.errorIndex >= 1 && answer.errorIndex <= m)) {
            int j = m == 1 ? 0 : answer.errorIndex - 1;
            *reads[pending[j]] = answer.errorStatus == SNMP_ERROR_NOSUCHNAME
                                     ? CounterRead{READ_NO_SUCH, 0}
                                     : CounterRead{READ_ERROR, answer.errorStatus};
            memmove(&pending[j], &pending[j + 1], static_cast<size_t>(left - j - 1) * sizeof pending[0]);
            left--;
            settled = 0;
        } else {
            alone = true;
            settled = 0;
        }
        if (rc == ASK_ANSWERED)
            DropAnswer(&answer);
        memmove(&pending[0], &pending[settled], static_cast<size_t>(left - settled) * sizeof pending[0]);
        left -= settled;
    }
    return ASK_ANSWERED;
}

}  // namespace

int CollectTable(Asking *asking, int withCounters, uint32_t ifNumber, Table *table, FILE *err)
{
    Walk walk;
    walk.asking = asking;
    walk.err = err;
    walk.table = table;
    walk.columnCount = 0;
    walk.repetitionCap = WALK_MAX_REPETITIONS;
    walk.bytesPerObject = 30;
    walk.viewEnd.len = 0;
    walk.highest.len = 0;
    walk.ifNumber = ifNumber;
    walk.started = walk.shown = std::chrono::steady_clock::now();
    table->rows.clear();
    table->text.clear();
    for (const Column &column : kColumns) {
        // Counter64 does not exist in SNMPv1.
        if (column.counter && (!withCounters || !AsksV2Pdus(asking)))
            continue;
        ColumnWalk &col = walk.columns[walk.columnCount++];
        smiOID oid;
        if (SnmpStrToOid(column.oid, &oid) == SNMPAPI_FAILURE) {
            asking->failedCall = "SnmpStrToOid";
            return StackFailure(&walk);
        }
        col.column = &column;
        Keep(oid, &col.prefix);
        col.current = col.prefix;
        col.active = true;
        col.steps = 0;
    }
    if (WalkColumns(&walk))
        return 1;
    JoinRows(&walk);
    if (table->rows.empty() && asking->user)
        return Fail(err,
                    "vellary-cfg: the agent at %s lists no interfaces: check the access of SNMPv3 user \"%s\": its "
                    "group's read view must hold the interface table\n",
                    asking->host, asking->user->userName);
    if (table->rows.empty())
        return Fail(err,
                    "vellary-cfg: the agent at %s lists no interfaces: check that the community may read the "
                    "interface table (the agent's view for it)\n",
                    asking->host);
    return 0;
}

int CollectCounters(Asking *asking, const Table &table, const int *chosen, int count, LineCounters *lines, FILE *err)
{
    for (int k = 0; k < count; k++) {
        memset(&lines[k], 0, sizeof lines[k]);
        lines[k].hc = AsksV2Pdus(asking) ? HC_ABSENT : HC_NO_V2C;
    }
    if (!AsksV2Pdus(asking) || count == 0)
        return 0;
    static const char *const kCounters[2] = {CFG_HC_IN_OID, CFG_HC_OUT_OID};
    Name columns[2];
    for (int dir = 0; dir < 2; dir++) {
        smiOID oid;
        if (SnmpStrToOid(kCounters[dir], &oid) == SNMPAPI_FAILURE) {
            asking->failedCall = "SnmpStrToOid";
            return SendFailure(asking, err);
        }
        Keep(oid, &columns[dir]);
    }
    int rows = count < WALK_MAX_LINES ? count : WALK_MAX_LINES;
    Name ids[2 * WALK_MAX_LINES];
    smiOID names[2 * WALK_MAX_LINES] = {};
    for (int i = 0; i < 2 * rows; i++) {
        ids[i] = columns[i % 2];
        ids[i].ids[ids[i].len++] = table.rows[chosen[i / 2]].ifIndex;
        names[i].len = ids[i].len;
        names[i].ptr = ids[i].ids;
    }
    smiINT errorStatus = SNMP_ERROR_NOERROR;
    int rc = AskCounters(asking, names, rows, lines, &errorStatus);
    // An error status speaks for the whole request: asked row by row, one
    // instance the agent fails costs only its own row the 64-bit counters.
    if (rc == ASK_ANSWERED && errorStatus != SNMP_ERROR_NOERROR && rows > 1)
        for (int k = 0; k < rows && rc != ASK_FAILED; k++)
            rc = AskCounters(asking, &names[2 * static_cast<size_t>(k)], 1, &lines[k], &errorStatus);
    return rc == ASK_FAILED ? SendFailure(asking, err) : 0;
}

int CheckCounters(Asking *asking, const Table &table, const int *chosen, int count, LineCounters *lines, FILE *err)
{
    char text[2 * WALK_MAX_LINES][41];
    smiOID names[2 * WALK_MAX_LINES];
    CounterRead *reads[2 * WALK_MAX_LINES];
    int n = 0;
    for (int k = 0; k < count && k < WALK_MAX_LINES; k++) {
        if (lines[k].hc == HC_SERVED)
            continue;
        CounterOids(table.rows[chosen[k]].ifIndex, 0, text[n], text[n + 1]);
        for (int dir = 0; dir < 2; dir++, n++) {
            if (SnmpStrToOid(text[n], &names[n]) == SNMPAPI_FAILURE) {
                asking->failedCall = "SnmpStrToOid";
                return SendFailure(asking, err);
            }
            reads[n] = &lines[k].read[dir];
        }
    }
    if (n == 0)
        return 0;
    // The monitor reads a community's 32-bit counters over SNMPv1 alone.
    int version = asking->version;
    asking->version = asking->user ? ASK_V3 : ASK_V1;
    int rc = AskReads(asking, names, reads, n);
    asking->version = version;
    return rc == ASK_FAILED ? SendFailure(asking, err) : 0;
}
