// The file is LF-only text, unlike every other file Vellary writes: the
// exposition format's line break is LF, and a collector reads a CR as part of
// the value. Samples of one metric follow its HELP and TYPE lines together, as
// the format wants: the writer goes family by family, and within each through
// the interfaces.
#include "export/prometheus.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "alerts/alerts.h"
#include "config/interfaces.h"
#include "config/settings.h"
#include "config/utf8.h"
#include "poll/clock.h"
#include "records/diskfile.h"
#include "records/localtime.h"
#include "records/log.h"
#include "records/replace.h"

namespace {

typedef __int128 Wide;

#define LABELS_CHARS 160  // two escaped fields of at most 17 bytes, each byte up to two
#define PATH_CHARS (SETTINGS_VALUE_CHARS + 16)
#define VALUE_CHARS 64

// Octets measured since the start, per interface and direction.
uint64_t g_totals[MAX_INTERFACES][2];
bool g_failing;

struct Family;

// What the samples of one family are printed with.
struct Writer {
    FILE *f;
    const Family *family;
    bool headed;
    const char *labels;  // the interface's, without braces
    int64_t nowUtc;
    int64_t nowMs;
};

struct Family {
    const char *name;
    const char *type;
    const char *help;
    int out;  // the direction, for the families that have one
    void (*samples)(Writer *w, int index);
};

// One sample, after the family's HELP and TYPE lines when it is its first: a
// family without samples is left out whole.
void Sample(Writer *w, const char *extraLabels, const char *value)
{
    const Family *family = w->family;
    if (!w->headed)
        fprintf(w->f, "# HELP %s %s\n# TYPE %s %s\n", family->name, family->help, family->name, family->type);
    w->headed = true;
    fprintf(w->f, "%s{%s%s} %s\n", family->name, w->labels, extraLabels, value);
}

// The digits of v >= 0 at text, which has room for 40.
char *PrintWide(char *text, Wide v)
{
    char digits[40];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + static_cast<int>(v % 10));
        v /= 10;
    } while (v > 0 && n < 39);
    while (n > 0)
        *text++ = digits[--n];
    *text = '\0';
    return text;
}

// num / den (both above 0) in decimals, truncated after `decimals` places, with
// no trailing zeros: exact figures, not a double's approximation of them.
void Quotient(char *text, Wide num, Wide den, int decimals)
{
    Wide scale = 1;
    for (int k = 0; k < decimals; k++)
        scale *= 10;
    Wide q = num * scale / den;
    char *end = PrintWide(text, q / scale);
    Wide fraction = q % scale;
    if (fraction == 0)
        return;
    *end++ = '.';
    for (Wide digit = scale / 10; digit > 0 && fraction > 0; digit /= 10) {
        *end++ = static_cast<char>('0' + static_cast<int>(fraction / digit));
        fraction %= digit;
    }
    *end = '\0';
}

void Up(Writer *w, int index)
{
    const InterfaceRecord *rec = &g_interfaces[index];
    Sample(w, "", rec->freshIn || rec->freshOut ? "1" : "0");
}

// The direction's octets and milliseconds when it was measured; else false.
bool Interval(int index, int out, int64_t *octets, int64_t *ms)
{
    const InterfaceRecord *rec = &g_interfaces[index];
    *octets = out ? rec->deltaOutOctets : rec->deltaInOctets;
    *ms = out ? rec->deltaOutMs : rec->deltaInMs;
    return (out ? rec->measuredOut : rec->measuredIn) && *ms > 0 && *octets >= 0;
}

void BytesPerSecond(Writer *w, int index)
{
    int64_t octets, ms;
    if (!Interval(index, w->family->out, &octets, &ms))
        return;
    char value[VALUE_CHARS];
    Quotient(value, Wide(octets) * 1000, ms, 3);
    Sample(w, "", value);
}

