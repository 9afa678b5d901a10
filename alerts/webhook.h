// Alerts posted to a URL (a chat service's incoming webhook, a script of the
// user's): one JSON POST per event, from a sender thread of its own, so the
// window thread never waits for the network.
#pragma once

#include "alerts/event.h"

#define WEBHOOK_QUEUE_MAX 100  // events waiting; past it the oldest go

// Starts the sender thread for url (http or https; host is the part of it the
// log may name, never the whole URL, which is a secret). Returns 1, or 0 when
// it could not start (logged).
int StartWebhook(const char *url, const char *host);

// Queues a copy of event for posting and returns at once. Does nothing while
// the sender is not started.
void PostAlert(const AlertEvent *event);

// Ends the sender: waits at most waitMs for a post in flight, and drops what
// is still queued.
void StopWebhook(unsigned waitMs);
