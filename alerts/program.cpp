#include "alerts/program.h"

#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "alerts/spawn.h"
#include "config/settings.h"
#include "records/log.h"

namespace {

// The programs running: the launcher's, but also asked from the window thread.
std::mutex g_childLock;
ChildProcess g_children[ALERT_PROGRAMS_MAX];
int g_childCount;

struct Launcher {
    std::mutex lock;
    std::condition_variable wake;  // an event queued, or stopping set
    AlertEvent queue[ALERT_LAUNCH_QUEUE_MAX];
    int head = 0, count = 0;
    bool stopping = false;
    char path[SETTINGS_VALUE_CHARS] = "";
    std::thread thread;
};
Launcher *g_launcher;  // set and cleared on the window thread only

void Launch(Launcher *l)
{
    std::unique_lock<std::mutex> lock(l->lock);
    for (;;) {
        l->wake.wait(lock, [l] { return l->stopping || l->count > 0; });
        if (l->stopping)
            return;
        AlertEvent event = l->queue[l->head];
        l->head = (l->head + 1) % ALERT_LAUNCH_QUEUE_MAX;
        l->count--;
        lock.unlock();
        RunAlertProgram(l->path, event);
        lock.lock();
    }
}

void WhatFor(const AlertEvent &event, char *what, size_t size)
{
    snprintf(what, size, "%s %s", event.name, event.event);
}

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
    std::lock_guard<std::mutex> children(g_childLock);
    ForgetEnded();
    char what[ALERT_NAME_CHARS + 16];
    WhatFor(event, what, sizeof what);
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

int StartAlertLauncher(const char *path)
{
    if (g_launcher)
        return 1;
    g_launcher = new Launcher;
    snprintf(g_launcher->path, sizeof g_launcher->path, "%s", path);
    g_launcher->thread = std::thread(Launch, g_launcher);
    return 1;
}

void LaunchAlertProgram(const AlertEvent &event)
{
    Launcher *l = g_launcher;
    if (!l)
        return;
    {
        std::lock_guard<std::mutex> lock(l->lock);
        if (l->count < ALERT_LAUNCH_QUEUE_MAX) {
            l->queue[(l->head + l->count) % ALERT_LAUNCH_QUEUE_MAX] = event;
            l->count++;
            l->wake.notify_one();
            return;
        }
    }
    char what[ALERT_NAME_CHARS + 16];
    WhatFor(event, what, sizeof what);
    WriteLog("Alert program busy", what);
}

void StopAlertLauncher()
{
    Launcher *l = g_launcher;
    if (l) {
        {
            std::lock_guard<std::mutex> lock(l->lock);
            l->stopping = true;
            l->wake.notify_one();
        }
        l->thread.join();
        delete l;
        g_launcher = nullptr;
    }
    ReleaseAlertPrograms();
}

int AlertProgramsRunning()
{
    std::lock_guard<std::mutex> children(g_childLock);
    ForgetEnded();
    return g_childCount;
}

void ReleaseAlertPrograms()
{
    std::lock_guard<std::mutex> children(g_childLock);
    for (int k = 0; k < g_childCount; k++)
        ReleaseChild(g_children[k]);
    g_childCount = 0;
}
