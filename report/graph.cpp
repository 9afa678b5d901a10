// In and Out differ in line style as well as colour, so a grey-scale print keeps
// them apart; the peak lines are thinner and paler than the averages they sit under.
#include "report/graph.h"

#include <cinttypes>
#include <cmath>
#include <cstring>

#include "report/dates.h"
#include "report/stats.h"

const char *const kPeriodNames[PERIOD_COUNT] = {"day", "week", "month", "year"};

namespace {

// The drawing area of every graph, in SVG units.
const int kWidth = 640;
const int kHeight = 206;
const int kLeft = 66;
const int kRight = 14;
const int kTop = 12;
const int kBottom = 34;
const int kPlotW = kWidth - kLeft - kRight;
const int kPlotH = kHeight - kTop - kBottom;
const int kPercentCap = 1000;  // a percentage above this is drawn at the top

const char *const kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char *const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char *const kCaptions[PERIOD_COUNT] = {"Last 24 hours", "Last 7 days, 30-minute averages",
                                             "Last 31 days, 2-hour averages", "Last 400 days, daily averages"};
const char *const kAria[PERIOD_COUNT] = {"the last 24 hours, one point per row", "the last 7 days in 30-minute averages",
                                         "the last 31 days in 2-hour averages", "the last 400 days in daily averages"};

// The vertical scale: its top, the step of its grid lines, and how its labels read.
struct Scale {
    double top;
    double step;
    double unit;  // exact graphs: labels in this many bit/s
    const char *unitName;
};

double X(const Graph &g, int64_t t)
{
    double span = static_cast<double>(g.t1 - g.t0);
    double x = kLeft + (span > 0 ? static_cast<double>(t - g.t0) * kPlotW / span : 0);
    return x < kLeft ? kLeft : x > kLeft + kPlotW ? kLeft + kPlotW : x;
}

double Y(double value, const Scale &s)
{
    if (value < 0)
        value = 0;
    if (value > s.top)
        value = s.top;
    return kTop + kPlotH - value * kPlotH / s.top;
}

double Highest(const Graph &g, bool peaks)
{
    double top = 0;
    for (int i = 0; i < g.count; i++) {
        const GraphPoint &p = g.points[i];
        double in = peaks ? p.peakIn : p.in;
        double out = peaks ? p.peakOut : p.out;
        if (p.hasIn && in > top)
            top = in;
        if (p.hasOut && out > top)
            top = out;
    }
    return top;
}

// Percent: 100 %, or the next multiple of 50 above the highest line. Bit rates: a
// round figure above the highest line and the link speed, in four or five steps.
Scale ScaleOf(const Graph &g, bool peaks)
{
    double top = Highest(g, peaks);
    Scale s = {100, 25, 1, "%"};
    if (!g.exact) {
        if (top > 100) {
            s.top = std::ceil(top / 50) * 50;
            if (s.top > kPercentCap)
                s.top = kPercentCap;
            s.step = s.top <= 300 ? 50 : s.top <= 600 ? 100 : 250;
        }
        return s;
    }
    if (static_cast<double>(g.topSpeed) > top)
        top = static_cast<double>(g.topSpeed);
    if (top < 1)
        top = 1;
    double power = std::pow(10.0, std::floor(std::log10(top / 4)));
    static const double kSteps[] = {1, 2, 2.5, 5, 10};
    for (double m : kSteps) {
        s.step = m * power;
        if (top / s.step <= 5 + 1e-9)
            break;
    }
    s.top = std::ceil(top / s.step - 1e-9) * s.step;
    static const char *const kUnits[] = {"bit/s", "kbit/s", "Mbit/s", "Gbit/s", "Tbit/s", "Pbit/s"};
    int unit = 0;
    s.unit = 1;
    while (unit < 5 && s.top >= s.unit * 1000) {
        s.unit *= 1000;
        unit++;
    }
    s.unitName = kUnits[unit];
    return s;
}

void HorizontalGrid(Out *out, const Graph &g, const Scale &s)
{
    int lines = static_cast<int>(std::lround(s.top / s.step));
    for (int k = 0; k <= lines; k++) {
        double v = k * s.step;
        double y = Y(v, s);
        Put(out, "<line class=\"%s\" x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\"/>",
            !g.exact && std::lround(v) == 100 ? "full" : "grid", kLeft, y, kWidth - kRight, y);
        if (g.exact)
            Put(out, "<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\">%g %s</text>\n", kLeft - 6, y + 4,
                std::round(v / s.unit * 1000) / 1000, s.unitName);
        else
            Put(out, "<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\">%ld %%</text>\n", kLeft - 6, y + 4,
                std::lround(v));
    }
}

// One vertical grid line, and its label of one or two lines when it fits inside the picture.
void Tick(Out *out, const Graph &g, int64_t t, const char *label, const char *second)
{
    double x = X(g, t);
    Put(out, "<line class=\"grid\" x1=\"%.1f\" y1=\"%d\" x2=\"%.1f\" y2=\"%d\"/>", x, kTop, x, kTop + kPlotH);
    size_t len = strlen(label) > strlen(second) ? strlen(label) : strlen(second);
    double half = static_cast<double>(len) * 3.3;
    if (len == 0 || x - half < 2 || x + half > kWidth - 2)
        return;
    Put(out, "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%s</text>", x, kTop + kPlotH + 14, label);
    if (second[0])
        Put(out, "<text x=\"%.1f\" y=\"%d\" text-anchor=\"middle\">%s</text>", x, kTop + kPlotH + 27, second);
    Put(out, "\n");
}

// Hours, weekdays or months along the bottom, each period in its own steps.
void TimeAxis(Out *out, const Graph &g, Period period)
{
    char label[24];
    char second[24];
    if (period == PERIOD_YEAR) {
        CivilDate d = CivilFromDays(g.t0 / 86400);
        int year = d.year;
        int month = d.month + 1;
        if (month > 12) {
            month = 1;
            year++;
        }
        bool first = true;
        for (;;) {
            int64_t t = DaysFromCivil(year, month, 1) * 86400;
            if (t > g.t1)
                break;
            snprintf(label, sizeof label, "%s", kMonths[month - 1]);
            second[0] = '\0';
            if (first || month == 1)
                snprintf(second, sizeof second, "%d", year);
            Tick(out, g, t, label, second);
            first = false;
            if (++month > 12) {
                month = 1;
                year++;
            }
        }
        return;
    }
    int64_t step = period == PERIOD_DAY ? 3 * 3600 : period == PERIOD_WEEK ? 6 * 3600 : 86400;
    for (int64_t t = (g.t0 + step - 1) / step * step; t <= g.t1; t += step) {
        CivilDate d = CivilFromDays(t / 86400);
        int hour = static_cast<int>(t % 86400 / 3600);
        label[0] = second[0] = '\0';
        if (period == PERIOD_DAY) {
            snprintf(label, sizeof label, "%02d:00", hour);
            if (hour == 0)
                snprintf(second, sizeof second, "%s %02d-%02d", kWeekdays[d.weekday], d.day, d.month);
        } else if (period == PERIOD_WEEK) {
            if (hour == 0)
                snprintf(label, sizeof label, "%s %02d-%02d", kWeekdays[d.weekday], d.day, d.month);
        } else if (d.weekday == 1) {
            snprintf(label, sizeof label, "Mon %02d-%02d", d.day, d.month);
        }
        Tick(out, g, t, label, second);
    }
}

// A point of a line as "x,y" in tenths, without the floating-point print: a page
// holds thousands of them.
void PutPoint(Out *out, const char *before, double x, double y)
{
    long tx = x > 0 ? lround(x * 10) : 0;
    long ty = y > 0 ? lround(y * 10) : 0;
    Put(out, "%s%ld.%ld,%ld.%ld", before, tx / 10, tx % 10, ty / 10, ty % 10);
}

double Value(const GraphPoint &p, bool in, bool peak)
{
    return peak ? (in ? p.peakIn : p.peakOut) : (in ? p.in : p.out);
}

// The alert periods that overlap the graph, as shaded bands under everything.
void Bands(Out *out, const Graph &g, const BandRing *ring, const char *cls, const char *what)
{
    if (!ring)
        return;
    for (int k = 0; k < ring->count; k++) {
        const Band &b = BandAt(ring, k);
        int64_t to = b.to < 0 ? g.t1 : b.to;
        if (to < g.t0 || b.from > g.t1)
            continue;
        double x0 = X(g, b.from);
        double x1 = X(g, to);
        if (x1 - x0 < 1)
            x1 = x0 + 1;
        char from[24], until[24];
        DateTimeText(from, sizeof from, b.from);
        DateTimeText(until, sizeof until, to);
        Put(out, "<rect class=\"band %s\" x=\"%.1f\" y=\"%d\" width=\"%.1f\" height=\"%d\"><title>%s from %s %s %s</title>"
                 "</rect>\n",
            cls, x0, kTop, x1 - x0, kPlotH, what, from, b.to < 0 ? "and still at" : "to", until);
    }
}

// The link speed of each point as a stepped line.
void SpeedLine(Out *out, const Graph &g, const Scale &s)
{
    if (!g.exact || g.count == 0)
        return;
    Put(out, "<polyline class=\"speed\" points=\"");
    for (int i = 0; i < g.count; i++) {
        const GraphPoint &p = g.points[i];
        double x = X(g, p.t);
        if (i > 0 && p.speed != g.points[i - 1].speed)
            PutPoint(out, " ", x, Y(g.points[i - 1].speed, s));
        PutPoint(out, i == 0 ? "" : " ", x, Y(p.speed, s));
    }
    Put(out, "\"/>\n");
}

// The points of one direction, average or peak: a line for each run without a
// gap, a dot for a lone point; under In's average lines a light area. A point
// without a figure is a gap. A last bin still filling is left to SoFar.
void Series(Out *out, const Graph &g, bool in, bool peak, const Scale &s)
{
    const char *cls = peak ? (in ? "peak-in" : "peak-out") : (in ? "in" : "out");
    int count = g.lastSoFar && !peak ? g.count - 1 : g.count;
    auto has = [&g, in](int k) { return in ? g.points[k].hasIn : g.points[k].hasOut; };
    int i = 0;
    while (i < count) {
        if (!has(i)) {
            i++;
            continue;
        }
        int j = i + 1;
        while (j < count && !g.points[j].breakBefore && has(j))
            j++;
        if (j - i == 1) {
            Put(out, "<circle class=\"%s\" cx=\"%.1f\" cy=\"%.1f\" r=\"%s\"/>\n", cls, X(g, g.points[i].t),
                Y(Value(g.points[i], in, peak), s), peak ? "1.2" : "2");
        } else {
            if (in && !peak) {
                Put(out, "<path class=\"area\" d=\"M%.1f,%d", X(g, g.points[i].t), kTop + kPlotH);
                for (int k = i; k < j; k++)
                    PutPoint(out, "L", X(g, g.points[k].t), Y(g.points[k].in, s));
                Put(out, "L%.1f,%dZ\"/>\n", X(g, g.points[j - 1].t), kTop + kPlotH);
            }
            Put(out, "<polyline class=\"%s\" points=\"", cls);
            for (int k = i; k < j; k++)
                PutPoint(out, k == i ? "" : " ", X(g, g.points[k].t), Y(Value(g.points[k], in, peak), s));
            Put(out, "\"/>\n");
        }
        i = j;
    }
}

// A figure as the page prints it: a rate, or a percentage.
void FigureText(char *buf, size_t cap, const Graph &g, double v, int decimals)
{
    if (g.exact)
        RateText(buf, cap, v);
    else
        snprintf(buf, cap, "%.*f %%", decimals, v);
}

// "since 09-12 12:30": the start of the bin still filling.
void SinceText(char *buf, size_t cap, const Graph &g, Period period)
{
    static const int64_t kWidths[PERIOD_COUNT] = {0, 1800, 7200, 86400};
    int64_t start = g.points[g.count - 1].t - kWidths[period] / 2;
    CivilDate d = CivilFromDays(start / 86400);
    int64_t s = start % 86400;
    snprintf(buf, cap, "since %02d-%02d %02d:%02d", d.day, d.month, static_cast<int>(s / 3600),
             static_cast<int>(s / 60 % 60));
}

// The last bin, still filling: a paler piece of line and a dot that says so.
void SoFar(Out *out, const Graph &g, Period period, bool in, const Scale &s)
{
    if (!g.lastSoFar)
        return;
    const GraphPoint &p = g.points[g.count - 1];
    if (in ? !p.hasIn : !p.hasOut)
        return;
    double v = in ? p.in : p.out;
    if (g.count > 1 && !p.breakBefore) {
        const GraphPoint &q = g.points[g.count - 2];
        if (in ? q.hasIn : q.hasOut) {
            Put(out, "<polyline class=\"sofar-%s\" points=\"", in ? "in" : "out");
            PutPoint(out, "", X(g, q.t), Y(in ? q.in : q.out, s));
            PutPoint(out, " ", X(g, p.t), Y(v, s));
            Put(out, "\"/>\n");
        }
    }
    char since[32], figure[32];
    SinceText(since, sizeof since, g, period);
    FigureText(figure, sizeof figure, g, v, 1);
    Put(out, "<circle class=\"%s sofar\" cx=\"%.1f\" cy=\"%.1f\" r=\"2.5\"><title>%s, %s so far: %s</title></circle>\n",
        in ? "in" : "out", X(g, p.t), Y(v, s), in ? "In" : "Out", since, figure);
}

// One direction's figures in the legend, each also as a number for machines.
void Legend(Out *out, const Graph &g, Period period, bool in)
{
    const FlowStats &f = in ? g.in : g.out;
    const char *cls = in ? "in" : "out";
    const char *name = in ? "In" : "Out";
    if (f.rows == 0) {
        Put(out, "<span class=\"fig\" data-dir=\"%s\"><i class=\"key %s\"></i>%s: not measured</span>", cls, cls, name);
        return;
    }
    Put(out, "<span class=\"fig\" data-dir=\"%s\" data-avg=\"%.3f\" data-max=\"%" PRId64 "\" data-max-t=\"%" PRId64 "\"",
        cls, f.avg, f.max, f.maxT);
    if (g.exact) {
        Put(out, " data-volume=\"%" PRId64 "\"", f.volume);
        if (f.hasP95)
            Put(out, " data-p95=\"%" PRId64 "\"", f.p95);
    }
    Put(out, "><i class=\"key %s\"></i>%s: ", cls, name);
    char text[48], when[24];
    if (f.avgRows > 0) {
        FigureText(text, sizeof text, g, f.avg, 1);
        Put(out, "average %s%s, ", text, period == PERIOD_DAY ? "" : " (finished bins)");
    }
    FigureText(text, sizeof text, g, static_cast<double>(f.max), 0);
    DateTimeText(when, sizeof when, f.maxT);
    Put(out, "maximum %s at <span class=\"d\">%s</span>", text, when);
    if (g.exact) {
        if (f.hasP95) {
            RateText(text, sizeof text, static_cast<double>(f.p95));
            Put(out, ", 95th percentile %s", text);
        }
        BytesText(text, sizeof text, f.volume);
        Put(out, ", %s moved", text);
    }
    Put(out, "</span>");
}

void Caption(Out *out, const Graph &g, Period period)
{
    Put(out, "<figcaption><b>%s", kCaptions[period]);
    if (period == PERIOD_DAY)
        Put(out, g.merged ? ", one point per row; rows less than 2.5 minutes apart share a point" : ", one point per row");
    Put(out, "</b>");
    if (g.rows > 0) {
        Legend(out, g, period, true);
        Legend(out, g, period, false);
        if (g.lastSoFar) {
            const GraphPoint &p = g.points[g.count - 1];
            char since[32], in[32], outText[32];
            SinceText(since, sizeof since, g, period);
            FigureText(in, sizeof in, g, p.in, 1);
            FigureText(outText, sizeof outText, g, p.out, 1);
            Put(out, "<span class=\"sofar\">Last bin, %s, so far: In %s, Out %s</span>", since,
                p.hasIn ? in : "not measured", p.hasOut ? outText : "not measured");
        }
        if (period != PERIOD_DAY || g.exact) {
            Put(out, "<span class=\"keys\">");
            if (period != PERIOD_DAY)
                Put(out, "<i class=\"key peak\"></i>thin: the highest row of each bin ");
            if (g.exact)
                Put(out, "<i class=\"key speed\"></i>link speed");
            Put(out, "</span>");
        }
        if (g.figuresCut > 0) {
            char cut[32];
            Grouped(cut, sizeof cut, g.figuresCut);
            Put(out, "<span>The 95th percentiles leave out the %s oldest rows: only the latest %d are kept.</span>", cut,
                FIGURES_MAX);
        }
    }
    Put(out, "</figcaption>\n");
}

// What the graph shows, for screen readers and as the SVG's own title.
void Description(Out *out, const Graph &g, Period period, const GraphLabel &label)
{
    PutEscaped(out, label.name, label.nameLen);
    Put(out, ": In and Out %s over %s", g.exact ? "in bit/s" : "in % of the link speed", kAria[period]);
    if (period != PERIOD_DAY)
        Put(out, ", with the highest row of each bin");
    if (g.rows == 0) {
        Put(out, "; no rows in this period");
        return;
    }
    char in[32], outText[32];
    FigureText(in, sizeof in, g, g.in.avg, 1);
    FigureText(outText, sizeof outText, g, g.out.avg, 1);
    Put(out, "; average In %s, Out %s", g.in.avgRows ? in : "not measured", g.out.avgRows ? outText : "not measured");
    FigureText(in, sizeof in, g, static_cast<double>(g.in.max), 0);
    FigureText(outText, sizeof outText, g, static_cast<double>(g.out.max), 0);
    Put(out, "; maximum In %s, Out %s", g.in.rows ? in : "not measured", g.out.rows ? outText : "not measured");
}

}  // namespace

