#include <ctime>

#include "poll/poll.h"

int64_t Time64()
{
    static_assert(sizeof(time_t) == 8, "the rate clock needs 64-bit seconds");
    return static_cast<int64_t>(time(nullptr));
}
