// Stands in for alerts/retrywait.cpp in the tests that link it.
#include "tests/alerts/fastwait.h"

#include <chrono>

#include "alerts/retrywait.h"

namespace {

std::mutex g_lock;
std::vector<unsigned> g_waits;
std::atomic<bool> g_held{false};

}  // namespace

std::vector<unsigned> RetryWaits()
{
    std::lock_guard<std::mutex> guard(g_lock);
    return g_waits;
}

void ForgetRetryWaits()
{
    std::lock_guard<std::mutex> guard(g_lock);
    g_waits.clear();
}

void HoldRetries(bool held) { g_held = held; }

bool WaitBeforeRetry(unsigned ms, std::condition_variable &wake, std::unique_lock<std::mutex> &lock,
                     const std::atomic<bool> *stopping)
{
    {
        std::lock_guard<std::mutex> guard(g_lock);
        g_waits.push_back(ms);
    }
    auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms / 1000);
    while (!stopping->load() && (g_held || std::chrono::steady_clock::now() < end))
        wake.wait_for(lock, std::chrono::milliseconds(1));
    return stopping->load();
}
