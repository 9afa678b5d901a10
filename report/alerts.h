// The alert log, vellary-alerts.csv, as the page shows it: its last rows, and
// each interface's "down" and "above" periods. Constant size however long the log.
#pragma once

#include <cstdint>

#include "config/interfaces.h"
#include "report/aggregate.h"
#include "report/reader.h"

#define ALERT_LOG_NAME "vellary-alerts.csv"
#define ALERT_LOG_HEADER "Date,Time,Interface,Event,% In,% Out,Detail"
#define ALERTS_SHOWN 50
#define BANDS_MAX 64  // periods kept per interface and kind, the latest
#define ALERT_DETAIL_MAX 96

enum AlertEventKind { EVENT_DOWN, EVENT_UP, EVENT_ABOVE, EVENT_NORMAL };

struct AlertRow {
    int64_t t;  // local seconds
    int64_t line;
    char name[16];
    int32_t event;
    bool hasIn;
    bool hasOut;
    int32_t pctIn;
    int32_t pctOut;
    char detail[ALERT_DETAIL_MAX];
};

// A period from one event to the one that ends it; open (to of -1) while none has.
struct Band {
    int64_t from;
    int64_t to;
};

struct BandRing {
    Band band[BANDS_MAX];
    int32_t next;
    int32_t count;
    bool open;  // the newest has not ended
};

struct AlertLog {
    ReadResult read;
    AlertRow last[ALERTS_SHOWN];  // a ring: the newest ALERTS_SHOWN rows
    int32_t next;
    int32_t count;
    int64_t rows;
    // Per interface of vellary.cfg, its first entry of that name.
    BandRing down[MAX_INTERFACES];
    BandRing above[MAX_INTERFACES];
    const InterfaceRecord *records;
    int32_t recordCount;
    int64_t lines;
    int64_t badRows;
    int32_t badNamed;
    BadRow bad[MAX_BAD_NAMED];
};

// Parses one line of the alert log (its line break removed). Returns 1 and fills
// row when it is a row: a real date and time, a name of 1 to 15 bytes, one of the
// four events, each % a number or empty, and a detail of fewer than
// ALERT_DETAIL_MAX bytes.
int ParseAlertRow(const char *p, const char *end, AlertRow *row, DateMemo *memo);

// Reads the alert log at path into log, its bands for the count records given.
void ReadAlertLog(const char *path, AlertLog *log, const InterfaceRecord *records, int count);

// The k-th newest row shown (0 the newest), k below log->count.
const AlertRow &NewestAlert(const AlertLog *log, int k);

// Band k (0 the oldest kept) of a ring.
const Band &BandAt(const BandRing *ring, int k);

extern const char *const kAlertEvents[4];
