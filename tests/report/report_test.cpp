// The report's steps in-process: rows, lines across blocks, the periods' bins and
// the program's failures. The page in a real browser is browser.mjs's job.
#include "report/report.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "config/config.h"
#include "records/history.h"
#include "records/historyname.h"
#include "report/aggregate.h"
#include "report/alerts.h"
#include "report/dates.h"
#include "report/files.h"
#include "report/reader.h"
#include "report/row.h"
#include "report/stats.h"
#include "tests/support/files.h"

namespace {

int64_t At(int year, int month, int day, int hour, int minute, int second)
{
    return DaysFromCivil(year, month, day) * 86400 + hour * 3600 + minute * 60 + second;
}

struct RowCase {
    const char *name;
    const char *text;
    int ok;
    int64_t t;
    int32_t in;
    int32_t out;
    bool hasIn = true;
    bool hasOut = true;
};

const RowCase kRows[] = {
    {"as the monitor writes it", "05-12-2026,14,14:08:07,12,3", 1, At(2026, 12, 5, 14, 8, 7), 12, 3},
    {"midnight, leap day", "29-02-2028,00,00:00:00,0,0", 1, At(2028, 2, 29, 0, 0, 0), 0, 0},
    {"negative and large", "01-01-1970,23,23:59:59,-5,150", 1, 86399, -5, 150},
    {"beyond int32 saturates", "05-12-2026,14,14:08:07,99999999999999999999,-3000000000", 1,
     At(2026, 12, 5, 14, 8, 7), INT32_MAX, INT32_MIN},
    {"re-saved with slashes", "05/12/2026,14,14:08:07,12,3", 0, 0, 0, 0},
    {"re-saved with semicolons", "05-12-2026;14;14:08:07;12;3", 0, 0, 0, 0},
    {"year first", "2026-12-05,14,14:08:07,12,3", 0, 0, 0, 0},
    {"seconds dropped", "05-12-2026,14,14:08,12,3", 0, 0, 0, 0},
    {"hour column differs", "05-12-2026,15,14:08:07,12,3", 0, 0, 0, 0},
    {"31 February", "31-02-2026,14,14:08:07,12,3", 0, 0, 0, 0},
    {"29 February of 2100", "29-02-2100,14,14:08:07,12,3", 0, 0, 0, 0},
    {"minute 60", "05-12-2026,14,14:60:07,12,3", 0, 0, 0, 0},
    {"before 1970", "31-12-1969,14,14:08:07,12,3", 0, 0, 0, 0},
    {"truncated after In", "05-12-2026,14,14:08:07,12", 0, 0, 0, 0},
    {"Out not measured", "05-12-2026,14,14:08:07,12,", 1, At(2026, 12, 5, 14, 8, 7), 12, 0, true, false},
    {"In not measured", "05-12-2026,14,14:08:07,,37", 1, At(2026, 12, 5, 14, 8, 7), 0, 37, false, true},
    {"neither measured", "05-12-2026,14,14:08:07,,", 1, At(2026, 12, 5, 14, 8, 7), 0, 0, false, false},
    {"no fields at all", "05-12-2026,14,14:08:07,", 0, 0, 0, 0},
    {"three commas", "05-12-2026,14,14:08:07,,,", 0, 0, 0, 0},
    {"a decimal point", "05-12-2026,14,14:08:07,12.5,3", 0, 0, 0, 0},
    {"a sixth column", "05-12-2026,14,14:08:07,12,3,4", 0, 0, 0, 0},
    {"a blank", "05-12-2026,14,14:08:07, 12,3", 0, 0, 0, 0},
    {"a lone minus", "05-12-2026,14,14:08:07,-,3", 0, 0, 0, 0},
    {"the header", HISTORY_HEADER, 0, 0, 0, 0},
    {"empty", "", 0, 0, 0, 0},
};

TEST(HistoryRowParse, Table)
{
    for (const RowCase &c : kRows) {
        SCOPED_TRACE(c.name);
        // Copied to a buffer of the exact length, so a read past the end is caught.
        std::vector<char> text(c.text, c.text + strlen(c.text));
        // Twice: the second time the date comes from the memo.
        DateMemo memo = {{}, -1};
        for (int pass = 0; pass < 2; pass++) {
            HistoryRow row = {};
            EXPECT_EQ(c.ok, ParseHistoryRow(text.data(), text.data() + text.size(), &row, &memo));
            if (c.ok) {
                EXPECT_EQ(c.t, row.t);
                EXPECT_EQ(c.in, row.in);
                EXPECT_EQ(c.out, row.out);
                EXPECT_EQ(c.hasIn, row.hasIn);
                EXPECT_EQ(c.hasOut, row.hasOut);
            }
        }
    }
}

struct ExactCase {
    const char *name;
    const char *text;
    int ok;
    int64_t ms = 0;
    int64_t bpsIn = 0;
    int64_t bpsOut = 0;
    bool hasIn = false;
    bool hasOut = false;
};

// 09-12-2026 14:05:00 an hour east of UTC: 1796821500 in UTC seconds.
const ExactCase kExactRows[] = {
    {"as the monitor writes it", "09-12-2026,14:05:00,1796821500,300.012,1234567,2345678,32918,62547,100000000", 1,
     300012, 32918, 62547, true, true},
    {"Out not measured", "09-12-2026,14:05:00,1796821500,300.012,1234567,,32918,,100000000", 1, 300012, 32918, 0,
     true, false},
    {"neither measured", "09-12-2026,14:05:00,1796821500,,,,,,100000000", 1, 0, 0, 0, false, false},
    {"a 10 Gbit/s link's 18-digit figures", "09-12-2026,14:05:00,1796821500,300.000,999999999999999999,0,"
     "999999999999999999,0,10000000000", 1, 300000, 999999999999999999, 0, true, true},
    {"19 digits", "09-12-2026,14:05:00,1796821500,300.000,1000000000000000000,0,1,0,1", 0},
    {"octets without a rate", "09-12-2026,14:05:00,1796821500,300.012,1234567,2345678,,62547,100000000", 0},
    {"a rate without a span", "09-12-2026,14:05:00,1796821500,,1234567,2345678,32918,62547,100000000", 0},
    {"a span of nothing", "09-12-2026,14:05:00,1796821500,0.000,1,1,1,1,100000000", 0},
    {"a span and nothing measured", "09-12-2026,14:05:00,1796821500,300.000,,,,,100000000", 0},
    {"two decimals", "09-12-2026,14:05:00,1796821500,300.01,1,1,1,1,100000000", 0},
    {"UTC a day and more ahead", "09-12-2026,14:05:00,1796922300,300.000,1,1,1,1,100000000", 0},
    {"UTC in the year 5000", "09-12-2026,14:05:00,95617584000,300.000,1,1,1,1,100000000", 0},
    {"no UTC", "09-12-2026,14:05:00,,300.000,1,1,1,1,100000000", 0},
    {"no speed", "09-12-2026,14:05:00,1796821500,300.000,1,1,1,1,", 0},
    {"a negative rate", "09-12-2026,14:05:00,1796821500,300.000,1,1,-1,1,100000000", 0},
    {"a tenth column", "09-12-2026,14:05:00,1796821500,300.000,1,1,1,1,100000000,5", 0},
    {"a percent row", "09-12-2026,14,14:05:00,12,3", 0},
    {"the header", EXACT_HISTORY_HEADER, 0},
    {"cut short", "09-12-2026,14:05:00,1796821500,300.0", 0},
};

TEST(ExactRowParse, Table)
{
    for (const ExactCase &c : kExactRows) {
        SCOPED_TRACE(c.name);
        std::vector<char> text(c.text, c.text + strlen(c.text));  // exact length: a read past it is caught
        DateMemo memo = {{}, -1};
        HistoryRow row = {};
        ASSERT_EQ(c.ok, ParseExactRow(text.data(), text.data() + text.size(), &row, &memo));
        if (!c.ok)
            continue;
        EXPECT_EQ(At(2026, 12, 9, 14, 5, 0), row.t);
        EXPECT_EQ(c.ms, row.ms);
        EXPECT_EQ(c.hasIn, row.hasIn);
        EXPECT_EQ(c.hasOut, row.hasOut);
        EXPECT_EQ(c.hasIn ? c.bpsIn : 0, c.hasIn ? row.bpsIn : 0);
        EXPECT_EQ(c.hasOut ? c.bpsOut : 0, c.hasOut ? row.bpsOut : 0);
    }
}

// Nearest rank against its definition: the smallest figure that at least 95 % of
// the figures are at or below.
TEST(Percentiles, NearestRankIsTheSmallestFigureCovering95PerCent)
{
    std::mt19937_64 random(7);
    for (int64_t n = 1; n <= 400; n++) {
        std::vector<int64_t> values(static_cast<size_t>(n));
        for (int64_t &v : values)
            v = static_cast<int64_t>(random() % 50);  // ties, as idle links give
        std::vector<int64_t> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        int64_t want = -1;
        for (int64_t v : sorted) {
            int64_t atOrBelow = std::count_if(sorted.begin(), sorted.end(), [v](int64_t x) { return x <= v; });
            if (atOrBelow * 100 >= 95 * n) {
                want = v;
                break;
            }
        }
        int64_t got = -1;
        ASSERT_TRUE(Percentile(values.data(), n, PERCENTILE, &got));
        ASSERT_EQ(want, got) << n << " figures";
    }
    int64_t none;
    EXPECT_FALSE(Percentile(nullptr, 0, PERCENTILE, &none));
    EXPECT_EQ(95, NearestRank(100, 95));
    EXPECT_EQ(96, NearestRank(101, 95));
}

struct AlertCase {
    const char *name;
    const char *text;
    int ok;
    int event;
};

TEST(AlertRowParse, Table)
{
    const AlertCase kAlerts[] = {
        {"down", "09-12-2026,03:14:07,Uplink,down,,,192.0.2.1", 1, EVENT_DOWN},
        {"above, a detail with a comma", "09-12-2026,03:14:07,Uplink,above,95,12,192.0.2.1, In", 1, EVENT_ABOVE},
        {"normal", "09-12-2026,03:14:07,Uplink,normal,40,-1,192.0.2.1", 1, EVENT_NORMAL},
        {"an event of another name", "09-12-2026,03:14:07,Uplink,Down,,,192.0.2.1", 0, 0},
        {"a 16-byte name", "09-12-2026,03:14:07,SixteenCharName!,up,,,192.0.2.1", 0, 0},
        {"no name", "09-12-2026,03:14:07,,up,,,192.0.2.1", 0, 0},
        {"a figure that is no number", "09-12-2026,03:14:07,Uplink,above,9x,,192.0.2.1", 0, 0},
        {"no detail column", "09-12-2026,03:14:07,Uplink,up,,", 0, 0},
        {"the header", ALERT_LOG_HEADER, 0, 0},
        {"30 February", "30-02-2026,03:14:07,Uplink,up,,,192.0.2.1", 0, 0},
    };
    for (const AlertCase &c : kAlerts) {
        SCOPED_TRACE(c.name);
        std::vector<char> text(c.text, c.text + strlen(c.text));
        DateMemo memo = {{}, -1};
        AlertRow row;
        ASSERT_EQ(c.ok, ParseAlertRow(text.data(), text.data() + text.size(), &row, &memo));
        EXPECT_EQ(c.ok ? c.event : 0, c.ok ? row.event : 0);
    }
    std::string detail = "09-12-2026,03:14:07,Uplink,up,,," + std::string(ALERT_DETAIL_MAX, 'x');
    DateMemo memo = {{}, -1};
    AlertRow row;
    EXPECT_EQ(0, ParseAlertRow(detail.data(), detail.data() + detail.size(), &row, &memo));
}

TEST(HistoryRowParse, ZeroBytesAreNoDate)
{
    const char zeros[] = "\0\0\0\0\0\0\0\0\0\0,00,00:00:00,1,2";
    DateMemo memo = {{}, -1};
    HistoryRow row;
    EXPECT_EQ(0, ParseHistoryRow(zeros, zeros + sizeof zeros - 1, &row, &memo));
}

TEST(Dates, RoundTripOverFourCenturies)
{
    for (int64_t days = 0; days < 146097 * 2; days += 13) {
        CivilDate d = CivilFromDays(days);
        ASSERT_EQ(days, DaysFromCivil(d.year, d.month, d.day));
    }
    EXPECT_EQ(6, CivilFromDays(DaysFromCivil(2026, 12, 5)).weekday);  // a Saturday
}

// What a history comes to, fed as one piece or in pieces of every size.
struct Fed {
    History h;
    std::string Summary() const
    {
        std::string s = "rows " + std::to_string(h.rows) + " bad " + std::to_string(h.badRows) + " lines " +
                         std::to_string(h.lines) + " last " + std::to_string(h.lastT) + "," +
                         std::to_string(h.lastIn) + "," + std::to_string(h.lastOut) + ";";
        for (int i = 0; i < h.badNamed; i++)
            s += " " + std::to_string(h.bad[i].line) + ":" + std::to_string(h.bad[i].length) + ":" +
                 std::string(h.bad[i].text, strnlen(h.bad[i].text, BAD_TEXT_MAX));
        return s;
    }
};

void Feed(const std::string &bytes, size_t piece, Fed *fed)
{
    HistoryReset(&fed->h);
    LineSplitter s;
    SplitterStart(&s, &fed->h);
    for (size_t at = 0; at < bytes.size(); at += piece)
        SplitterFeed(&s, bytes.data() + at, static_cast<int64_t>(std::min(piece, bytes.size() - at)));
    SplitterEnd(&s);
}

TEST(HistoryLines, PiecesOfEverySizeReadAsTheWhole)
{
    std::string bytes = std::string(HISTORY_HEADER) + "\r\n05-12-2026,14,14:08:07,12,3" + "\r\n" +
                        "\r\n05/12/2026 14:13,11,4" + "\r\n" + HISTORY_HEADER + "\r\n" + std::string(300, 'x') +
                        "\n05-12-2026,14,14:18:07,10,5" + "\r\n05-12-2026,14,14:2";
    Fed whole;
    Feed(bytes, bytes.size(), &whole);
    EXPECT_EQ("rows 2 bad 5 lines 8 last " + std::to_string(At(2026, 12, 5, 14, 18, 7)) +
                  ",10,5; 3:0: 4:21:05/12/2026 14:13,11,4 5:25:" HISTORY_HEADER " 6:300:" + std::string(80, 'x') +
                  " 8:18:05-12-2026,14,14:2",
              whole.Summary());
    for (size_t piece = 1; piece < bytes.size(); piece++) {
        Fed fed;
        Feed(bytes, piece, &fed);
        ASSERT_EQ(whole.Summary(), fed.Summary()) << "pieces of " << piece;
    }
}

class Aggregate : public ::testing::Test {
protected:
    void SetUp() override { HistoryReset(&h_); }
    void Row(int64_t t, int32_t in, int32_t out)
    {
        HistoryRow row = {t, in, out};
        HistoryAddRow(&h_, row);
    }
    const Graph &Build(Period period)
    {
        HistoryEnd(&h_);
        BuildGraph(&h_, period, &g_);
        return g_;
    }
    History h_;
    Graph g_;
};

TEST_F(Aggregate, GapsAndAClockSetBackStartNewLines)
{
    int64_t t = At(2026, 10, 25, 0, 0, 0);
    for (int i = 0; i < 12; i++)  // 00:00 to 00:55
        Row(t + i * 300, 10, 5);
    for (int i = 0; i < 6; i++)  // after 16 minutes without a row: 01:11 to 01:36
        Row(t + 4260 + i * 300, 20, 5);
    for (int i = 0; i < 6; i++)  // the clock set back an hour: 00:40 to 01:05 again
        Row(t + 2400 + i * 300, 30, 5);
    const Graph &g = Build(PERIOD_DAY);
    ASSERT_EQ(24, g.count);  // the repeated rows are points of their own, in file order
    std::vector<int> starts;
    for (int i = 0; i < g.count; i++)
        if (g.points[i].breakBefore)
            starts.push_back(i);
    EXPECT_EQ((std::vector<int>{0, 12, 18}), starts);
    for (int i = 1; i < g.count; i++)
        EXPECT_TRUE(g.points[i].breakBefore || g.points[i - 1].t < g.points[i].t) << "a line to the left at " << i;
    EXPECT_DOUBLE_EQ((12 * 10 + 6 * 20 + 6 * 30) / 24.0, g.in.avg);
    EXPECT_EQ(30, g.in.max);
    EXPECT_EQ(t + 4260 + 5 * 300, g.t1);  // the first pass's end, though written before the last row
    // The repeated rows join the 30-minute bins of the first pass.
    const Graph &w = Build(PERIOD_WEEK);
    EXPECT_DOUBLE_EQ((6 * 10 + 4 * 30) / 10.0, w.points[1].in);  // 00:30 to 00:59
}

// Rows whose fields are empty: gaps in their direction's line, left out of its
// average and maximum.
TEST_F(Aggregate, EmptyFieldsAreGapsAndCountInNoFigure)
{
    int64_t t = At(2026, 12, 5, 10, 0, 0);
    const struct {
        int32_t in, out;
        bool hasIn, hasOut;
    } rows[] = {{10, 4, true, true}, {20, 0, true, false}, {0, 0, false, false},
                {0, 8, false, true}, {40, 2, true, true},  {30, 6, true, true}};
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; i++)
        HistoryAddRow(
            &h_, HistoryRow{t + static_cast<int64_t>(i) * 300, rows[i].in, rows[i].out, rows[i].hasIn, rows[i].hasOut});
    const Graph &g = Build(PERIOD_DAY);
    ASSERT_EQ(6, g.count);
    EXPECT_EQ(6, g.rows);
    EXPECT_EQ(4, g.in.rows);
    EXPECT_DOUBLE_EQ(25.0, g.in.avg);
    EXPECT_EQ(40, g.in.max);
    EXPECT_EQ(4, g.out.rows);
    EXPECT_DOUBLE_EQ(5.0, g.out.avg);
    EXPECT_EQ(8, g.out.max);
    EXPECT_FALSE(g.points[2].hasIn);
    EXPECT_FALSE(g.points[1].hasOut);
    // A bin of the week holds all six: its In from four of them.
    const Graph &w = Build(PERIOD_WEEK);
    ASSERT_EQ(1, w.count);
    EXPECT_DOUBLE_EQ(25.0, w.points[0].in);
    // Only empty fields: no figure at all, not 0.
    HistoryReset(&h_);
    HistoryAddRow(&h_, HistoryRow{t, 0, 0, false, false});
    const Graph &none = Build(PERIOD_DAY);
    EXPECT_EQ(1, none.rows);
    EXPECT_EQ(0, none.in.rows);
    EXPECT_FALSE(none.points[0].hasIn);
    EXPECT_FALSE(h_.lastHasOut);
}

