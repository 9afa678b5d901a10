// Per-interface utilisation history: one CSV file per interface, appended once per poll cycle.
#pragma once

#include <cstddef>
#include <cstdint>

struct InterfaceRecord;

// The first line of every history file.
#define HISTORY_HEADER "Date,Hour,Time,% In,% Out"

// Rows held per interface while its file cannot be written: seven days at 300 s.
#define HISTORY_HELD_MAX 2016

// The name of the history file last written, relative to the working directory.
extern char g_strFileName[260];

// Appends one row (local date, hour, time, inbound and outbound percent of the link
// speed, each an empty field when its direction was not measured) to the history
// file of interface index, after the header when the file is new or empty. When
// the file cannot be opened or the row does not reach it whole (a write, the flush
// or the close fails; what got in is cut off again) the row is held, with its
// time, and written in order before the next row that gets through (with the rows
// held for any other interface of the same name). The log says "History write
// failure" when a file first fails, "History rows dropped" when past
// HISTORY_HELD_MAX the oldest go, and "History write resumed" once the held rows
// are written. Rows still held when the process ends are lost.
void AppendHistory(int32_t index);
