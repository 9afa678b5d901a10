#include "tests/cfgtool/quick_system.h"

#include <atomic>

#include "cfgtool/system.h"

namespace {

std::atomic<int> g_pingAnswers{1};

}  // namespace

void SetPingAnswers(int answers)
{
    g_pingAnswers = answers;
}

int TryIntervalMs()
{
    // Long enough for any reply on the loopback, short enough for tests that
    // wait out every try.
    return 200;
}

int AnswersPing(const char *)
{
    return g_pingAnswers;
}