TEST_F(Aggregate, FastRowsShareAPointAndTheWindowEndsAtTheLastRow)
{
    int64_t t = At(2026, 12, 5, 0, 0, 0);
    Row(t - 3 * 86400, 90, 90);  // three days back: out of the 24 hours, in the week
    for (int i = 0; i < 30; i++)  // a row every 10 s, as the demo's quick build writes them
        Row(t + i * 10, i, 2 * i);
    Row(t + 365 * 86400, 99, 99);  // a clock a year ahead for one row...
    Row(t + 600, 40, 40);          // ...and back: the graphs end here, not a year ahead
    const Graph &g = Build(PERIOD_DAY);
    ASSERT_EQ(3, g.count);
    EXPECT_EQ(t, g.points[0].t);
    EXPECT_DOUBLE_EQ(7.0, g.points[0].in);  // rows 0 to 14, the first 150 s
    EXPECT_DOUBLE_EQ(44.0, g.points[1].out);
    EXPECT_EQ(40, g.in.max);
    EXPECT_EQ(t + 600 - 86400, g.t0);
    const Graph &w = Build(PERIOD_WEEK);
    EXPECT_EQ(90, w.in.max);
    EXPECT_EQ(2, w.count);
    EXPECT_TRUE(w.points[1].breakBefore);
    EXPECT_EQ(32, w.rows);
}

