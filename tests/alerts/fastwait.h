// The sender's retry waits, as the twin in fastwait.cpp keeps them: each one
// asked for is recorded and lasts a thousandth of its time.
#pragma once

#include <vector>

std::vector<unsigned> RetryWaits();  // the waits asked for, in order
void ForgetRetryWaits();
// While held, a wait does not end until released (or the sender stops).
void HoldRetries(bool held);
