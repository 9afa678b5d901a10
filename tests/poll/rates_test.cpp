#include "poll/rates.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

// Times in milliseconds; the cases give them in seconds.
struct Direction {
    int64_t prevReading;
    int64_t prevTime;
    int64_t bps = -7;  // anything but the expected, so a missed write shows
    int32_t pct = -7;
    int64_t octets = -7;
    int64_t ms = -7;
    int measured = -7;

    void Update(const CounterReading *fresh, int64_t linkSpeed)
    {
        measured = UpdateDirection(fresh, linkSpeed, &prevReading, &prevTime, &bps, &pct, &octets, &ms);
    }
};

// A fresh reading of a 32-bit (or 64-bit) counter `seconds` after a baseline taken at t = 1000 s.
Direction Step(int64_t baseline, int64_t reading, int64_t seconds, int64_t linkSpeed, int counter64 = 0)
{
    Direction d{baseline, 1000000};
    CounterReading fresh = {reading, (1000 + seconds) * 1000, counter64, 0};
    d.Update(&fresh, linkSpeed);
    return d;
}

TEST(RateCalc, WorkedFigures)
{
    struct Case {
        const char *name;
        int64_t previous, latest, seconds;
        int64_t linkSpeed, bps;
        int32_t pct;
    } cases[] = {
        {"steady 100,000 bit/s", 1000000, 4750000, 300, 1000000, 100000, 10},
        {"counter wrap", 4294000000, 1032704, 300, 1000000, 53333, 5},
        {"160 percent drops the rate", 0, 60000000, 300, 1000000, 0, 160},
        {"no change", 5000, 5000, 300, 1000000, 0, 0},
        {"150 percent keeps the rate", 0, 56250000, 300, 1000000, 1500000, 150},
        {"151 percent drops the rate", 0, 56625000, 300, 1000000, 0, 151},
        {"30 percent of 100 Mbit/s", 0, 1125000000, 300, 100000000, 30000000, 30},
        {"percentage truncates to 0", 0, 99999, 8, 10000000, 99999, 0},
        {"rate truncates", 0, 1, 3, 1000000, 2, 0},
        {"step from 4294967295 to 0 is one octet", 4294967295, 0, 8, 1000000, 1, 0},
        {"link speed 0 keeps the rate", 0, 3750000, 300, 0, 100000, 0},
        {"negative link speed keeps the rate", 0, 3750000, 300, -5, 100000, 0},
        {"rate past int32 on a 100 Gbit/s link", 0, 4000000000, 1, 100000000000, 32000000000, 32},
        {"the same on a 2 Gbit/s link is out of range", 0, 4000000000, 1, 2000000000, 0, 1600},
        {"percentage saturates on a tiny link", 0, 4000000000, 1, 1, 0, INT32_MAX},
        {"below a baseline past 32 bits is a reset", 5000000000, 1000, 300, 1000000, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Direction d = Step(c.previous, c.latest, c.seconds, c.linkSpeed);
        EXPECT_EQ(c.bps, d.bps);
        EXPECT_EQ(c.pct, d.pct);
        // The reading and this poll's time are the next baseline.
        EXPECT_EQ(c.latest, d.prevReading);
        EXPECT_EQ((1000 + c.seconds) * 1000, d.prevTime);
    }
}

TEST(RateCalc, SixtyFourBitReadings)
{
    const int64_t kTen = INT64_C(10000000000);
    struct Case {
        const char *name;
        int64_t previous, latest, seconds, linkSpeed, bps;
        int32_t pct;
    } cases[] = {
        // 348,750,000,000 octets: the low 32 bits pass 2^32 81 times.
        {"9.3 Gbit/s on 10 Gbit/s", INT64_C(1000000000000), INT64_C(1348750000000), 300, kTen, 9300000000, 93},
        {"lower reading is a reset, not a wrap", 4294000000, 1032704, 300, 1000000, 0, 0},
        {"reset to 0", INT64_C(5000000000000), 0, 300, kTen, 0, 0},
        {"no change", INT64_C(5000000000000), INT64_C(5000000000000), 300, kTen, 0, 0},
        {"difference x 8 past int64", 0, INT64_C(3458764513820540928), 6, INT64_MAX, INT64_C(4611686018427387904), 50},
        {"rate saturates at int64", 0, INT64_MAX, 1, INT64_MAX, INT64_MAX, 100},
        {"percentage saturates at int32", 0, INT64_MAX, 1, 1, 0, INT32_MAX},
        {"151 percent of 999,999,999,999 drops the rate", 0, INT64_C(188750000000000), 1000, INT64_C(999999999999), 0, 151},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Direction d = Step(c.previous, c.latest, c.seconds, c.linkSpeed, 1);
        EXPECT_EQ(c.bps, d.bps);
        EXPECT_EQ(c.pct, d.pct);
        EXPECT_EQ(c.latest, d.prevReading);  // a reset is the new baseline too
        EXPECT_EQ((1000 + c.seconds) * 1000, d.prevTime);
    }
}

TEST(RateCalc, NoFreshReadingKeepsTheBaseline)
{
    Direction d{1000000, 1000000};
    d.Update(nullptr, 1000000);
    EXPECT_EQ(0, d.measured);
    EXPECT_EQ(0, d.bps);
    EXPECT_EQ(0, d.pct);
    EXPECT_EQ(1000000, d.prevReading);
    EXPECT_EQ(1000000, d.prevTime);

    // The next fresh reading spans both intervals: a steady 100,000 bit/s stays so.
    CounterReading fresh = {1000000 + 7500000, 1600000, 0, 0};
    d.Update(&fresh, 1000000);
    EXPECT_EQ(1, d.measured);
    EXPECT_EQ(100000, d.bps);
    EXPECT_EQ(10, d.pct);
    EXPECT_EQ(7500000, d.octets);
    EXPECT_EQ(600000, d.ms);
}

TEST(RateCalc, FirstFreshReadingOnlyTakesTheBaseline)
{
    Direction d{0, 0};  // never read
    CounterReading fresh = {123456789, 1300000, 0, 0};
    d.Update(&fresh, 1000000);
    EXPECT_EQ(0, d.measured);
    EXPECT_EQ(0, d.bps);
    EXPECT_EQ(0, d.pct);
    EXPECT_EQ(123456789, d.prevReading);
    EXPECT_EQ(1300000, d.prevTime);
}

TEST(RateCalc, NoTimeElapsedGivesNoRateButANewBaseline)
{
    for (int64_t seconds : {0, -1, -300}) {
        SCOPED_TRACE(seconds);
        Direction d = Step(1000000, 4750000, seconds, 1000000);
        EXPECT_EQ(0, d.measured);
        EXPECT_EQ(0, d.bps);
        EXPECT_EQ(0, d.pct);
        EXPECT_EQ(4750000, d.prevReading);
        EXPECT_EQ((1000 + seconds) * 1000, d.prevTime);
    }
}

// Milliseconds, not whole seconds: 10.04 s of a true 1,000,000 bit/s.
TEST(RateCalc, DividesByTheMilliseconds)
{
    Direction d{0, 1000000};
    CounterReading fresh = {1255000, 1010040, 0, 0};
    d.Update(&fresh, 100000000);
    EXPECT_EQ(1, d.measured);
    EXPECT_EQ(1000000, d.bps);
    EXPECT_EQ(1255000, d.octets);
    EXPECT_EQ(10040, d.ms);
}

// A restart measures nothing, wrap or not, and its reading is the next baseline.
TEST(RateCalc, ARestartIsADiscontinuity)
{
    for (int64_t reading : {INT64_C(1032704), INT64_C(4294000001)}) {
        SCOPED_TRACE(reading);
        Direction d{4294000000, 1000000};
        CounterReading fresh = {reading, 1300000, 0, 1};
        d.Update(&fresh, 1000000);
        EXPECT_EQ(0, d.measured);
        EXPECT_EQ(0, d.bps);
        EXPECT_EQ(0, d.pct);
        EXPECT_EQ(0, d.octets);
        EXPECT_EQ(reading, d.prevReading);
        EXPECT_EQ(1300000, d.prevTime);
    }
}

TEST(RestartCheck, OnlyA32BitReadingBelowA32BitBaselineAsks)
{
    struct Case {
        const char *name;
        int64_t baseline, baselineMs, reading;
        int counter64, asks;
    } cases[] = {
        {"lower", 4294000000, 1000, 1032704, 0, 1},
        {"equal", 5000, 1000, 5000, 0, 0},
        {"higher", 5000, 1000, 5001, 0, 0},
        {"a Counter64 is a reset without asking", 4294000000, 1000, 1032704, 1, 0},
        {"below a baseline past 32 bits is a reset already", 5000000000, 1000, 1000, 0, 0},
        {"no baseline", 0, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        CounterReading fresh = {c.reading, 2000, c.counter64, 0};
        EXPECT_EQ(c.asks, FellBelowBaseline(fresh, c.baseline, c.baselineMs));
    }
}

TEST(RestartCheck, UpForLessThanSinceTheReadingIsARestart)
{
    // The baseline was read at 1000 ms, sysUpTime asked at 301000 ms: 300 s later.
    EXPECT_EQ(1, RestartedSince(0, 301000, 1000));
    EXPECT_EQ(1, RestartedSince(29999, 301000, 1000));
    EXPECT_EQ(0, RestartedSince(30000, 301000, 1000));
    EXPECT_EQ(0, RestartedSince(4294967295, 301000, 1000));  // up for 497 days
}

}  // namespace