TEST_F(Aggregate, BinsAtTheWindowsEdgesAndOldRowsLeaveTheRings)
{
    int64_t t = At(2024, 1, 1, 0, 0, 0);
    for (int d = 0; d < 800; d++) {
        Row(t + d * 86400 + 3600, d % 100, 1);
        Row(t + d * 86400 + 7200, d % 100 + 2, 1);
        if (d == 700)  // one row of a PC that booted at 01-01-2000: its slot holds day 434's bin
            Row(At(2000, 1, 1, 0, 0, 0), 50, 50);
    }
    const Graph &y = Build(PERIOD_YEAR);
    ASSERT_EQ(400, y.count);
    EXPECT_EQ(t + 400 * 86400, y.t0);
    EXPECT_DOUBLE_EQ(1.0, y.points[0].in);  // day 400: 0 and 2
    EXPECT_DOUBLE_EQ(100.0, y.points[399].in);  // day 799: 99 and 101
    EXPECT_EQ(800, y.rows);
    const Graph &m = Build(PERIOD_MONTH);
    EXPECT_EQ(62, m.count);  // two 2-hour bins a day
    EXPECT_FALSE(m.points[1].breakBefore);
    EXPECT_TRUE(m.points[2].breakBefore);
}

// Exact rows: bins sum octets over milliseconds, the legends leave the bin still
// filling out of their averages, and the percentiles are of the period's rows.
TEST(ExactAggregate, AveragesPercentilesAndVolumes)
{
    static History h;
    std::vector<Figure> ring(4096);
    HistoryReset(&h, true, ring.data(), static_cast<int32_t>(ring.size()));
    std::mt19937_64 random(3);
    struct Kept {
        int64_t t, octets, ms, bps;
    };
    std::vector<Kept> rows;
    int64_t start = At(2026, 11, 28, 0, 0, 0);
    for (int i = 0; i < 3000; i++) {  // 300 s apart, each of its own length: 10.4 days
        HistoryRow r;
        r.t = start + i * 300;
        r.ms = 299000 + static_cast<int64_t>(random() % 2000);
        r.octetsIn = static_cast<int64_t>(random() % 4000000000);
        r.bpsIn = r.octetsIn * 8000 / r.ms;
        r.hasOut = false;
        r.speed = 1000000000;
        HistoryAddRow(&h, r);
        rows.push_back({r.t, r.octetsIn, r.ms, r.bpsIn});
    }
    HistoryEnd(&h);
    static Graph g;
    BuildGraph(&h, PERIOD_WEEK, &g);
    int64_t last = rows.back().t;
    int64_t lastBin = last / 1800 * 1800;
    ASSERT_TRUE(g.lastSoFar);
    double octets = 0, ms = 0;
    int64_t volume = 0, max = -1, maxT = 0;
    std::vector<int64_t> bps;
    for (const Kept &r : rows) {
        if (r.t < g.t0)
            continue;
        volume += r.octets;
        if (r.bps > max) {
            max = r.bps;
            maxT = r.t;
        }
        bps.push_back(r.bps);
        if (r.t < lastBin) {
            octets += static_cast<double>(r.octets);
            ms += static_cast<double>(r.ms);
        }
    }
    EXPECT_NEAR(octets * 8000 / ms, g.in.avg, 1e-6);
    EXPECT_EQ(volume, g.in.volume);
    EXPECT_EQ(max, g.in.max);
    EXPECT_EQ(maxT, g.in.maxT);
    std::sort(bps.begin(), bps.end());
    EXPECT_EQ(bps[(bps.size() * 95 + 99) / 100 - 1], g.in.p95);
    EXPECT_EQ(0, g.out.rows);
    EXPECT_FALSE(g.out.hasP95);

    // 24 hours are (last - 24 h, last]: the row exactly a day before the last is out.
    BuildGraph(&h, PERIOD_DAY, &g);
    EXPECT_EQ(288, g.rows);
    EXPECT_EQ(last - 86400 + 300, g.points[0].t);

    // A calendar month from its first day, out of the daily bins.
    FlowStats in, out;
    RangeStats(&h, At(2026, 12, 1, 0, 0, 0), At(2027, 1, 1, 0, 0, 0), &in, &out);
    int64_t december = 0;
    for (const Kept &r : rows)
        december += r.t >= At(2026, 12, 1, 0, 0, 0) ? r.octets : 0;
    EXPECT_EQ(december, in.volume);

    // The ring holds the last 4096 rows: the 400 days' percentile says what it left out.
    for (int i = 3000; i < 5000; i++) {
        HistoryRow r;
        r.t = start + i * 300;
        r.ms = 300000;
        r.octetsIn = r.bpsIn = 1;
        r.hasOut = false;
        r.speed = 1000000000;
        HistoryAddRow(&h, r);
    }
    HistoryEnd(&h);
    BuildGraph(&h, PERIOD_YEAR, &g);
    EXPECT_EQ(5000 - 4096, g.figuresCut);
    std::vector<int64_t> held(2000, 1);
    for (size_t i = 5000 - 4096; i < rows.size(); i++)
        held.push_back(rows[i].bps);
    std::sort(held.begin(), held.end());
    EXPECT_EQ(held[(held.size() * 95 + 99) / 100 - 1], g.in.p95);
}

