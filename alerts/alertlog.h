// The alert log, vellary-alerts.csv: one row per event, written like the
// history files (records/rowfile.h). vellary-report reads it back.
//
//   Date,Time,Interface,Event,% In,% Out,Detail
//   09-12-2026,03:14:07,Uplink,down,,,192.0.2.1
//   09-12-2026,03:29:07,Uplink,above,95,40,192.0.2.1 in
#pragma once

#include "alerts/event.h"
#include "records/localtime.h"

#define ALERT_LOG_FILE_NAME "vellary-alerts.csv"
#define ALERT_LOG_HEADER "Date,Time,Interface,Event,% In,% Out,Detail"
#define ALERT_LOG_HELD_MAX 256  // rows held while the file cannot be written

// Appends event's row, dated lt (local time): the date and time as the event
// log prints them, the figures empty where there are none. A field holding a
// comma or a double quote is put in double quotes, with each of its quotes
// doubled; control characters are left out, so a row is always one line. A row
// that cannot be written is held and written before the next (rowfile.h), with
// "Alert log write failure" and "Alert log write resumed" in the event log.
// Returns 1 when the row, and any held before it, are in the file, else 0.
int AppendAlertLog(const AlertEvent &event, const LocalTime &lt);
