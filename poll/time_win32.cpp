#include <ctime>

#include "poll/poll.h"

int64_t Time64()
{
    return _time64(nullptr);
}