struct NameCase {
    const char *name;
    int valid;
};

TEST(HistoryFileNames, WhatWindowsCannotOpenIsRefused)
{
    const NameCase kNames[] = {
        {"Uplink", 1},   {"eth0.100", 1}, {"COM10", 1},        {"CONSOLE", 1}, {"FifteenCharName", 1},
        {"", 0},         {"a/b", 0},      {"a\\b", 0},         {"c:x", 0},     {"what?", 0},
        {"a|b", 0},      {"\"q\"", 0},    {"tab\there", 0},    {"CON", 0},     {"con.x", 0},
        {"nul", 0},      {"COM1", 0},     {"lpt9 .old", 0},    {"AUX ", 0},
        // Its rates' file would be the exact history of "Uplink".
        {"Uplink.exact", 0}, {"Uplink.EXACT", 0}, {"x.exact.y", 1}, {"exact", 1},
    };
    for (const NameCase &c : kNames) {
        SCOPED_TRACE(c.name);
        InterfaceRecord rec = {};
        memcpy(rec.strName, c.name, strlen(c.name));
        char file[32];
        EXPECT_EQ(c.valid, HistoryFileName(&rec, file, sizeof file));
        if (c.valid) {
            EXPECT_EQ(std::string(c.name) + ".csv", file);
        }
        EXPECT_EQ(c.valid, ExactHistoryFileName(&rec, file, sizeof file));
        if (c.valid) {
            EXPECT_EQ(std::string(c.name) + ".exact.csv", file);
        }
    }
}

