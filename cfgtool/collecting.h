// Collecting: the device's interface table, its columns walked side by side
// (GetBulk over SNMPv2c, one GetNext for all of them over SNMPv1), into rows.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

#include "cfgtool/asking.h"
#include "config/interfaces.h"

#define WALK_MAX_LINES MAX_INTERFACES  // a line for each of the monitor's records
#define WALK_MAX_ROWS 100000       // interfaces read; a column that goes on past this is refused
#define WALK_REPLY_BYTES 1400      // a GetBulk reply should fit one datagram on an Ethernet path
#define WALK_MAX_REPETITIONS 64    // rows asked for in one GetBulk, at most
#define OPER_STATUS_UP 1           // ifOperStatus up

// One interface. Numbers are 0 where the agent did not say; the texts are the
// agent's octets, in Table::text.
struct Row {
    uint32_t ifIndex;
    int32_t ifType;
    int32_t operStatus;
    int hasSpeed;
    uint32_t ifSpeed;
    int hasHighSpeed;
    uint32_t highSpeed;
    int hasName;  // ifName answered, possibly empty
    uint32_t nameAt, descrAt;
    uint32_t nameLen, descrLen;
    int hc;  // both 64-bit counters answered Counter64 (walked for the list only)
};

struct Table {
    std::vector<Row> rows;  // in ifIndex order
    std::vector<uint8_t> text;
};

// Reads the interface table into *table: ifIndex, ifDescr, ifType, ifSpeed,
// ifOperStatus, ifName and ifHighSpeed, and with withCounters the 64-bit octet
// counters too (SNMPv2c only). ifNumber (0: unknown) only sizes the progress
// shown on err once the walk takes longer than about 2 s. An optional column
// (ifName, ifHighSpeed, the counters) that the agent fails is left out with a
// note on err. Returns 0, or 1 after a message on err.
int CollectTable(Asking *asking, int withCounters, uint32_t ifNumber, Table *table, FILE *err);

// Whether the rows chosen serve the 64-bit counters, and if not, why.
enum HcState { HC_SERVED, HC_NO_V2C, HC_ABSENT, HC_SILENT, HC_REFUSED };

// What the monitor will get when it reads a 32-bit counter.
enum ReadState { READ_OK, READ_SILENT, READ_NO_SUCH, READ_ERROR, READ_NOT_NUMBER, READ_OTHER_OBJECT };

struct CounterRead {
    int state;   // ReadState
    int detail;  // the error status of READ_ERROR, the exception's syntax of READ_NO_SUCH over SNMPv3
};

// What the walk learnt of one chosen line's counters.
struct LineCounters {
    int hc;               // HcState
    CounterRead read[2];  // its 32-bit in and out counters; READ_OK where not asked
};

// Asks for both 64-bit counters of the count rows chosen (indices into
// table.rows, at most WALK_MAX_LINES) in one SNMPv2c GET, or one per row when
// the agent answers that with an error status, and sets lines[k].hc for each
// (and clears its reads). Returns 0, or 1 after a message on err when a
// request could not be sent.
int CollectCounters(Asking *asking, const Table &table, const int *chosen, int count, LineCounters *lines, FILE *err);

// GETs the 32-bit counters of the lines not on HC_SERVED once, the way the
// monitor will read them: over SNMPv1, or as the label's SNMPv3 user. Asks
// for all in one request (they fit one datagram), and after an error status
// again without the object it names. Sets lines[k].read.
// Returns 0, or 1 after a message on err when a request could not be sent.
int CheckCounters(Asking *asking, const Table &table, const int *chosen, int count, LineCounters *lines, FILE *err);

// Octets of the text at (at, len) of the table, for printing with "%.*s".
inline const char *TextAt(const Table &table, uint32_t at)
{
    return table.text.empty() ? "" : reinterpret_cast<const char *>(table.text.data()) + at;
}
