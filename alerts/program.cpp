#include "alerts/program.h"

#include <cstdio>
#include <cstring>

#include "alerts/spawn.h"
#include "records/log.h"

namespace {

ChildProcess g_children[ALERT_PROGRAMS_MAX];
int g_childCount;

void ForgetEnded()
{
    for (int k = 0; k < g_childCount;) {
        if (ChildEnded(g_children[k]))
            g_children[k] = g_children[--g_childCount];
        else
            k++;
    }
}

void SetEntry(char *entry, const char *name, const char *value)
{
    size_t used = static_cast<size_t>(snprintf(entry, ALERT_ENV_CHARS, "%s=", name));
    for (const char *p = value; *p && used + 1 < ALERT_ENV_CHARS; p++)
        if (static_cast<unsigned char>(*p) >= 0x20 && *p != 0x7F)
            entry[used++] = *p;
    entry[used] = '\0';
}

}  // namespace

void FormAlertEnvironment(const AlertEvent &event, AlertEnvironment *env)
{
    char in[16] = "", out[16] = "";
    if (event.hasIn)
        snprintf(in, sizeof in, "%d", static_cast<int>(event.pctIn));
    if (event.hasOut)
        snprintf(out, sizeof out, "%d", static_cast<int>(event.pctOut));
    SetEntry(env->entries[0], "VELLARY_INTERFACE", event.name);
    SetEntry(env->entries[1], "VELLARY_EVENT", event.event);
    SetEntry(env->entries[2], "VELLARY_ADDRESS", event.address);
    SetEntry(env->entries[3], "VELLARY_IN", in);
    SetEntry(env->entries[4], "VELLARY_OUT", out);
    SetEntry(env->entries[5], "VELLARY_TIME", event.time);
    SetEntry(env->entries[6], "VELLARY_DETAIL", event.detail);
}

int IsBatchFile(const char *path)
{
    size_t n = strlen(path);
    if (n < 4 || path[n - 4] != '.')
        return 0;
    char ext[4];
    for (int k = 0; k < 3; k++) {
        char c = path[n - 3 + k];
        ext[k] = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    }
    ext[3] = '\0';
    return strcmp(ext, "cmd") == 0 || strcmp(ext, "bat") == 0;
}

int RunAlertProgram(const char *path, const AlertEvent &event)
{
    ForgetEnded();
    char what[ALERT_NAME_CHARS + 16];
    snprintf(what, sizeof what, "%s %s", event.name, event.event);
    if (g_childCount == ALERT_PROGRAMS_MAX) {
        WriteLog("Alert program busy", what);
        return 0;
    }
    AlertEnvironment env;
    FormAlertEnvironment(event, &env);
    if (!StartChild(path, env, &g_children[g_childCount])) {
        WriteLog("Alert program failure", what);
        return 0;
    }
    g_childCount++;
    return 1;
}

int AlertProgramsRunning()
{
    ForgetEnded();
    return g_childCount;
}

void ReleaseAlertPrograms()
{
    for (int k = 0; k < g_childCount; k++)
        ReleaseChild(g_children[k]);
    g_childCount = 0;
}
