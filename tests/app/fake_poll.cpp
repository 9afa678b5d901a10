#include "tests/app/fake_poll.h"

#include "poll/poll.h"

std::function<int(void *window, unsigned int message, int index)> g_fakePoll;

int PollInterface(void *window, unsigned int message, int index)
{
    return g_fakePoll ? g_fakePoll(window, message, index) : 0;
}
