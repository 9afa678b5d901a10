// One alert event, as every receiver takes it (the alert log, the tray, a
// program, a webhook): its texts ready to print, so no receiver works them out
// again, and a copy can cross to another thread.
#pragma once

#include <cstdint>

#define ALERT_NAME_CHARS 16     // an interface name: 15 bytes of vellary.cfg and a zero
#define ALERT_ADDRESS_CHARS 18  // an address: 17 bytes and a zero
#define ALERT_TIME_CHARS 32
#define ALERT_DETAIL_CHARS 96

struct AlertEvent {
    int32_t index;                        // the interface, in vellary.cfg's order
    char name[ALERT_NAME_CHARS];          // as vellary.cfg has it: UTF-8, or 8-bit text
    char address[ALERT_ADDRESS_CHARS];    // the device's
    const char *event;                    // "down", "up", "above" or "normal"
    int32_t hasIn, hasOut;                // 0: that direction has no figure
    int32_t pctIn, pctOut;                // the poll's % In and % Out, where there is one
    char time[ALERT_TIME_CHARS];          // local time, ISO 8601 with offset: 2026-12-09T03:14:07+01:00
    char detail[ALERT_DETAIL_CHARS];      // the address, and for "above" which direction
};
