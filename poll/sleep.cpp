// A file of its own: tests link a twin of QuerySleep in its place.
#include <chrono>
#include <thread>

#include "poll/snmpquery.h"

void QuerySleep(unsigned int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
