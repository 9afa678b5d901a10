// Not built yet: the sender takes nothing, so nothing is posted.
#include "alerts/webhook.h"

int StartWebhook(const char *, const char *)
{
    return 0;
}

void PostAlert(const AlertEvent *) {}

void StopWebhook(unsigned) {}