void WriteGraph(Out *out, const Graph &g, Period period, const GraphLabel &label)
{
    bool peaks = period != PERIOD_DAY;
    Scale s = ScaleOf(g, peaks);
    Put(out, "<figure>\n");
    Caption(out, g, period);
    Put(out,
        "<svg class=\"graph\" data-period=\"%s\" data-kind=\"%s\" data-t0=\"%" PRId64 "\" data-t1=\"%" PRId64
        "\" data-scale=\"%.0f\" data-plot=\"%d %d %d %d\" viewBox=\"0 0 %d %d\" width=\"%d\" height=\"%d\" "
        "role=\"img\" aria-label=\"",
        kPeriodNames[period], g.exact ? "bps" : "pct", g.t0, g.t1, s.top, kLeft, kTop, kPlotW, kPlotH, kWidth,
        kHeight, kWidth, kHeight);
    Description(out, g, period, label);
    Put(out, "\" xmlns=\"http://www.w3.org/2000/svg\">\n<title>");
    Description(out, g, period, label);
    Put(out, "</title>\n");
    Bands(out, g, label.down, "down", "Down");
    Bands(out, g, label.above, "above", "Above the alert level");
    HorizontalGrid(out, g, s);
    TimeAxis(out, g, period);
    if (g.count == 0)
        Put(out, "<text class=\"empty\" x=\"%d\" y=\"%d\" text-anchor=\"middle\">No rows in this period</text>\n",
            kLeft + kPlotW / 2, kTop + kPlotH / 2);
    SpeedLine(out, g, s);
    if (peaks) {
        Series(out, g, true, true, s);
        Series(out, g, false, true, s);
    }
    Series(out, g, true, false, s);
    Series(out, g, false, false, s);
    SoFar(out, g, period, true, s);
    SoFar(out, g, period, false, s);
    Put(out, "<rect class=\"frame\" x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\"/>\n</svg>\n</figure>\n", kLeft, kTop,
        kPlotW, kPlotH);
}
