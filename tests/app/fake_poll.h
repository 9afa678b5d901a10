// A scripted interface poll, linked into window tests in place of the real one.
#pragma once

#include <functional>

// Called for every poll with the arguments the window passed; returns the poll's
// result. While it is empty every poll returns 0.
extern std::function<int(void *window, unsigned int message, int index)> g_fakePoll;
