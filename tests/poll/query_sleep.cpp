#include "tests/poll/query_sleep.h"

#include <chrono>
#include <thread>

#include "poll/snmpquery.h"

namespace {

void PlatformSleep(unsigned int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace

void (*g_querySleep)(unsigned int milliseconds) = PlatformSleep;

void QuerySleep(unsigned int milliseconds) { g_querySleep(milliseconds); }