class ReportRun : public InTempDir {
protected:
    static int Run(std::vector<std::string> args)
    {
        std::vector<char *> argv;
        static char program[] = "vellary-report";
        argv.push_back(program);
        for (std::string &a : args)
            argv.push_back(&a[0]);
        return RunReport(static_cast<int>(argv.size()), argv.data());
    }
    static std::string Line(const char *name)
    {
        return std::string(name) + ",192.0.2.1,public,100000000,1.3.6.1.2.1.2.2.1.10.1,1.3.6.1.2.1.2.2.1.16.1,\r\n";
    }
};

TEST_F(ReportRun, MissingConfigurationFailsWithoutAPage)
{
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(1, Run({}));
    EXPECT_NE(std::string::npos, ::testing::internal::GetCapturedStderr().find("cannot open vellary.cfg"));
    EXPECT_FALSE(FileExists(REPORT_DEFAULT_OUTPUT));
}

TEST_F(ReportRun, AConfigurationSavedAsUtf16FailsWithoutAPage)
{
    std::string utf16 = "\xFF\xFE";
    for (char c : Line("Uplink"))
        utf16 += std::string(1, c) + '\0';
    WriteFile("vellary.cfg", utf16);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(1, Run({}));
    EXPECT_NE(std::string::npos, ::testing::internal::GetCapturedStderr().find(
                                     "vellary.cfg is saved as UTF-16 (Unicode). Save it as ANSI or UTF-8."));
    EXPECT_FALSE(FileExists(REPORT_DEFAULT_OUTPUT));
}

