// Alerts posted to a URL (a chat service's incoming webhook, a script of the
// user's): one JSON POST per event, from a sender thread of its own, so the
// window thread never waits for the network.
#pragma once

#include <cstddef>

#include "alerts/event.h"

#define WEBHOOK_QUEUE_MAX 100    // events waiting; past it the oldest go
#define WEBHOOK_TRY_MS 10000     // one try: for the connection and for the answer alike
#define WEBHOOK_RETRIES 3        // tries after the first: 30 s, 2 min and 10 min after the one before
#define WEBHOOK_BODY_CHARS 1024  // an event's JSON, with room to spare

// Starts the sender thread for url (http or https; host is the part of it the
// log may name, never the whole URL, which is a secret). Returns 1, or 0 when
// it could not start (logged).
int StartWebhook(const char *url, const char *host);

// Queues a copy of event for posting and returns at once. Does nothing while
// the sender is not started.
void PostAlert(const AlertEvent *event);

// Ends the sender: waits at most waitMs for a post in flight, then ends that
// post (libcurl at once; a WinHTTP call that will not end leaves the thread
// to end with the process), and drops what is still queued, saying nothing
// more in the log.
void StopWebhook(unsigned waitMs);

// The n bytes at text as the inside of a JSON string, into out (cap bytes,
// zero-ended): UTF-8 as it is; text that is not valid UTF-8 read as one
// character per byte; '"', '\' and control characters (C0, DEL, C1) escaped.
// Returns the length written, or -1 (out empty, cap above 0) when it does not fit.
int JsonEscape(const char *text, size_t n, char *out, size_t cap);

// The body posted for event, into body (cap bytes, zero-ended): "text" for a
// chat service, then each field for a script. Returns its length, or 0 (body
// empty, cap above 0) when it does not fit.
size_t FormatAlertJson(const AlertEvent *event, char *body, size_t cap);