void BytesTotal(Writer *w, int index)
{
    char value[VALUE_CHARS];
    snprintf(value, sizeof value, "%" PRIu64, g_totals[index][w->family->out]);
    Sample(w, "", value);
}

void Utilisation(Writer *w, int index)
{
    int64_t octets, ms;
    int64_t speed = g_interfaces[index].linkSpeed;
    if (speed <= 0 || !Interval(index, w->family->out, &octets, &ms))
        return;
    char value[VALUE_CHARS];
    Quotient(value, Wide(octets) * 8000, Wide(ms) * speed, 9);
    Sample(w, "", value);
}

void Speed(Writer *w, int index)
{
    int64_t speed = g_interfaces[index].linkSpeed;
    if (speed <= 0)
        return;
    char value[VALUE_CHARS];
    Quotient(value, speed, 8, 3);
    Sample(w, "", value);
}

// When the interface's poll began, by the wall clock: the monotonic time since
// then, taken from now.
void LastPoll(Writer *w, int index)
{
    int64_t since = w->nowMs - g_interfaces[index].curTime;
    if (since < 0)
        since = 0;
    char value[VALUE_CHARS];
    snprintf(value, sizeof value, "%" PRId64, w->nowUtc - (since + 500) / 1000);
    Sample(w, "", value);
}

// The interface's alert states, while vellary.ini turns alerts on: without them
// the family has no samples, and the file is as it was.
void Alert(Writer *w, int index)
{
    if (!g_settings.alerts.on)
        return;
    Sample(w, ",event=\"down\"", AlertDown(index) ? "1" : "0");
    Sample(w, ",event=\"above\"", AlertAbove(index) ? "1" : "0");
}

const Family kFamilies[] = {
    {"vellary_interface_up", "gauge", "1 when the last poll got a reading of a counter of the interface, else 0.", 0,
     Up},
    {"vellary_interface_receive_bytes_per_second", "gauge",
     "Bytes received per second over the last interval; absent when it was not measured.", 0, BytesPerSecond},
    {"vellary_interface_transmit_bytes_per_second", "gauge",
     "Bytes sent per second over the last interval; absent when it was not measured.", 1, BytesPerSecond},
    {"vellary_interface_receive_bytes_total", "counter",
     "Bytes received in the intervals measured since Vellary started.", 0, BytesTotal},
    {"vellary_interface_transmit_bytes_total", "counter", "Bytes sent in the intervals measured since Vellary started.",
     1, BytesTotal},
    {"vellary_interface_receive_utilisation_ratio", "gauge",
     "Receive rate over the link speed, 1 for the whole link; absent when not measured.", 0, Utilisation},
    {"vellary_interface_transmit_utilisation_ratio", "gauge",
     "Transmit rate over the link speed, 1 for the whole link; absent when not measured.", 1, Utilisation},
    {"vellary_interface_speed_bytes_per_second", "gauge", "The link speed given in vellary.cfg, in bytes per second.",
     0, Speed},
    {"vellary_interface_last_poll_timestamp_seconds", "gauge",
     "When the last poll of the interface began, in seconds since 1970.", 0, LastPoll},
    {"vellary_interface_alert", "gauge",
     "1 while the interface is in the alert state named by event (down, above), else 0.", 0, Alert},
};

// Appends a label value, escaped as the format says; text that is not UTF-8 is
// taken a byte a character, as the table shows it.
void PutLabelValue(char *labels, size_t *used, const char *text, size_t n)
{
    bool utf8 = IsValidUtf8(text, n);
    for (size_t k = 0; k < n && *used + 3 < LABELS_CHARS; k++) {
        unsigned char c = static_cast<unsigned char>(text[k]);
        if (c == '\\' || c == '"' || c == '\n') {
            labels[(*used)++] = '\\';
            labels[(*used)++] = c == '\n' ? 'n' : static_cast<char>(c);
        } else if (!utf8 && c >= 0x80) {
            labels[(*used)++] = static_cast<char>(0xC0 | (c >> 6));
            labels[(*used)++] = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            labels[(*used)++] = static_cast<char>(c);
        }
    }
    labels[*used] = '\0';
}