// The file the monitor writes for a UTF-8 name is the one the report reads, and
// the page shows the name as the window does; other text is Windows-1252.
TEST_F(ReportRun, AUtf8NameFindsTheMonitorsFile)
{
    const std::string name = "B\xC3\xBCro-S\xC3\xBC\x64";
    WriteFile("vellary.cfg", "\xEF\xBB\xBF" + Line(name.c_str()) + Line("Caf\xE9 \x80"));
    memset(g_interfaces, 0, sizeof g_interfaces);
    ASSERT_EQ(2, ReadConfigFile("vellary.cfg", g_interfaces));
    g_interfaces[0].measuredIn = g_interfaces[0].measuredOut = 1;
    AppendHistory(0);
    ASSERT_EQ(0, Run({}));
    std::string page = ReadFile(REPORT_DEFAULT_OUTPUT);
    EXPECT_NE(std::string::npos, page.find("<h2>" + name + "</h2>"));
    EXPECT_NE(std::string::npos, page.find(name + ".csv, 1 row from ")) << page;
    EXPECT_NE(std::string::npos, page.find("<h2>Caf&#xE9; &#x20AC;</h2>"));
}

TEST_F(ReportRun, AnOutputThatCannotBeWrittenKeepsTheOldPage)
{
    WriteFile("vellary.cfg", Line("Uplink"));
    WriteFile("page.html", "old");
    std::filesystem::create_directory("folder");
    WriteFile("folder/inside", "");
    EXPECT_EQ(1, Run({"-o", "no-such-folder/page.html"}));
    EXPECT_EQ(1, Run({"-o", "folder"}));  // a folder in the way of the rename
    EXPECT_EQ(1, Run({"-x"}));
    EXPECT_EQ("old", ReadFile("page.html"));
    EXPECT_EQ(0, Run({"-o", "page.html"}));
    EXPECT_NE("old", ReadFile("page.html"));
    for (const auto &entry : std::filesystem::directory_iterator(dir_))
        EXPECT_EQ(std::string::npos, entry.path().string().find(".tmp")) << entry.path();
}

