// Per-interface utilisation history: one CSV file per interface, appended once per poll cycle.
#pragma once

#include <cstdint>

// The name of the history file last written, relative to the working directory.
extern char g_strFileName[260];

// Appends one row (local date, hour, time, inbound and outbound percent of the link
// speed) to the history file of interface index, creating the file with its header
// first. A file that cannot be opened loses the row; nothing is reported.
void AppendHistory(int32_t index);
