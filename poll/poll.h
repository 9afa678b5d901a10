// One complete poll of one configured interface.
#pragma once

// Probes the device of g_interfaces[index], reads its inbound and outbound
// counters when it answers (and its sysUpTime after a 32-bit counter went down),
// and updates the record's rates and percentages. Returns 0 on the record's first
// poll (baseline only), otherwise 1 when the device answered the probe and -1
// when it did not. window (the main window's handle) and message go unchanged to
// the SNMP sessions.
int PollInterface(void *window, unsigned int message, int index);
