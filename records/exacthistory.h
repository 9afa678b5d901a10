// The exact history: beside each NAME.csv, NAME.exact.csv with what the rates
// are made of (the octets and the milliseconds of each interval), the exact bit
// rates and the UTC time, appended once per poll cycle from the second on.
#pragma once

#include <cstdint>

// The first line of every exact history file.
#define EXACT_HISTORY_HEADER "Date,Time,UTC,Seconds,In octets,Out octets,bps In,bps Out,Speed"

// Appends one row for interface index to its NAME.exact.csv: the local date and
// time and the same moment in seconds since 1970; the seconds the interval
// covers (milliseconds of the monotonic clock, the longer direction's when both
// were measured); per direction the octets its counter grew by and octets × 8000
// / milliseconds, truncated and not clamped; and the link speed. A direction
// that was not measured has empty fields, and Seconds is empty when neither was.
// Held, written and logged as NAME.csv's rows are (records/history.h), with the
// same log lines naming this file. A file that is another interface's NAME.csv
// (an interface named "Uplink.exact" beside "Uplink") gets no rows: the log says
// "Exact history name taken" with its name once.
void AppendExactHistory(int32_t index);
