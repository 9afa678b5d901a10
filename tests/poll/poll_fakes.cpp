#include "tests/poll/poll_fakes.h"

#include "poll/clock.h"
#include "poll/ping.h"

FakeWorld g_fake;

int64_t MonotonicMs() { return g_fake.now * 1000 + g_fake.spentMs; }

int PingHost(const wchar_t *address)
{
    g_fake.probes.push_back(address);
    return g_fake.reachable;
}