TEST_F(ReportRun, SharedMissingGarbageAndUnnamedHistories)
{
    WriteFile("vellary.cfg", Line("Twin") + Line("Twin") + Line("Gone") + Line("a:b") + Line("Junk"));
    WriteFile("Twin.csv", std::string(HISTORY_HEADER) + "\r\n05-12-2026,14,14:08:07,12,3\r\n05-12-2026,14,14:08:09,40,7");
    std::string junk(3 << 20, '\0');
    for (size_t i = 0; i < junk.size(); i++)
        junk[i] = static_cast<char>((i * 2654435761u) >> 13);
    WriteFile("Junk.csv", junk);
    ASSERT_EQ(0, Run({}));
    std::string page = ReadFile(REPORT_DEFAULT_OUTPUT);
    // Shown once, under both names.
    EXPECT_NE(std::string::npos, page.find("<a href=\"#if1\">Twin</a> + <a href=\"#if2\">Twin</a>"));
    EXPECT_NE(std::string::npos, page.find("<h2>Twin + Twin</h2>\r\n<p class=\"src\">Interfaces 1 and 2 of vellary.cfg"));
    EXPECT_NE(std::string::npos, page.find("Twin.csv, 2 rows from <span class=\"d\">05-12-2026 14:08</span> to"));
    EXPECT_EQ(std::string::npos, page.find("<section id=\"if2\">"));
    EXPECT_NE(std::string::npos, page.find("Gone.csv does not exist yet"));
    EXPECT_NE(std::string::npos, page.find("<h2>a:b</h2>"));
    EXPECT_NE(std::string::npos, page.find("This name cannot be a file name"));
    EXPECT_NE(std::string::npos, page.find("<li>Junk.csv line 1: <code>"));
    size_t graphs = 0;  // the twins' four, once; none of the others has a row
    for (size_t at = page.find("<svg"); at != std::string::npos; at = page.find("<svg", at + 1))
        graphs++;
    EXPECT_EQ(4u, graphs);
}

