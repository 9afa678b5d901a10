// Alerts (vellary.ini's [alerts]): after each interface's poll the cycle calls
// RaiseAlerts, which steps the interface's alert state (states.h) and hands each
// event to the alert log, the user's program and the webhook, all without
// waiting; the window shows it in the tray. Without an [alerts] section, or
// with a mistake in one, every call here does nothing.
#pragma once

#include "alerts/event.h"
#include "alerts/states.h"

// Clears every interface's state, and starts the webhook's sender when `post`
// is set and the launcher of the user's program when `run` is. Called once at start-up, after vellary.ini is read.
void StartAlerts();

// The events of interface index's last poll (g_interfaces[index]), into events
// (room for ALERT_CHANGES_MAX): each already in the alert log, its program's
// start and its post handed over. Returns how many; 0 when alerts are off.
int RaiseAlerts(int index, AlertEvent *events);

// Ends the webhook's sender, waiting at most 2 s for a post in flight, and the
// launcher. The programs started are not waited for.
void StopAlerts();

// 1 while interface index is "down" (from "down" until "up"), else 0; 0 when
// alerts are off.
int AlertDown(int index);

// 1 while interface index is "above" (from "above" until "normal"), else 0; 0
// when alerts are off.
int AlertAbove(int index);

// How many of the g_interfaceCount interfaces are down, and how many above.
void CountAlerts(int *down, int *above);
