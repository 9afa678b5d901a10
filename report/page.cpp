// The page is written in one pass; every figure comes from the histories as they
// were read.
#include "report/page.h"

#include <cinttypes>
#include <cstring>

#include "records/textmode.h"
#include "report/dates.h"
#include "report/graph.h"
#include "report/html.h"

namespace {

const char kStyle[] =
    "<style>\n"
    ":root{--in:#1f4e8c;--out:#e08a2e;--ink:#1d2329;--muted:#5d6770;--line:#d9dee3}\n"
    "body{margin:0;background:#f4f6f8;color:var(--ink);font:14px/1.45 \"Segoe UI\",system-ui,-apple-system,"
    "\"Helvetica Neue\",Arial,\"Liberation Sans\",\"DejaVu Sans\",sans-serif}\n"
    "main{max-width:1340px;margin:0 auto;padding:20px 24px 40px}\n"
    "h1{font-size:22px;margin:0 0 2px;font-weight:600}\n"
    "h2{font-size:18px;margin:0;font-weight:600}\n"
    ".made,.src{color:var(--muted);margin:0}\n"
    ".scroll{overflow-x:auto;max-width:100%;margin:16px 0 8px}\n"
    "table.summary,table.alerts{border-collapse:collapse;background:#fff;border:1px solid var(--line)}\n"
    ".summary th,.summary td,.alerts th,.alerts td{padding:4px 8px;text-align:right;"
    "border-bottom:1px solid var(--line);white-space:nowrap}\n"
    ".summary th,.alerts th{font-weight:600;background:#eef1f4;font-size:13px}\n"
    ".summary .g{border-left:1px solid var(--line)}\n"
    ".summary th[colspan]{text-align:center}\n"
    ".summary .name,.alerts .name,.alerts .detail{text-align:left}\n"
    ".summary td{font-variant-numeric:tabular-nums}\n"
    ".summary tr.in td{border-bottom-color:#eef1f4}\n"
    ".summary td.dir{color:var(--muted);text-align:left}\n"
    ".summary small{display:block;color:var(--muted);font-size:11px;line-height:1.2}\n"
    ".summary td.none,.summary td.stopped{color:var(--muted);text-align:left}\n"
    ".summary td.stopped{color:#a33;white-space:normal;min-width:7em}\n"
    ".alerts caption{text-align:left;font-weight:600;padding:0 0 4px}\n"
    ".alerts .ev-down,.alerts .ev-above{color:#a33;font-weight:600}\n"
    "a{color:var(--in)}\n"
    "section{background:#fff;border:1px solid var(--line);border-radius:6px;margin:18px 0;padding:14px 16px}\n"
    ".graphs{display:grid;grid-template-columns:repeat(auto-fit,minmax(min(560px,100%),1fr));gap:10px 18px;"
    "margin-top:10px}\n"
    "figure{margin:0;min-width:0;break-inside:avoid}\n"
    "figcaption{font-size:13px;color:var(--muted)}\n"
    "figcaption b{display:block;font-weight:600;color:var(--ink)}\n"
    "figcaption>span{display:inline-block;margin-right:18px}\n"
    ".d{white-space:nowrap}\n"
    "figcaption .sofar{font-style:italic}\n"
    ".key{display:inline-block;width:22px;margin-right:5px;vertical-align:middle}\n"
    ".key.in{border-top:3px solid var(--in)}\n"
    ".key.out{border-top:3px dashed var(--out)}\n"
    ".key.peak{border-top:1px solid var(--in);margin-left:0}\n"
    ".key.speed{border-top:1px dashed #b03030;margin-left:10px}\n"
    "svg.graph{display:block;width:100%;height:auto}\n"
    "svg text{font-size:11px;fill:var(--muted)}\n"
    "svg .grid{stroke:#e6e9ec;stroke-width:1}\n"
    "svg .full{stroke:#9aa3ab;stroke-width:1}\n"
    "svg .frame{fill:none;stroke:#b9c0c6;stroke-width:1}\n"
    "svg .area{fill:var(--in);fill-opacity:.13;stroke:none}\n"
    "svg .band.down{fill:#d33;fill-opacity:.16}\n"
    "svg .band.above{fill:#e0a800;fill-opacity:.18}\n"
    "svg polyline{fill:none;stroke-width:1.6;stroke-linejoin:round}\n"
    "svg .in{stroke:var(--in);fill:var(--in)}\n"
    "svg polyline.in{fill:none}\n"
    "svg .out{stroke:var(--out);fill:var(--out)}\n"
    "svg polyline.out{fill:none;stroke-dasharray:5 3}\n"
    "svg polyline.peak-in,svg polyline.peak-out{fill:none;stroke-width:.7;stroke-opacity:.55}\n"
    "svg .peak-in{stroke:var(--in);fill:var(--in);fill-opacity:.55}\n"
    "svg .peak-out{stroke:var(--out);fill:var(--out);fill-opacity:.55}\n"
    "svg polyline.speed{stroke:#b03030;stroke-width:1;stroke-dasharray:2 2}\n"
    "svg polyline.sofar-in{stroke:var(--in);stroke-opacity:.4}\n"
    "svg polyline.sofar-out{stroke:var(--out);stroke-opacity:.4;stroke-dasharray:5 3}\n"
    "svg circle.sofar{fill-opacity:.4;stroke:none}\n"
    "svg .empty{font-size:13px}\n"
    ".note{margin:8px 0 0}\n"
    "ul.bad{margin:6px 0 0;padding-left:20px;color:var(--muted)}\n"
    "ul.bad code{color:var(--ink);background:#f1f3f5;padding:0 3px;white-space:pre-wrap;word-break:break-all}\n"
    "@media (max-width:600px){main{padding:12px 10px 30px}section{padding:10px}}\n"
    "@media print{body{background:#fff;font-size:11px}main{max-width:none;padding:0}"
    ".scroll{overflow:visible}.summary th,.summary td,.alerts th,.alerts td{padding:2px 5px;font-size:9px}"
    "section{border-color:#999;break-inside:auto}.graphs{display:block}figure{margin:0 0 10px}"
    "figcaption{break-after:avoid}}\n"
    "</style>\n";

void Name(Out *out, const PageEntry &e)
{
    PutEscaped(out, e.rec->strName, FieldLength(e.rec->strName, sizeof e.rec->strName));
}

void FileName(Out *out, const PageEntry &e)
{
    PutEscaped(out, e.fileName, strlen(e.fileName));
}

// The entries after e that read its file, as "interfaces 5 and 6".
void Sharers(Out *out, const PageEntry *entries, int count, int index)
{
    int n = 1;
    for (int j = index + 1; j < count; j++)
        n += entries[j].sharesWith == index;
    Put(out, "nterfaces %d", index + 1);
    int k = 1;
    for (int j = index + 1; j < count; j++) {
        if (entries[j].sharesWith != index)
            continue;
        k++;
        Put(out, "%s%d", k == n ? " and " : ", ", j + 1);
    }
}

int ShareCount(const PageEntry *entries, int count, int index)
{
    int n = 0;
    for (int j = index + 1; j < count; j++)
        n += entries[j].sharesWith == index;
    return n;
}

// The names of the entries that read e's file, e's own first: "Uplink + UPLINK".
void Names(Out *out, const PageEntry *entries, int count, int index, bool links)
{
    for (int j = index; j < count; j++) {
        if (j != index && entries[j].sharesWith != index)
            continue;
        if (j != index)
            Put(out, " + ");
        if (links)
            Put(out, "<a href=\"#if%d\">", j + 1);
        Name(out, entries[j]);
        if (links)
            Put(out, "</a>");
    }
}

// A figure of the summary: a rate with its percentage of the link speed, or a percentage.
void Cell(Out *out, const char *cls, const History *h, bool has, double v, int decimals)
{
    Put(out, "<td%s%s%s>", cls[0] ? " class=\"" : "", cls, cls[0] ? "\"" : "");
    if (has) {
        char text[48];
        if (h->exact) {
            RateText(text, sizeof text, v);
            Put(out, "%s", text);
            if (h->lastSpeed > 0)
                Put(out, "<small>%.*f %%</small>", decimals, v * 100 / static_cast<double>(h->lastSpeed));
        } else {
            Put(out, "%.*f %%", decimals, v);
        }
    }
    Put(out, "</td>");
}

void VolumeCell(Out *out, const char *cls, const History *h, const FlowStats &f)
{
    Put(out, "<td%s%s%s>", cls[0] ? " class=\"" : "", cls, cls[0] ? "\"" : "");
    if (h->exact && f.rows > 0) {
        char text[32];
        BytesText(text, sizeof text, f.volume);
        Put(out, "<span data-bytes=\"%" PRId64 "\">%s</span>", f.volume, text);
    }
    Put(out, "</td>");
}

// More than three periods without a row: the monitor has stopped, or cannot write.
bool Stopped(const History *h, int64_t now)
{
    return now - h->lastT > GAP_SECONDS;
}

// One direction's row of an interface in the summary.
void SummaryFigures(Out *out, const History *h, const Graph &day, const FlowStats &month, bool in, bool stopped)
{
    const FlowStats &f = in ? day.in : day.out;
    if (!stopped)
        Cell(out, "g now", h, in ? h->lastHasIn : h->lastHasOut, static_cast<double>(in ? h->lastIn : h->lastOut), 0);
    Cell(out, "", h, f.avgRows > 0, f.avg, 1);
    Cell(out, "", h, f.rows > 0, static_cast<double>(f.max), 0);
    char when[24] = "";
    if (f.rows > 0)
        DateTimeText(when, sizeof when, f.maxT);
    Put(out, "<td class=\"d\">%s</td>", when);
    Cell(out, "", h, h->exact && f.hasP95, static_cast<double>(f.p95), 0);
    VolumeCell(out, "", h, f);
    Cell(out, "g", h, h->exact && month.hasP95, static_cast<double>(month.p95), 0);
    VolumeCell(out, "", h, month);
}

void SummaryRows(Out *out, const PageEntry *entries, int count, int index, int64_t now)
{
    const PageEntry &e = entries[index];
    char speed[64];
    SpeedText(speed, sizeof speed, e.rec->linkSpeed);
    const History *h = e.hist;
    bool rows = h && h->rows > 0;
    Put(out, "<tr class=\"in\"><td class=\"name\"%s>", rows ? " rowspan=\"2\"" : "");
    Names(out, entries, count, index, true);
    Put(out, "</td><td%s>%s</td>", rows ? " rowspan=\"2\"" : "", speed);
    if (!rows) {
        const char *why = !e.nameValid ? "no history: not a valid file name"
                          : !h         ? "no history file"
                                       : "no rows yet";
        Put(out, "<td class=\"none g\" colspan=\"10\">%s</td></tr>\n", why);
        return;
    }
    static Graph day;
    BuildGraph(h, PERIOD_DAY, &day);
    // The calendar month of the page's own time, from its first day on.
    CivilDate today = CivilFromDays(now / 86400);
    int64_t from = DaysFromCivil(today.year, today.month, 1) * 86400;
    int64_t to = from + int64_t{DaysInMonth(today.year, today.month)} * 86400;
    FlowStats monthIn, monthOut;
    RangeStats(h, from, to, &monthIn, &monthOut);
    bool stopped = Stopped(h, now);
    char last[24];
    DateTimeText(last, sizeof last, h->lastT);
    Put(out, "<td class=\"dir\">In</td>");
    if (stopped)
        Put(out, "<td class=\"g stopped\" rowspan=\"2\">no rows since <span class=\"d\">%s</span></td>", last);
    SummaryFigures(out, h, day, monthIn, true, stopped);
    Put(out, "</tr>\n<tr class=\"out\"><td class=\"dir\">Out</td>");
    SummaryFigures(out, h, day, monthOut, false, stopped);
    Put(out, "</tr>\n");
}

void Summary(Out *out, const PageEntry *entries, int count, int64_t now)
{
    Put(out, "<div class=\"scroll\"><table class=\"summary\">\n<thead><tr><th class=\"name\" rowspan=\"2\">Interface</th>"
             "<th rowspan=\"2\">Link speed</th><th rowspan=\"2\"></th><th class=\"g\" colspan=\"6\">Last 24 hours</th>"
             "<th class=\"g\" colspan=\"2\">This month so far</th></tr>\n"
             "<tr><th class=\"g\">now</th><th>average</th><th>maximum</th><th>at</th><th>95th<br>percentile</th>"
             "<th>volume</th><th class=\"g\">95th<br>percentile</th><th>volume</th></tr></thead>\n<tbody>\n");
    for (int i = 0; i < count; i++)
        if (entries[i].sharesWith < 0)
            SummaryRows(out, entries, count, i, now);
    Put(out, "</tbody>\n</table></div>\n<p class=\"note\">Rates in bit/s where the monitor keeps an exact history "
             "(NAME.exact.csv), with their share of the last row's link speed; otherwise in %% of the link speed. "
             "The 95th percentile is of the period's rows, by nearest rank: the highest 5 %% are left out. "
             "Volumes are in bytes (1 GB is 1,000,000,000 bytes).</p>\n");
}

void BadLines(Out *out, const char *file, int64_t badRows, int32_t badNamed, const BadRow *bad)
{
    char count[32];
    Grouped(count, sizeof count, badRows);
    Put(out, "<p class=\"note bad-count\">%s %s could not be read and %s left out%s</p>\n<ul class=\"bad\">\n", count,
        badRows == 1 ? "line" : "lines", badRows == 1 ? "is" : "are", badRows > badNamed ? "; the first ones:" : ":");
    for (int i = 0; i < badNamed; i++) {
        const BadRow &b = bad[i];
        char line[32];
        Grouped(line, sizeof line, b.line);
        Put(out, "<li>");
        PutEscaped(out, file, strlen(file));
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
    if (badRows > badNamed) {
        char rest[32];
        Grouped(rest, sizeof rest, badRows - badNamed);
        Put(out, "<p class=\"note\">and %s more.</p>\n", rest);
    }
}

void Alerts(Out *out, const AlertLog *log)
{
    if (!log || log->read == READ_MISSING)
        return;
    if (log->read == READ_NOT_FILE || log->read == READ_FAILED) {
        Put(out, "<p class=\"note\">" ALERT_LOG_NAME " could not be read%s.</p>\n",
            log->read == READ_NOT_FILE ? ": it is not a plain file" : " (is it locked by another program?)");
        return;
    }
    if (log->count == 0) {
        Put(out, "<p class=\"note\">" ALERT_LOG_NAME " holds no alerts.</p>\n");
    } else {
        char total[32];
        Grouped(total, sizeof total, log->rows);
        Put(out, "<div class=\"scroll\"><table class=\"alerts\"><caption>Alerts: the last %d of %s in " ALERT_LOG_NAME
                 ", newest first</caption>\n<thead><tr><th class=\"name\">Time</th><th class=\"name\">Interface</th>"
                 "<th class=\"name\">Event</th><th>%% In</th><th>%% Out</th><th class=\"detail\">Detail</th></tr>"
                 "</thead>\n<tbody>\n",
            log->count, total);
        for (int k = 0; k < log->count; k++) {
            const AlertRow &a = NewestAlert(log, k);
            char when[24];
            DateTimeText(when, sizeof when, a.t);
            Put(out, "<tr><td class=\"name d\">%s:%02d</td><td class=\"name\">", when, static_cast<int>(a.t % 60));
            PutEscaped(out, a.name, strnlen(a.name, sizeof a.name));
            Put(out, "</td><td class=\"name ev-%s\">%s</td><td>", kAlertEvents[a.event], kAlertEvents[a.event]);
            if (a.hasIn)
                Put(out, "%d", a.pctIn);
            Put(out, "</td><td>");
            if (a.hasOut)
                Put(out, "%d", a.pctOut);
            Put(out, "</td><td class=\"detail\">");
            PutEscaped(out, a.detail, strnlen(a.detail, sizeof a.detail));
            Put(out, "</td></tr>\n");
        }
        Put(out, "</tbody>\n</table></div>\n");
    }
    if (log->badRows > 0)
        BadLines(out, ALERT_LOG_NAME, log->badRows, log->badNamed, log->bad);
}

// What a reader of an exact history should know of its speeds and of NAME.csv.
void ExactNotes(Out *out, const PageEntry &e)
{
    const History *h = e.hist;
    char a[64], b[64], when[24];
    if (h->rows > 0 && h->lastSpeed != e.rec->linkSpeed) {
        SpeedText(a, sizeof a, e.rec->linkSpeed);
        SpeedText(b, sizeof b, h->lastSpeed);
        Put(out, "<p class=\"note speed-differs\">vellary.cfg gives a link speed of %s, the exact history's last row "
                 "%s: the monitor has not polled with the new speed yet, or has stopped. Each row is drawn at its own "
                 "speed.</p>\n",
            a, b);
    }
    if (h->speedChanges > 0) {
        SpeedText(a, sizeof a, h->speedBefore);
        SpeedText(b, sizeof b, h->lastSpeed);
        DateTimeText(when, sizeof when, h->speedChangeT);
        Put(out, "<p class=\"note speed-change\">The link speed changed %s in the exact history, last on "
                 "<span class=\"d\">%s</span> from %s to %s; the percentages of each row are of its own speed.</p>\n",
            h->speedChanges == 1 ? "once" : "more than once", when, a, b);
    }
    if (e.percentFirstT >= 0 && h->rows > 0 && e.percentFirstT < h->firstT) {
        char first[24], exactFirst[24];
        DateTimeText(first, sizeof first, e.percentFirstT);
        DateTimeText(exactFirst, sizeof exactFirst, h->firstT);
        Put(out, "<p class=\"note\">");
        PutEscaped(out, e.rec->strName, FieldLength(e.rec->strName, sizeof e.rec->strName));
        Put(out, ".csv goes back to <span class=\"d\">%s</span>, before the exact history began on <span "
                 "class=\"d\">%s</span>; its rows are in %% of the link speed and are not drawn here.</p>\n",
            first, exactFirst);
    }
}

void Section(Out *out, const PageEntry *entries, int count, int index, const AlertLog *alerts, int64_t now)
{
    const PageEntry &e = entries[index];
    char speed[64];
    SpeedText(speed, sizeof speed, e.rec->linkSpeed);
    Put(out, "<section id=\"if%d\">\n", index + 1);
    for (int j = index + 1; j < count; j++)
        if (entries[j].sharesWith == index)
            Put(out, "<span id=\"if%d\"></span>", j + 1);
    Put(out, "<h2>");
    Names(out, entries, count, index, false);
    Put(out, "</h2>\n<p class=\"src\">");
    if (ShareCount(entries, count, index) > 0) {
        Put(out, "I");
        Sharers(out, entries, count, index);
        Put(out, " of vellary.cfg write one file, so their rows are drawn together; %s. ", speed);
    } else {
        Put(out, "Interface %d of vellary.cfg, %s. ", index + 1, speed);
    }
    if (!e.nameValid) {
        Put(out, "</p>\n<p class=\"note\">This name cannot be a file name (it holds one of "
                 "\\ / : * ? &quot; &lt; &gt; | or a control character, or is a device name such as CON or NUL), "
                 "so the monitor keeps no history for it.</p>\n</section>\n");
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
        Put(out, ", %s %s from <span class=\"d\">%s</span> to <span class=\"d\">%s</span>.", rows,
            h->rows == 1 ? "row" : "rows", first, last);
    } else {
        Put(out, ", no rows yet.");
    }
    if (e.read == READ_CUT_SHORT)
        Put(out, " Reading it failed part-way: only the rows before that are shown.");
    Put(out, "</p>\n");
    if (h->rows > 0 && Stopped(h, now)) {
        char last[24];
        DateTimeText(last, sizeof last, h->lastT);
        Put(out, "<p class=\"note stopped\">No rows since <span class=\"d\">%s</span>: the monitor has stopped, or "
                 "cannot write the file.</p>\n",
            last);
    }
    if (h->exact)
        ExactNotes(out, e);
    if (h->rows > 0) {
        GraphLabel label = {e.rec->strName, FieldLength(e.rec->strName, sizeof e.rec->strName), nullptr, nullptr};
        if (alerts) {
            label.down = &alerts->down[index];
            label.above = &alerts->above[index];
        }
        static Graph g;
        Put(out, "<div class=\"graphs\">\n");
        for (int p = 0; p < PERIOD_COUNT; p++) {
            BuildGraph(h, static_cast<Period>(p), &g);
            WriteGraph(out, g, static_cast<Period>(p), label);
        }
        Put(out, "</div>\n");
    }
    if (h->badRows > 0)
        BadLines(out, e.fileName, h->badRows, h->badNamed, h->bad);
    Put(out, "</section>\n");
}

}  // namespace

int64_t LocalSeconds(const LocalTime &t)
{
    return DaysFromCivil(t.year, t.month, t.day) * 86400 + int64_t{t.hour} * 3600 + int64_t{t.minute} * 60 + t.second;
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
    int64_t now = LocalSeconds(m);
    Put(&out, "<h1>Vellary traffic report</h1>\n<p class=\"made\">Made on %02d-%02d-%04d at %02d:%02d:%02d from "
              "vellary.cfg and the history files in ",
        m.day, m.month, m.year, m.hour, m.minute, m.second);
    PutEscaped(&out, info->folder, strlen(info->folder));
    Put(&out, ". Each graph ends at its interface's last history row. The page reloads itself every 5 minutes.</p>\n");

    if (info->count == 0) {
        Put(&out, "<p class=\"note\">vellary.cfg lists no interface.</p>\n");
    } else {
        Summary(&out, entries, info->count, now);
        Alerts(&out, info->alerts);
        for (int i = 0; i < info->count; i++)
            if (entries[i].sharesWith < 0)
                Section(&out, entries, info->count, i, info->alerts, now);
    }
    Put(&out, "</main>\n</body>\n</html>\n");
    return out.ok;
}
