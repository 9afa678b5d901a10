// Stands in for cfgtool/system.cpp in the walker's tests: tries 200 ms apart,
// and a ping answered as the test says.
#pragma once

// Whether the device "answers ping" from now on (1 at the start).
void SetPingAnswers(int answers);
