// The sender's wait between the tries of a post. In a file of its own so that
// tests link a twin that keeps the schedule without sitting through it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>

// Waits on wake, lock held as for a condition variable's wait, until *stopping
// is true or ms have passed. Returns *stopping.
bool WaitBeforeRetry(unsigned ms, std::condition_variable &wake, std::unique_lock<std::mutex> &lock,
                     const std::atomic<bool> *stopping);
