#include "report/alerts.h"

#include <cstring>

#include "report/dates.h"

const char *const kAlertEvents[4] = {"down", "up", "above", "normal"};

namespace {

bool Digits2(const char *p, int *value)
{
    unsigned a = static_cast<unsigned char>(p[0]) - '0', b = static_cast<unsigned char>(p[1]) - '0';
    if (a > 9 || b > 9)
        return false;
    *value = static_cast<int>(a * 10 + b);
    return true;
}

// A field up to the next comma: [*pp, comma), and *pp past the comma.
bool Field(const char **pp, const char *end, const char **start, size_t *len)
{
    const char *comma = static_cast<const char *>(memchr(*pp, ',', static_cast<size_t>(end - *pp)));
    if (!comma)
        return false;
    *start = *pp;
    *len = static_cast<size_t>(comma - *pp);
    *pp = comma + 1;
    return true;
}

// A percentage as %i prints it, or nothing.
bool Percent(const char *p, size_t len, int32_t *value, bool *has)
{
    *has = len > 0;
    *value = 0;
    if (len == 0)
        return true;
    size_t i = p[0] == '-' ? 1 : 0;
    if (i == len || len - i > 9)
        return false;
    int32_t v = 0;
    for (; i < len; i++) {
        unsigned d = static_cast<unsigned char>(p[i]) - '0';
        if (d > 9)
            return false;
        v = v * 10 + static_cast<int32_t>(d);
    }
    *value = p[0] == '-' ? -v : v;
    return true;
}

void Open(BandRing *ring, int64_t t)
{
    if (ring->open)
        return;
    ring->band[ring->next] = {t, -1};
    ring->next = (ring->next + 1) % BANDS_MAX;
    if (ring->count < BANDS_MAX)
        ring->count++;
    ring->open = true;
}

void Close(BandRing *ring, int64_t t)
{
    if (!ring->open)
        return;
    Band *b = &ring->band[(ring->next + BANDS_MAX - 1) % BANDS_MAX];
    b->to = t < b->from ? b->from : t;  // a clock set back meanwhile: an empty band
    ring->open = false;
}

void TakeAlertLine(void *reader, int64_t line, const char *p, int64_t n, int64_t length);

struct AlertReader {
    LineSplitter s;
    AlertLog *log;
};

void AddBad(AlertLog *log, int64_t line, const char *p, int64_t length)
{
    log->badRows++;
    if (log->badNamed >= MAX_BAD_NAMED)
        return;
    BadRow *bad = &log->bad[log->badNamed++];
    bad->line = line;
    bad->length = length > INT32_MAX ? INT32_MAX : static_cast<int32_t>(length);
    memset(bad->text, 0, sizeof bad->text);
    memcpy(bad->text, p, static_cast<size_t>(length < BAD_TEXT_MAX ? length : BAD_TEXT_MAX));
}

void TakeAlertLine(void *reader, int64_t line, const char *p, int64_t n, int64_t length)
{
    AlertReader *r = static_cast<AlertReader *>(reader);
    AlertLog *log = r->log;
    log->lines = line;
    AlertRow row;
    if (n == length && ParseAlertRow(p, p + n, &row, &r->s.memo)) {
        row.line = line;
        log->last[log->next] = row;
        log->next = (log->next + 1) % ALERTS_SHOWN;
        if (log->count < ALERTS_SHOWN)
            log->count++;
        log->rows++;
        size_t len = strnlen(row.name, sizeof row.name);
        for (int i = 0; i < log->recordCount; i++) {
            const InterfaceRecord &rec = log->records[i];
            if (FieldLength(rec.strName, sizeof rec.strName) != len || memcmp(rec.strName, row.name, len) != 0)
                continue;
            if (row.event == EVENT_DOWN)
                Open(&log->down[i], row.t);
            else if (row.event == EVENT_UP)
                Close(&log->down[i], row.t);
            else if (row.event == EVENT_ABOVE)
                Open(&log->above[i], row.t);
            else
                Close(&log->above[i], row.t);
            break;
        }
        return;
    }
    if (line == 1 && n == length && n == static_cast<int64_t>(sizeof ALERT_LOG_HEADER - 1) &&
        memcmp(p, ALERT_LOG_HEADER, static_cast<size_t>(n)) == 0)
        return;
    AddBad(log, line, p, length);
}

}  // namespace

int ParseAlertRow(const char *p, const char *end, AlertRow *row, DateMemo *memo)
{
    // "dd-mm-yyyy,hh:mm:ss," then the name, the event, two figures and the detail.
    if (end - p < 26 || p[2] != '-' || p[5] != '-' || p[10] != ',' || p[13] != ':' || p[16] != ':' || p[19] != ',')
        return 0;
    if (memo->days < 0 || memcmp(p, memo->text, sizeof memo->text) != 0) {
        int day, month, y1, y2;
        if (!Digits2(p, &day) || !Digits2(p + 3, &month) || !Digits2(p + 6, &y1) || !Digits2(p + 8, &y2))
            return 0;
        int year = y1 * 100 + y2;
        if (year < 1970 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
            return 0;
        memcpy(memo->text, p, sizeof memo->text);
        memo->days = DaysFromCivil(year, month, day);
    }
    int hour, minute, second;
    if (!Digits2(p + 11, &hour) || !Digits2(p + 14, &minute) || !Digits2(p + 17, &second) || hour > 23 ||
        minute > 59 || second > 59)
        return 0;
    const char *q = p + 20;
    const char *name, *event, *in, *out;
    size_t nameLen, eventLen, inLen, outLen;
    if (!Field(&q, end, &name, &nameLen) || !Field(&q, end, &event, &eventLen) || !Field(&q, end, &in, &inLen) ||
        !Field(&q, end, &out, &outLen))
        return 0;
    if (nameLen == 0 || nameLen >= sizeof row->name || end - q >= ALERT_DETAIL_MAX)
        return 0;
    row->event = -1;
    for (int k = 0; k < 4; k++)
        if (eventLen == strlen(kAlertEvents[k]) && memcmp(event, kAlertEvents[k], eventLen) == 0)
            row->event = k;
    if (row->event < 0 || !Percent(in, inLen, &row->pctIn, &row->hasIn) ||
        !Percent(out, outLen, &row->pctOut, &row->hasOut))
        return 0;
    row->t = memo->days * 86400 + int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
    memset(row->name, 0, sizeof row->name);
    memcpy(row->name, name, nameLen);
    memset(row->detail, 0, sizeof row->detail);
    memcpy(row->detail, q, static_cast<size_t>(end - q));
    row->line = 0;
    return 1;
}

void ReadAlertLog(const char *path, AlertLog *log, const InterfaceRecord *records, int count)
{
    memset(log, 0, sizeof *log);
    log->records = records;
    log->recordCount = count;
    static AlertReader r;
    r.log = log;
    SplitterStartWith(&r.s, TakeAlertLine, &r);
    r.s.memo.days = -1;
    log->read = ReadLines(path, &r.s, nullptr);
}

const AlertRow &NewestAlert(const AlertLog *log, int k)
{
    return log->last[(log->next - 1 - k + 2 * ALERTS_SHOWN) % ALERTS_SHOWN];
}

const Band &BandAt(const BandRing *ring, int k)
{
    return ring->band[(ring->next - ring->count + k + 2 * BANDS_MAX) % BANDS_MAX];
}
