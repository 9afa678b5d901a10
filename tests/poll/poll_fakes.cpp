#include "tests/poll/poll_fakes.h"

#include "poll/ping.h"
#include "poll/poll.h"

FakeWorld g_fake;

int64_t Time64()
{
    return g_fake.now;
}

int PingHost(const wchar_t *address)
{
    g_fake.probes.push_back(address);
    return g_fake.reachable;
}