TEST_F(ReportRun, EmptyFieldsAreGapsAndNoFigure)
{
    WriteFile("vellary.cfg", Line("Uplink"));
    WriteFile("Uplink.exact.csv", EXACT_HISTORY_HEADER);  // just turned on: the percent rows are drawn
    WriteFile("Uplink.csv", std::string(HISTORY_HEADER) + "\r\n05-12-2026,14,14:00:00,10,\r\n05-12-2026,14,14:05:00,20,"
                                                          "\r\n05-12-2026,14,14:10:00,,\r\n05-12-2026,14,14:15:00,40,"
                                                          "\r\n05-12-2026,14,14:20:00,30,");
    ASSERT_EQ(0, Run({}));
    std::string page = ReadFile(REPORT_DEFAULT_OUTPUT);
    // Old rows: no "now" figure, but the 24 hours up to the last row.
    EXPECT_NE(std::string::npos, page.find("no rows since <span class=\"d\">05-12-2026 14:20</span></td><td>25.0 %</td>"
                                           "<td>40 %</td><td class=\"d\">05-12-2026 14:15</td>"));
    EXPECT_NE(std::string::npos, page.find("<tr class=\"out\"><td class=\"dir\">Out</td><td></td><td></td>"
                                           "<td class=\"d\"></td>"));
    EXPECT_NE(std::string::npos, page.find("Out: not measured"));
    auto count = [&page](const char *what) {
        size_t n = 0;
        for (size_t at = page.find(what); at != std::string::npos; at = page.find(what, at + 1))
            n++;
        return n;
    };
    EXPECT_EQ(2u, count("<polyline class=\"in\""));  // 24 hours: two lines around the gap
    EXPECT_EQ(0u, count("<polyline class=\"out\"") + count("<circle class=\"out\""));
}

// The alert log: its last rows under the summary, its periods on the graphs, and
// its garbage named as a history's is.
TEST_F(ReportRun, AlertsAreListedAndShaded)
{
    WriteFile("vellary.cfg", Line("Uplink") + Line("Other"));
    std::string rows = EXACT_HISTORY_HEADER;
    for (int m = 0; m < 60; m += 5)
        rows += "\r\n05-12-2026,14:" + std::string(m < 10 ? "0" : "") + std::to_string(m) +
                ":00,1796479200,300.000,1000,1000,26,26,100000000";
    WriteFile("Uplink.exact.csv", rows);
    std::string log = ALERT_LOG_HEADER;
    for (int i = 0; i < 60; i++)
        log += "\r\n01-12-2026,10:00:00,Other,up,,,192.0.2.9";
    log += "\r\n05-12-2026,14:10:00,Uplink,down,,,192.0.2.1"
           "\r\n05-12-2026,14:20:00,Uplink,up,1,1,192.0.2.1"
           "\r\nnot a row at all"
           "\r\n05-12-2026,14:40:00,Uplink,above,95,3,192.0.2.1 In";
    WriteFile(ALERT_LOG_NAME, log);
    ASSERT_EQ(0, Run({}));
    std::string page = ReadFile(REPORT_DEFAULT_OUTPUT);
    EXPECT_NE(std::string::npos, page.find("Alerts: the last 50 of 63 in " ALERT_LOG_NAME ", newest first"));
    EXPECT_NE(std::string::npos, page.find("<td class=\"name ev-above\">above</td><td>95</td><td>3</td>"
                                           "<td class=\"detail\">192.0.2.1 In</td>"));
    EXPECT_NE(std::string::npos, page.find("<title>Down from 05-12-2026 14:10 to 05-12-2026 14:20</title>"));
    EXPECT_NE(std::string::npos, page.find("<title>Above the alert level from 05-12-2026 14:40 and still at "
                                           "05-12-2026 14:55</title>"));
    EXPECT_NE(std::string::npos, page.find("<li>" ALERT_LOG_NAME " line 64: <code>not a row at all</code>"));
}

TEST_F(ReportRun, HistoryStaysOpenForTheMonitorToAppend)
{
    WriteFile("Uplink.csv", HISTORY_HEADER);
    SharedFile file;
    ASSERT_EQ(OPEN_OK, OpenShared("Uplink.csv", &file));
    FILE *monitor = fopen("Uplink.csv", "a+b");
    ASSERT_NE(nullptr, monitor);
    EXPECT_EQ(4u, fwrite("\r\nxx", 1, 4, monitor));
    EXPECT_EQ(0, fclose(monitor));
    char buffer[64];
    EXPECT_EQ(static_cast<int>(sizeof HISTORY_HEADER - 1), ReadShared(&file, buffer, static_cast<int>(file.size)));
    CloseShared(&file);
    EXPECT_EQ(OPEN_NOT_FILE, OpenShared(".", &file));
}

}  // namespace
