#include "alerts/retrywait.h"

#include <atomic>
#include <chrono>

bool WaitBeforeRetry(unsigned ms, std::condition_variable &wake, std::unique_lock<std::mutex> &lock,
                     const std::atomic<bool> *stopping)
{
    return wake.wait_for(lock, std::chrono::milliseconds(ms), [stopping] { return stopping->load(); });
}
