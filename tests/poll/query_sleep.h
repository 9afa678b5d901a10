// The twin of the query's sleep (poll/sleep.cpp): a program that links
// query_sleep.cpp gets every wait of the query through g_querySleep.
#pragma once

// The platform sleep until a test puts its own in.
extern void (*g_querySleep)(unsigned int milliseconds);
