// The user's program (`run = PATH`), started for each event with the event in
// its environment and nothing on its command line but its own name, so no text
// of the event can ever be taken for a command. It is not waited for.
//
//   VELLARY_INTERFACE  the interface's name      VELLARY_IN, VELLARY_OUT
//   VELLARY_EVENT      down, up, above, normal      % In and % Out, empty where
//   VELLARY_ADDRESS    the device's address         there is no figure
//   VELLARY_TIME       2026-12-09T03:14:07+01:00
//   VELLARY_DETAIL     the address, and for "above" which direction
#pragma once

#include "alerts/event.h"

#define ALERT_PROGRAMS_MAX 4  // running at once; an event past them is not run
#define ALERT_ENV_VARS 7
#define ALERT_ENV_CHARS 128  // one NAME=value, UTF-8

// The event's entries, NAME=value, control characters left out of the values.
struct AlertEnvironment {
    char entries[ALERT_ENV_VARS][ALERT_ENV_CHARS];
};

void FormAlertEnvironment(const AlertEvent &event, AlertEnvironment *env);

// Whether path names a batch file (.cmd or .bat, in any case), which Windows
// runs through cmd.exe /c.
int IsBatchFile(const char *path);

// Starts the program at path (UTF-8) for event. An event that finds
// ALERT_PROGRAMS_MAX of them still running is logged "Alert program busy" and
// not run; a program that cannot be started is logged "Alert program failure";
// both with the interface and the event as the detail. Returns 1 when started.
int RunAlertProgram(const char *path, const AlertEvent &event);

// The launcher: a thread of its own that starts the programs, so that the
// window thread only hands an event over (a CreateProcessW takes 20 ms and
// more under Wine). Started by StartAlerts when `run` is set, and not otherwise.
// An event that finds ALERT_LAUNCH_QUEUE_MAX still waiting to start is logged
// "Alert program busy". StopAlertLauncher drops what has not started yet,
// waits for a start under way, and lets go of the programs still running.
#define ALERT_LAUNCH_QUEUE_MAX 16
int StartAlertLauncher(const char *path);
void LaunchAlertProgram(const AlertEvent &event);
void StopAlertLauncher();

// How many of the programs started are still running.
int AlertProgramsRunning();

// Lets go of the programs still running, without waiting for them.
void ReleaseAlertPrograms();