void FormLabels(const InterfaceRecord *rec, char *labels)
{
    size_t used = 0;
    labels[0] = '\0';
    const char *parts[] = {"interface=\"", "\",address=\"", "\""};
    for (int k = 0; k < 3; k++) {
        size_t len = strlen(parts[k]);
        if (used + len >= LABELS_CHARS)
            return;
        memcpy(labels + used, parts[k], len + 1);
        used += len;
        if (k == 0)
            PutLabelValue(labels, &used, rec->strName, FieldLength(rec->strName, sizeof rec->strName));
        else if (k == 1)
            PutLabelValue(labels, &used, rec->strIP, FieldLength(rec->strIP, sizeof rec->strIP));
    }
}

// Two lines of vellary.cfg with the same name and address would be the same
// series twice, which makes a collector drop the whole file: the first is kept.
bool RepeatsAnEarlier(int index)
{
    const InterfaceRecord *rec = &g_interfaces[index];
    for (int j = 0; j < index; j++)
        if (memcmp(rec->strName, g_interfaces[j].strName, sizeof rec->strName) == 0 &&
            memcmp(rec->strIP, g_interfaces[j].strIP, sizeof rec->strIP) == 0)
            return true;
    return false;
}

bool WriteFamilies(FILE *f, int count)
{
    static char labels[MAX_INTERFACES][LABELS_CHARS];
    for (int i = 0; i < count; i++)
        FormLabels(&g_interfaces[i], labels[i]);
    LocalTime lt;
    Writer w = {f, nullptr, false, nullptr, 0, MonotonicMs()};
    ReadWallClock(&lt, &w.nowUtc);
    for (const Family &family : kFamilies) {
        w.family = &family;
        w.headed = false;
        for (int i = 0; i < count; i++) {
            if (RepeatsAnEarlier(i))
                continue;
            w.labels = labels[i];
            family.samples(&w, i);
        }
    }
    return !ferror(f);
}

void AddIntervals(int count)
{
    for (int i = 0; i < count; i++) {
        for (int out = 0; out < 2; out++) {
            int64_t octets, ms;
            if (!Interval(i, out, &octets, &ms))
                continue;
            uint64_t *total = &g_totals[i][out];
            // Never wraps: a counter that went back would read as a restart.
            *total = *total > UINT64_MAX - static_cast<uint64_t>(octets) ? UINT64_MAX
                                                                         : *total + static_cast<uint64_t>(octets);
        }
    }
}

bool FormPath(const char *folder, char *path, size_t cap)
{
    size_t len = strlen(folder);
    bool ends = len > 0 && (folder[len - 1] == '\\' || folder[len - 1] == '/');
    int n = snprintf(path, cap, "%s%s%s", folder, ends ? "" : PATH_SEPARATOR, PROMETHEUS_FILE_NAME);
    return n > 0 && static_cast<size_t>(n) < cap;
}

}  // namespace

void WritePrometheusExport(const char *folder)
{
    int count = g_interfaceCount < 0 ? 0 : g_interfaceCount > MAX_INTERFACES ? MAX_INTERFACES : g_interfaceCount;
    AddIntervals(count);

    static char path[PATH_CHARS], temp[PATH_CHARS + 32];
    bool placed = false;
    if (FormPath(folder, path, sizeof path) && TempFileName(path, temp, sizeof temp)) {
        FILE *f = OpenDiskFile(temp, "wb");
        if (f)
            placed = PutFileInPlace(f, WriteFamilies(f, count), temp, path) == PLACE_DONE;
    } else {
        snprintf(path, sizeof path, "%s", folder);
    }
    if (placed == g_failing)
        WriteLog(placed ? "Prometheus export resumed" : "Prometheus export failure", path);
    g_failing = !placed;
}
