// The flow of an alert: the state's step, then each receiver in turn, on the
// window thread inside the cycle. Only the alert log is written here; the
// program's start and the post are handed to threads of their own.
#include "alerts/alerts.h"

#include <cstdio>
#include <cstring>

#include "alerts/alertlog.h"
#include "alerts/program.h"
#include "alerts/webhook.h"
#include "config/interfaces.h"
#include "config/settings.h"
#include "records/localtime.h"

namespace {

AlertState g_states[MAX_INTERFACES];
int g_webhook;  // the sender runs

const char *const kEventNames[] = {"down", "up", "above", "normal"};

void FormEvent(int index, const AlertChange &change, const LocalTime &lt, int offset, AlertEvent *event)
{
    const InterfaceRecord *rec = &g_interfaces[index];
    memset(event, 0, sizeof *event);
    event->index = index;
    snprintf(event->name, sizeof event->name, "%s", FieldValue(rec->strName).str);
    snprintf(event->address, sizeof event->address, "%s", FieldValue(rec->strIP).str);
    event->event = kEventNames[change.kind];
    event->hasIn = rec->measuredIn != 0;
    event->hasOut = rec->measuredOut != 0;
    event->pctIn = event->hasIn ? rec->pctIn : 0;
    event->pctOut = event->hasOut ? rec->pctOut : 0;
    // Each field within its range, so the text is seen to fit.
    unsigned east = static_cast<unsigned>(offset < 0 ? -offset : offset) % (100 * 60);
    snprintf(event->time, sizeof event->time, "%04u-%02u-%02uT%02u:%02u:%02u%c%02u:%02u",
             static_cast<unsigned>(lt.year) % 10000, static_cast<unsigned>(lt.month) % 100,
             static_cast<unsigned>(lt.day) % 100, static_cast<unsigned>(lt.hour) % 100,
             static_cast<unsigned>(lt.minute) % 100, static_cast<unsigned>(lt.second) % 100, offset < 0 ? '-' : '+',
             east / 60, east % 60);
    static const char *const kDirections[] = {"", " in", " out", " in and out"};
    snprintf(event->detail, sizeof event->detail, "%s%s", event->address,
             change.kind == ALERT_ABOVE ? kDirections[change.directions & 3] : "");
}

}  // namespace

void StartAlerts()
{
    memset(g_states, 0, sizeof g_states);
    g_webhook = 0;
    if (g_settings.alerts.on && g_settings.alerts.post[0])
        g_webhook = StartWebhook(g_settings.alerts.post, g_settings.alerts.postHost);
    if (g_settings.alerts.on && g_settings.alerts.run[0])
        StartAlertLauncher(g_settings.alerts.run);
}

int RaiseAlerts(int index, AlertEvent *events)
{
    if (!g_settings.alerts.on || index < 0 || index >= MAX_INTERFACES)
        return 0;
    const InterfaceRecord *rec = &g_interfaces[index];
    AlertPoll poll = {rec->freshIn, rec->freshOut, rec->measuredIn, rec->measuredOut, rec->pctIn, rec->pctOut};
    AlertChange changes[ALERT_CHANGES_MAX];
    int count = StepAlert(g_settings.alerts.rules[index], poll, &g_states[index], changes);
    if (count == 0)
        return 0;

    LocalTime lt;
    ReadLocalTime(&lt);
    int offset = UtcOffsetMinutes(lt);
    for (int k = 0; k < count; k++) {
        FormEvent(index, changes[k], lt, offset, &events[k]);
        AppendAlertLog(events[k], lt);
        LaunchAlertProgram(events[k]);
        if (g_webhook)
            PostAlert(&events[k]);
    }
    return count;
}

void StopAlerts()
{
    if (g_webhook)
        StopWebhook(2000);
    g_webhook = 0;
    StopAlertLauncher();
}

int AlertDown(int index)
{
    return g_settings.alerts.on && index >= 0 && index < MAX_INTERFACES ? g_states[index].down : 0;
}

int AlertAbove(int index)
{
    return g_settings.alerts.on && index >= 0 && index < MAX_INTERFACES ? g_states[index].above : 0;
}

void CountAlerts(int *down, int *above)
{
    *down = 0;
    *above = 0;
    for (int i = 0; i < g_interfaceCount && i < MAX_INTERFACES; i++) {
        *down += AlertDown(i);
        *above += AlertAbove(i);
    }
}
