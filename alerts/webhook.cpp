// The webhook's sender: a queue filled by the window thread and emptied by a
// thread of its own, one post at a time. Events go in the order they happened,
// and one that fails holds the rest back until it is sent or dropped: a chat
// channel that showed "up" before "down" would tell the reader the wrong state.
#include "alerts/webhook.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include "alerts/post.h"
#include "alerts/retrywait.h"
#include "config/settings.h"
#include "records/log.h"

namespace {

const unsigned kRetryWaitsMs[WEBHOOK_RETRIES] = {30000, 120000, 600000};
// After StopWebhook's wait, how long a cancelled post may take to end.
const unsigned kCancelGraceMs = 100;

struct Sender {
    std::mutex lock;
    std::condition_variable wake;  // an event queued, stopping set, the thread finished
    AlertEvent queue[WEBHOOK_QUEUE_MAX];
    int first = 0;
    int count = 0;
    long dropped = 0;                   // pushed out of the full queue since the last line about it
    std::atomic<bool> stopping{false};  // set under lock; from then on nothing is logged
    bool finished = false;
    char host[SETTINGS_HOST_CHARS] = {};
    HttpPost post;
    std::thread thread;
};

// Set, read and cleared on the window thread only.
Sender *g_sender;

void Say(const Sender *s, const char *message, const char *detail)
{
    if (!s->stopping)
        WriteLog(message, detail);
}

// Tries one event until it is sent, its last retry failed, or the sender stops.
// Returns whether it was sent; *failing says whether posts are failing.
bool Deliver(Sender *s, const AlertEvent *event, std::unique_lock<std::mutex> &lock, bool *failing)
{
    char body[WEBHOOK_BODY_CHARS];
    size_t n = FormatAlertJson(event, body, sizeof body);
    for (int attempt = 0; n > 0; attempt++) {
        long status;
        int result = s->post.Send(body, n, WEBHOOK_TRY_MS, &status);
        if (result == POST_SENT)
            return true;
        if (result == POST_CANCELLED)
            return false;
        if (!*failing) {
            Say(s, "Alert post failure", s->host);
            *failing = true;
        }
        if (attempt == WEBHOOK_RETRIES)
            break;
        lock.lock();
        bool stop = WaitBeforeRetry(kRetryWaitsMs[attempt], s->wake, lock, &s->stopping);
        lock.unlock();
        if (stop)
            return false;
    }
    char what[ALERT_NAME_CHARS + 16];
    snprintf(what, sizeof what, "%.*s %s", static_cast<int>(sizeof event->name), event->name,
             event->event ? event->event : "");
    Say(s, "Alert post dropped", what);
    return false;
}

void Run(Sender *s)
{
    bool failing = false;
    std::unique_lock<std::mutex> lock(s->lock);
    for (;;) {
        s->wake.wait(lock, [s] { return s->stopping || s->count > 0; });
        if (s->stopping)
            break;
        AlertEvent event = s->queue[s->first];
        s->first = (s->first + 1) % WEBHOOK_QUEUE_MAX;
        s->count--;
        long dropped = s->dropped;
        s->dropped = 0;
        lock.unlock();
        if (dropped > 0) {
            char number[24];
            snprintf(number, sizeof number, "%ld", dropped);
            Say(s, "Alert posts dropped", number);
        }
        if (Deliver(s, &event, lock, &failing) && failing) {
            Say(s, "Alert post resumed", s->host);
            failing = false;
        }
        lock.lock();
    }
    s->finished = true;
    s->wake.notify_all();
}

}  // namespace

int StartWebhook(const char *url, const char *host)
{
    if (g_sender)
        return 1;
    Sender *s = new (std::nothrow) Sender;
    if (!s) {
        WriteLog("Alert post failure", host);
        return 0;
    }
    snprintf(s->host, sizeof s->host, "%s", host ? host : "");
    bool started = PostStartup();
    bool opened = started && s->post.Open(url);
    if (opened) {
        try {
            s->thread = std::thread(Run, s);
            g_sender = s;
            return 1;
        } catch (const std::system_error &) {
        }
    }
    WriteLog("Alert post failure", s->host);
    s->post.Close();
    if (started)
        PostCleanup();
    delete s;
    return 0;
}

void PostAlert(const AlertEvent *event)
{
    Sender *s = g_sender;
    if (!s || !event)
        return;
    {
        std::lock_guard<std::mutex> guard(s->lock);
        if (s->count == WEBHOOK_QUEUE_MAX) {
            s->first = (s->first + 1) % WEBHOOK_QUEUE_MAX;
            s->count--;
            s->dropped++;
        }
        s->queue[(s->first + s->count) % WEBHOOK_QUEUE_MAX] = *event;
        s->count++;
    }
    s->wake.notify_all();
}

void StopWebhook(unsigned waitMs)
{
    Sender *s = g_sender;
    if (!s)
        return;
    g_sender = nullptr;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    std::unique_lock<std::mutex> lock(s->lock);
    s->stopping = true;
    s->wake.notify_all();
    auto ended = [s] { return s->finished; };
    if (!s->wake.wait_until(lock, deadline, ended)) {
        lock.unlock();
        s->post.Cancel();
        lock.lock();
        if (!s->wake.wait_for(lock, std::chrono::milliseconds(kCancelGraceMs), ended)) {
            // The platform would not end its call: the thread ends with the
            // process, and keeps what it uses.
            lock.unlock();
            s->thread.detach();
            return;
        }
    }
    lock.unlock();
    s->thread.join();
    s->post.Close();
    PostCleanup();
    delete s;
}
