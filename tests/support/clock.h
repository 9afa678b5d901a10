// A fixed local clock for tests that check the exact dates and times written.
#pragma once

#include "records/localtime.h"
#include "tests/support/files.h"

// Runs each test in its own directory with the local clock fixed at
// 05-12-2026 14:03:07, in a zone at UTC (so that moment is 1796479387 s since
// 1970), until SetClock or SetUtcOffset moves it. A test program gets this clock
// by linking clock.cpp, which stands in for the system's (records/localtime.h).
class InTempDirFixedClock : public InTempDir {
protected:
    void SetUp() override;
    static void SetClock(int day, int month, int year, int hour, int minute, int second);
    static void SetUtcOffset(int minutes);
};
