// Stand-ins for the probe and the clock (poll_fakes.cpp), and for the counter query
// and the log (query_fakes.cpp), linked into the interface-poll tests in place of
// the real ones.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct FakeQuery {
    std::string ip, community, oid;
    void *window;
    unsigned int message;
    int64_t slotOnEntry;
    unsigned int translateMode;
};

struct FakeWorld {
    int64_t now = 1700000000;  // seconds of the monotonic clock
    int reachable = 1;
    // Scripted answers to the queries, sysUpTime's included, taken in order: a
    // value > 0 is a reading, 0 no value; and the width of each (32 where none is
    // given).
    std::vector<int64_t> answers;
    std::vector<int> bits;
    size_t next = 0;
    // How long each query takes (answered, unanswered), counted since the clock
    // last moved: a query is timed when its GET goes out.
    int64_t answeredMs = 0, unansweredMs = 0;
    int64_t spentMs = 0;

    std::vector<std::wstring> probes;
    std::vector<FakeQuery> queries;
    std::vector<std::string> log;
};

extern FakeWorld g_fake;
