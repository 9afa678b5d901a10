// An event of interface name at 2026-12-09 03:14:07 +01:00, from 192.0.2.1,
// with no figures: what the alerts tests start from.
#pragma once

#include <cstdio>

#include "alerts/event.h"

inline AlertEvent SampleEvent(const char *name, const char *what)
{
    AlertEvent e = {};
    snprintf(e.name, sizeof e.name, "%s", name);
    snprintf(e.address, sizeof e.address, "192.0.2.1");
    e.event = what;
    snprintf(e.time, sizeof e.time, "2026-12-09T03:14:07+01:00");
    return e;
}
