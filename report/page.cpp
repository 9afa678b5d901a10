// The page is written in one pass; every figure comes from the histories as they
// were read. In and Out differ in line style as well as colour, so a grey-scale
// print keeps them apart.
#include "report/page.h"

#include <cinttypes>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "config/utf8.h"
#include "records/textmode.h"
#include "report/dates.h"

namespace {

// The drawing area of every graph, in SVG units.
const int kWidth = 640;
const int kHeight = 206;
const int kLeft = 46;
const int kRight = 14;
const int kTop = 12;
const int kBottom = 34;
const int kPlotW = kWidth - kLeft - kRight;
const int kPlotH = kHeight - kTop - kBottom;
const int kScaleCap = 1000;  // a value above this is drawn at the top

const char *const kWeekdays[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char *const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

const char kStyle[] =
    "<style>\n"
    ":root{--in:#1f4e8c;--out:#e08a2e;--ink:#1d2329;--muted:#5d6770;--line:#d9dee3}\n"
    "body{margin:0;background:#f4f6f8;color:var(--ink);font:14px/1.45 \"Segoe UI\",system-ui,-apple-system,"
    "\"Helvetica Neue\",Arial,\"Liberation Sans\",\"DejaVu Sans\",sans-serif}\n"
    "main{max-width:1340px;margin:0 auto;padding:20px 24px 40px}\n"
    "h1{font-size:22px;margin:0 0 2px;font-weight:600}\n"
    "h2{font-size:18px;margin:0;font-weight:600}\n"
    ".made,.src{color:var(--muted);margin:0}\n"
    "table.summary{border-collapse:collapse;margin:16px 0 8px;background:#fff;border:1px solid var(--line)}\n"
    ".summary th,.summary td{padding:5px 12px;text-align:right;border-bottom:1px solid var(--line)}\n"
    ".summary th{font-weight:600;background:#eef1f4;font-size:13px}\n"
    ".summary th.g{border-left:1px solid var(--line)}\n"
    ".summary th[colspan]{text-align:center}\n"
    ".summary td.g{border-left:1px solid var(--line)}\n"
    ".summary .name{text-align:left}\n"
    ".summary td{font-variant-numeric:tabular-nums}\n"
    ".summary td.none{color:var(--muted);text-align:left}\n"
    "a{color:var(--in)}\n"
    "section{background:#fff;border:1px solid var(--line);border-radius:6px;margin:18px 0;padding:14px 16px}\n"
    ".graphs{display:grid;grid-template-columns:repeat(auto-fit,minmax(560px,1fr));gap:10px 18px;"
    "margin-top:10px}\n"
    "figure{margin:0}\n"
    "figcaption{font-size:13px;color:var(--muted)}\n"
    "figcaption b{display:block;font-weight:600;color:var(--ink)}\n"
    "figcaption span{display:inline-block;margin-right:18px;white-space:nowrap}\n"
    ".key{display:inline-block;width:22px;margin-right:5px;vertical-align:middle}\n"
    ".key.in{border-top:3px solid var(--in)}\n"
    ".key.out{border-top:3px dashed var(--out)}\n"
    "svg.graph{display:block;width:100%;height:auto}\n"
    "svg text{font-size:11px;fill:var(--muted)}\n"
    "svg .grid{stroke:#e6e9ec;stroke-width:1}\n"
    "svg .full{stroke:#9aa3ab;stroke-width:1}\n"
    "svg .frame{fill:none;stroke:#b9c0c6;stroke-width:1}\n"
    "svg .area{fill:var(--in);fill-opacity:.13;stroke:none}\n"
    "svg polyline{fill:none;stroke-width:1.6;stroke-linejoin:round}\n"
    "svg .in{stroke:var(--in);fill:var(--in)}\n"
    "svg polyline.in{fill:none}\n"
    "svg .out{stroke:var(--out);fill:var(--out)}\n"
    "svg polyline.out{fill:none;stroke-dasharray:5 3}\n"
    "svg .empty{font-size:13px}\n"
    ".note{margin:8px 0 0}\n"
    "ul.bad{margin:6px 0 0;padding-left:20px;color:var(--muted)}\n"
    "ul.bad code{color:var(--ink);background:#f1f3f5;padding:0 3px;white-space:pre-wrap;word-break:break-all}\n"
    "@media print{body{background:#fff}section{break-inside:avoid;border-color:#999}}\n"
    "</style>\n";

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F; 0 where it has none.
const unsigned short kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

struct Out {
    FILE *f;
    bool ok;
};

#ifdef __GNUC__
__attribute__((format(printf, 2, 3)))
#endif
void Put(Out *out, const char *format, ...)
{
    char text[1024];
    va_list args;
    va_start(args, format);
    int n = vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0) {
        out->ok = false;
        return;
    }
    size_t len = static_cast<size_t>(n) < sizeof text ? static_cast<size_t>(n) : sizeof text - 1;
    out->ok = WriteText(out->f, text, len) && out->ok;
}

void PutEscaped(Out *out, const char *text, size_t n)
{
    out->ok = WriteEscaped(out->f, text, n) && out->ok;
}

// 1234567 as "1,234,567".
void Grouped(char *buf, size_t cap, int64_t value)
{
    char digits[32];
    snprintf(digits, sizeof digits, "%" PRId64, value < 0 ? -value : value);
    size_t len = strlen(digits);
    size_t pos = 0;
    if (value < 0 && pos + 1 < cap)
        buf[pos++] = '-';
    for (size_t i = 0; i < len && pos + 1 < cap; i++) {
        if (i > 0 && (len - i) % 3 == 0 && pos + 2 < cap)
            buf[pos++] = ',';
        buf[pos++] = digits[i];
    }
    buf[pos] = '\0';
}

// A link speed as people say it: "100 Mbit/s", "1.544 Mbit/s".
void SpeedText(char *buf, size_t cap, int64_t speed)
{
    static const char *const kUnits[] = {"bit/s", "kbit/s", "Mbit/s", "Gbit/s", "Tbit/s"};
    if (speed <= 0) {
        snprintf(buf, cap, "%" PRId64 " bit/s", speed);
        return;
    }
    int unit = 0;
    int64_t scale = 1;
    while (unit < 4 && speed >= scale * 1000) {
        scale *= 1000;
        unit++;
    }
    int64_t whole = speed / scale;
    int64_t frac = (speed % scale) * 1000 / scale;  // three decimals, trailing zeros dropped
    if (frac == 0) {
        snprintf(buf, cap, "%" PRId64 " %s", whole, kUnits[unit]);
        return;
    }
    char number[48];
    snprintf(number, sizeof number, "%" PRId64 ".%03d", whole, static_cast<int>(frac));
    size_t len = strlen(number);
    while (number[len - 1] == '0')
        number[--len] = '\0';
    snprintf(buf, cap, "%s %s", number, kUnits[unit]);
}

// "dd-mm-yyyy hh:mm" of local seconds.
void DateTimeText(char *buf, size_t cap, int64_t t)
{
    CivilDate d = CivilFromDays(t / 86400);
    int64_t s = t % 86400;
    snprintf(buf, cap, "%02d-%02d-%04d %02d:%02d", d.day, d.month, d.year, static_cast<int>(s / 3600),
             static_cast<int>(s / 60 % 60));
}

double X(const Graph &g, int64_t t)
{
    double span = static_cast<double>(g.t1 - g.t0);
    return kLeft + (span > 0 ? static_cast<double>(t - g.t0) * kPlotW / span : 0);
}

double Y(double value, int scale)
{
    if (value < 0)
        value = 0;
    if (value > scale)
        value = scale;
    return kTop + kPlotH - value * kPlotH / scale;
}

// The scale's top: 100 %, or the next multiple of 50 above the highest point.
int ScaleTop(const Graph &g)
{
    double top = 0;
    for (int i = 0; i < g.count; i++) {
        if (g.points[i].hasIn && g.points[i].in > top)
            top = g.points[i].in;
        if (g.points[i].hasOut && g.points[i].out > top)
            top = g.points[i].out;
    }
    if (top <= 100)
        return 100;
    int scale = (static_cast<int>(top) + 49) / 50 * 50;
    if (scale < top)
        scale += 50;
    return scale > kScaleCap ? kScaleCap : scale;
}

void HorizontalGrid(Out *out, int scale)
{
    int step = scale == 100 ? 25 : scale <= 300 ? 50 : scale <= 600 ? 100 : 250;
    for (int v = 0; v <= scale; v += step) {
        double y = Y(v, scale);
        Put(out, "<line class=\"%s\" x1=\"%d\" y1=\"%.1f\" x2=\"%d\" y2=\"%.1f\"/>", v == 100 ? "full" : "grid",
            kLeft, y, kWidth - kRight, y);
        Put(out, "<text x=\"%d\" y=\"%.1f\" text-anchor=\"end\">%d %%</text>\n", kLeft - 6, y + 4, v);
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

// The points of one direction: a line for each run without a gap, a dot for a lone
// point; under In's lines a light area. A point without a figure is a gap.
void Series(Out *out, const Graph &g, bool in, int scale)
{
    const char *cls = in ? "in" : "out";
    auto has = [&g, in](int k) { return in ? g.points[k].hasIn : g.points[k].hasOut; };
    int i = 0;
    while (i < g.count) {
        if (!has(i)) {
            i++;
            continue;
        }
        int j = i + 1;
        while (j < g.count && !g.points[j].breakBefore && has(j))
            j++;
        if (j - i == 1) {
            double v = in ? g.points[i].in : g.points[i].out;
            Put(out, "<circle class=\"%s\" cx=\"%.1f\" cy=\"%.1f\" r=\"2\"/>\n", cls, X(g, g.points[i].t),
                Y(v, scale));
        } else {
            if (in) {
                Put(out, "<path class=\"area\" d=\"M%.1f,%d", X(g, g.points[i].t), kTop + kPlotH);
                for (int k = i; k < j; k++)
                    PutPoint(out, "L", X(g, g.points[k].t), Y(g.points[k].in, scale));
                Put(out, "L%.1f,%dZ\"/>\n", X(g, g.points[j - 1].t), kTop + kPlotH);
            }
            Put(out, "<polyline class=\"%s\" points=\"", cls);
            for (int k = i; k < j; k++) {
                double v = in ? g.points[k].in : g.points[k].out;
                PutPoint(out, k == i ? "" : " ", X(g, g.points[k].t), Y(v, scale));
            }
            Put(out, "\"/>\n");
        }
        i = j;
    }
}

// One direction's average and maximum in a caption.
void Figures(Out *out, const char *cls, const char *name, int64_t rows, double avg, int32_t max)
{
    if (rows > 0)
        Put(out, "<span><i class=\"key %s\"></i>%s: average %.1f %%, maximum %d %%</span>", cls, name, avg, max);
    else
        Put(out, "<span><i class=\"key %s\"></i>%s: not measured</span>", cls, name);
}

const char *const kCaptions[PERIOD_COUNT] = {"Last 24 hours, one point per row", "Last 7 days, 30-minute averages",
                                             "Last 31 days, 2-hour averages", "Last 400 days, daily averages"};
const char *const kPeriodNames[PERIOD_COUNT] = {"day", "week", "month", "year"};

void GraphFigure(Out *out, const History *h, Period period)
{
    static Graph g;
    BuildGraph(h, period, &g);
    int scale = ScaleTop(g);
    Put(out, "<figure>\n<figcaption><b>%s</b>", kCaptions[period]);
    if (g.rows > 0) {
        Figures(out, "in", "In", g.rowsIn, g.avgIn, g.maxIn);
        Figures(out, "out", "Out", g.rowsOut, g.avgOut, g.maxOut);
    }
    Put(out, "</figcaption>\n");
    Put(out,
        "<svg class=\"graph\" data-period=\"%s\" data-t0=\"%" PRId64 "\" data-t1=\"%" PRId64
        "\" data-scale=\"%d\" data-plot=\"%d %d %d %d\" viewBox=\"0 0 %d %d\" width=\"%d\" height=\"%d\" "
        "role=\"img\" xmlns=\"http://www.w3.org/2000/svg\">\n",
        kPeriodNames[period], g.t0, g.t1, scale, kLeft, kTop, kPlotW, kPlotH, kWidth, kHeight, kWidth, kHeight);
    HorizontalGrid(out, scale);
    TimeAxis(out, g, period);
    if (g.count == 0)
        Put(out, "<text class=\"empty\" x=\"%d\" y=\"%d\" text-anchor=\"middle\">No rows in this period</text>\n",
            kLeft + kPlotW / 2, kTop + kPlotH / 2);
    Series(out, g, true, scale);
    Series(out, g, false, scale);
    Put(out, "<rect class=\"frame\" x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\"/>\n</svg>\n</figure>\n", kLeft, kTop,
        kPlotW, kPlotH);
}

void Name(Out *out, const PageEntry &e)
{
    PutEscaped(out, e.rec->strName, FieldLength(e.rec->strName, sizeof e.rec->strName));
}

void FileName(Out *out, const PageEntry &e)
{
    PutEscaped(out, e.fileName, strlen(e.fileName));
}

// Now, average and maximum of one direction; a cell without a figure stays empty.
void SummaryFigures(Out *out, bool hasNow, int32_t now, int64_t rows, double avg, int32_t max)
{
    if (hasNow)
        Put(out, "<td class=\"g\">%d</td>", now);
    else
        Put(out, "<td class=\"g\"></td>");
    if (rows > 0)
        Put(out, "<td>%.1f</td><td>%d</td>", avg, max);
    else
        Put(out, "<td></td><td></td>");
}

void SummaryRow(Out *out, const PageEntry &e, int index)
{
    char speed[64];
    SpeedText(speed, sizeof speed, e.rec->linkSpeed);
    Put(out, "<tr><td class=\"name\"><a href=\"#if%d\">", index + 1);
    Name(out, e);
    Put(out, "</a></td><td>%s</td>", speed);
    const History *h = e.hist;
    if (!h || h->rows == 0) {
        const char *why = !e.nameValid ? "no history: not a valid file name"
                          : !h         ? "no history file"
                                       : "no rows yet";
        Put(out, "<td class=\"none g\" colspan=\"7\">%s</td></tr>\n", why);
        return;
    }
    static Graph g;
    BuildGraph(h, PERIOD_DAY, &g);
    char last[24];
    DateTimeText(last, sizeof last, h->lastT);
    SummaryFigures(out, h->lastHasIn, h->lastIn, g.rowsIn, g.avgIn, g.maxIn);
    SummaryFigures(out, h->lastHasOut, h->lastOut, g.rowsOut, g.avgOut, g.maxOut);
    Put(out, "<td class=\"g\">%s</td></tr>\n", last);
}

void BadRows(Out *out, const PageEntry &e)
{
    const History *h = e.hist;
    char count[32];
    Grouped(count, sizeof count, h->badRows);
    Put(out, "<p class=\"note bad-count\">%s %s could not be read and %s left out%s</p>\n<ul class=\"bad\">\n", count,
        h->badRows == 1 ? "line" : "lines", h->badRows == 1 ? "is" : "are",
        h->badRows > h->badNamed ? "; the first ones:" : ":");
    for (int i = 0; i < h->badNamed; i++) {
        const BadRow &b = h->bad[i];
        char line[32];
        Grouped(line, sizeof line, b.line);
        Put(out, "<li>");
        FileName(out, e);
        Put(out, " line %s: ", line);
        if (b.length == 0) {
            Put(out, "empty</li>\n");
            continue;
        }
        size_t shown = b.length < BAD_TEXT_MAX ? static_cast<size_t>(b.length) : BAD_TEXT_MAX;
        Put(out, "<code>");
        PutEscaped(out, b.text, shown);
        Put(out, "</code>");
        if (b.length > BAD_TEXT_MAX) {
            char length[32];
            Grouped(length, sizeof length, b.length);
            Put(out, " &hellip; (%s characters)", length);
        }
        Put(out, "</li>\n");
    }
    Put(out, "</ul>\n");
    if (h->badRows > h->badNamed) {
        char rest[32];
        Grouped(rest, sizeof rest, h->badRows - h->badNamed);
        Put(out, "<p class=\"note\">and %s more.</p>\n", rest);
    }
}

void Section(Out *out, const PageEntry *entries, int index)
{
    const PageEntry &e = entries[index];
    char speed[64];
    SpeedText(speed, sizeof speed, e.rec->linkSpeed);
    Put(out, "<section id=\"if%d\">\n<h2>", index + 1);
    Name(out, e);
    Put(out, "</h2>\n<p class=\"src\">Interface %d of vellary.cfg, %s. ", index + 1, speed);
    if (!e.nameValid) {
        Put(out, "</p>\n<p class=\"note\">This name cannot be a file name (it holds one of "
                 "\\ / : * ? &quot; &lt; &gt; | or a control character, or is a device name such as CON or NUL), "
                 "so the monitor keeps no history for it.</p>\n</section>\n");
        return;
    }
    if (e.sharesWith >= 0) {
        Put(out, "History: ");
        FileName(out, e);
        Put(out, ", shared with <a href=\"#if%d\">", e.sharesWith + 1);
        Name(out, entries[e.sharesWith]);
        Put(out, "</a> (interface %d), whose graphs show the rows of both.</p>\n</section>\n", e.sharesWith + 1);
        return;
    }
    if (e.read == READ_MISSING || e.read == READ_NOT_FILE || e.read == READ_FAILED) {
        Put(out, "</p>\n<p class=\"note\">");
        FileName(out, e);
        Put(out, "%s</p>\n</section>\n",
            e.read == READ_MISSING    ? " does not exist yet: the monitor writes it from its second poll cycle on."
            : e.read == READ_NOT_FILE ? " is not a plain file, so it is not read."
                                      : " could not be opened (is it locked by another program?).");
        return;
    }
    const History *h = e.hist;
    char rows[32];
    Grouped(rows, sizeof rows, h->rows);
    Put(out, "History: ");
    FileName(out, e);
    if (h->rows > 0) {
        char first[24];
        char last[24];
        DateTimeText(first, sizeof first, h->firstT);
        DateTimeText(last, sizeof last, h->lastT);
        Put(out, ", %s %s from %s to %s.", rows, h->rows == 1 ? "row" : "rows", first, last);
    } else {
        Put(out, ", no rows yet.");
    }
    if (e.read == READ_CUT_SHORT)
        Put(out, " Reading it failed part-way: only the rows before that are shown.");
    Put(out, "</p>\n");
    if (h->rows > 0) {
        Put(out, "<div class=\"graphs\">\n");
        for (int p = 0; p < PERIOD_COUNT; p++)
            GraphFigure(out, h, static_cast<Period>(p));
        Put(out, "</div>\n");
    }
    if (h->badRows > 0)
        BadRows(out, e);
    Put(out, "</section>\n");
}

}  // namespace

bool WriteEscaped(FILE *f, const char *text, size_t n)
{
    char buf[1024];
    size_t len = 0;
    bool ok = true;
    // The page is UTF-8: valid UTF-8 goes as it is, as the monitor's table shows it.
    bool utf8 = IsValidUtf8(text, n);
    for (size_t i = 0; i < n; i++) {
        if (len > sizeof buf - 16) {
            ok = fwrite(buf, 1, len, f) == len && ok;
            len = 0;
        }
        unsigned char c = static_cast<unsigned char>(text[i]);
        const char *entity = c == '&' ? "&amp;" : c == '<' ? "&lt;" : c == '>' ? "&gt;" : c == '"' ? "&quot;"
                             : c == '\'' ? "&#39;" : nullptr;
        if (entity) {
            len += static_cast<size_t>(snprintf(buf + len, sizeof buf - len, "%s", entity));
        } else if (c < 0x20 || c == 0x7F) {
            len += static_cast<size_t>(snprintf(buf + len, sizeof buf - len, "&#xFFFD;"));
        } else if (utf8 && c == 0xC2 && static_cast<unsigned char>(text[i + 1]) < 0xA0) {
            len += static_cast<size_t>(snprintf(buf + len, sizeof buf - len, "&#xFFFD;"));  // a C1 control
            i++;
        } else if (c >= 0x80 && !utf8) {
            unsigned code = c < 0xA0 ? kCp1252High[c - 0x80] : c;
            len += static_cast<size_t>(snprintf(buf + len, sizeof buf - len, "&#x%X;", code ? code : 0xFFFD));
        } else {
            buf[len++] = static_cast<char>(c);  // ASCII, or a byte of a UTF-8 character
        }
    }
    return (fwrite(buf, 1, len, f) == len) && ok;
}

int WritePage(FILE *f, const PageEntry *entries, const PageInfo *info)
{
    Out out = {f, true};
    Put(&out, "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n");
    // The monitor adds a row every 5 minutes; so does a page left open.
    Put(&out, "<meta http-equiv=\"refresh\" content=\"300\">\n");
    Put(&out, "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n");
    Put(&out, "<title>Vellary - traffic report</title>\n");
    out.ok = WriteText(f, kStyle, sizeof kStyle - 1) && out.ok;
    Put(&out, "</head>\n<body>\n<main>\n");
    const LocalTime &m = info->made;
    Put(&out, "<h1>Vellary traffic report</h1>\n<p class=\"made\">Made on %02d-%02d-%04d at %02d:%02d:%02d from "
              "vellary.cfg and the history files in ",
        m.day, m.month, m.year, m.hour, m.minute, m.second);
    PutEscaped(&out, info->folder, strlen(info->folder));
    Put(&out, ". Each graph ends at its interface's last history row. The page reloads itself every 5 minutes.</p>\n");

    if (info->count == 0) {
        Put(&out, "<p class=\"note\">vellary.cfg lists no interface.</p>\n");
    } else {
        Put(&out, "<table class=\"summary\">\n<thead><tr><th class=\"name\" rowspan=\"2\">Interface</th>"
                  "<th rowspan=\"2\">Link speed</th><th class=\"g\" colspan=\"3\">%% In, last 24 hours</th>"
                  "<th class=\"g\" colspan=\"3\">%% Out, last 24 hours</th><th class=\"g\" rowspan=\"2\">Last row</th>"
                  "</tr>\n<tr><th class=\"g\">now</th><th>average</th><th>maximum</th>"
                  "<th class=\"g\">now</th><th>average</th><th>maximum</th></tr></thead>\n<tbody>\n");
        for (int i = 0; i < info->count; i++)
            SummaryRow(&out, entries[i], i);
        Put(&out, "</tbody>\n</table>\n");
        for (int i = 0; i < info->count; i++)
            Section(&out, entries, i);
    }
    Put(&out, "</main>\n</body>\n</html>\n");
    return out.ok;
}
