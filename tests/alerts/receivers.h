// The receivers that with-receivers.sh starts beside a test program, and what
// they were sent.
#pragma once

#include <string>
#include <vector>

// A base URL or a path from with-receivers.sh, or "" when the program runs
// without it.
std::string ReceiverEnv(const char *name);

struct Arrival {
    std::string status;  // as answered, "-" for none
    std::string path;
    std::string type;  // Content-Type
    double time;       // wall clock, seconds since 1970
    std::string body;
};

// What the receiver whose log is at logPath got for paths that start with
// prefix, in order; waits up to waitMs for at least count of them.
std::vector<Arrival> Arrivals(const std::string &logPath, const std::string &prefix, size_t count = 0,
                              int waitMs = 5000);
