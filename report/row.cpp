// By hand and without a copy: millions of rows pass through here on every run.
#include "report/row.h"

#include <cstring>

#include "report/dates.h"

namespace {

bool Digits(const char *p, int count, int *value)
{
    int v = 0;
    for (int i = 0; i < count; i++) {
        unsigned d = static_cast<unsigned char>(p[i]) - '0';
        if (d > 9)
            return false;
        v = v * 10 + static_cast<int>(d);
    }
    *value = v;
    return true;
}

// A signed decimal as %i prints it, or nothing (*has false), ended by stop or by
// end. Moves *pp past it.
bool Percent(const char **pp, const char *end, char stop, int32_t *value, bool *has)
{
    const char *p = *pp;
    *has = p < end && *p != stop;
    if (!*has) {
        *value = 0;
        return true;
    }
    bool negative = p < end && *p == '-';
    if (negative)
        p++;
    const char *first = p;
    int64_t v = 0;
    for (; p < end && *p != stop; p++) {
        unsigned d = static_cast<unsigned char>(*p) - '0';
        if (d > 9)
            return false;
        if (v < INT64_C(10000000000))  // far beyond int32 already: the rest only saturates
            v = v * 10 + d;
    }
    if (p == first)
        return false;
    if (negative)
        v = -v;
    *value = v > INT32_MAX ? INT32_MAX : v < INT32_MIN ? INT32_MIN : static_cast<int32_t>(v);
    *pp = p;
    return true;
}

// The date at p as the memo holds it, worked out again only when it changes.
bool Date(const char *p, DateMemo *memo)
{
    if (memo->days >= 0 && memcmp(p, memo->text, sizeof memo->text) == 0)
        return true;
    int day, month, year;
    if (!Digits(p, 2, &day) || p[2] != '-' || !Digits(p + 3, 2, &month) || p[5] != '-' || !Digits(p + 6, 4, &year) ||
        year < 1970 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    memcpy(memo->text, p, sizeof memo->text);
    memo->days = DaysFromCivil(year, month, day);
    return true;
}

// "hh:mm:ss" at p as seconds of the day, or -1.
int64_t TimeOfDay(const char *p)
{
    int hour, minute, second;
    if (!Digits(p, 2, &hour) || p[2] != ':' || !Digits(p + 3, 2, &minute) || p[5] != ':' ||
        !Digits(p + 6, 2, &second) || hour > 23 || minute > 59 || second > 59)
        return -1;
    return int64_t{hour} * 3600 + minute * 60 + second;
}

// An unsigned decimal of 1 to 18 digits ended by ',' (or by end when last), or
// nothing (*has false). Moves *pp past the comma.
bool Number(const char **pp, const char *end, bool last, int64_t *value, bool *has)
{
    const char *p = *pp;
    int64_t v = 0;
    const char *first = p;
    for (; p < end; p++) {
        unsigned d = static_cast<unsigned char>(*p) - '0';
        if (d > 9)
            break;
        if (p - first >= 18)
            return false;
        v = v * 10 + d;
    }
    *has = p > first;
    *value = v;
    if (last) {
        if (p != end)
            return false;
    } else {
        if (p == end || *p != ',')
            return false;
        p++;
    }
    *pp = p;
    return true;
}

}  // namespace

int ParseExactRow(const char *p, const char *end, HistoryRow *row, DateMemo *memo)
{
    // "dd-mm-yyyy,hh:mm:ss," is 20 characters; the UTC time and the speed are never empty.
    if (end - p < 28 || p[10] != ',' || p[19] != ',' || !Date(p, memo))
        return 0;
    int64_t day = TimeOfDay(p + 11);
    if (day < 0)
        return 0;
    const char *q = p + 20;
    int64_t utc, octetsIn, octetsOut, bpsIn, bpsOut, speed;
    bool hasUtc, hasOctetsIn, hasOctetsOut, hasBpsIn, hasBpsOut, hasSpeed;
    if (!Number(&q, end, false, &utc, &hasUtc) || !hasUtc)
        return 0;
    // Seconds: empty, or whole seconds, a point and three decimals.
    int64_t ms = 0;
    bool hasSeconds = q < end && *q != ',';
    if (hasSeconds) {
        int64_t whole = 0;
        const char *first = q;
        for (; q < end && static_cast<unsigned>(static_cast<unsigned char>(*q) - '0') <= 9u; q++) {
            if (q - first >= 12)
                return 0;
            whole = whole * 10 + (*q - '0');
        }
        int frac;
        if (q == first || end - q < 5 || *q != '.' || !Digits(q + 1, 3, &frac) || q[4] != ',')
            return 0;
        ms = whole * 1000 + frac;
        q += 5;
    } else {
        if (q == end)
            return 0;
        q++;
    }
    if (!Number(&q, end, false, &octetsIn, &hasOctetsIn) || !Number(&q, end, false, &octetsOut, &hasOctetsOut) ||
        !Number(&q, end, false, &bpsIn, &hasBpsIn) || !Number(&q, end, false, &bpsOut, &hasBpsOut) ||
        !Number(&q, end, true, &speed, &hasSpeed) || !hasSpeed)
        return 0;
    if (hasOctetsIn != hasBpsIn || hasOctetsOut != hasBpsOut || hasSeconds != (hasBpsIn || hasBpsOut) ||
        (hasSeconds && ms == 0))
        return 0;
    int64_t t = memo->days * 86400 + day;
    if (utc - t > 26 * 3600 || t - utc > 26 * 3600)
        return 0;
    row->t = t;
    row->utc = utc;
    row->in = row->out = 0;
    row->hasIn = hasBpsIn;
    row->hasOut = hasBpsOut;
    row->ms = ms;
    row->octetsIn = octetsIn;
    row->octetsOut = octetsOut;
    row->bpsIn = bpsIn;
    row->bpsOut = bpsOut;
    row->speed = speed;
    return 1;
}

int ParseHistoryRow(const char *p, const char *end, HistoryRow *row, DateMemo *memo)
{
    // "dd-mm-yyyy,hh,hh:mm:ss," is 23 characters, then two fields and a comma.
    if (end - p < 24)
        return 0;
    if (!Date(p, memo))
        return 0;
    int hour, hour2, minute, second;
    if (p[10] != ',' || !Digits(p + 11, 2, &hour) || p[13] != ',' || !Digits(p + 14, 2, &hour2) || p[16] != ':' ||
        !Digits(p + 17, 2, &minute) || p[19] != ':' || !Digits(p + 20, 2, &second) || p[22] != ',' || hour > 23 ||
        hour2 != hour || minute > 59 || second > 59)
        return 0;
    const char *q = p + 23;
    int32_t in, out;
    bool hasIn, hasOut;
    if (!Percent(&q, end, ',', &in, &hasIn) || q == end)
        return 0;
    q++;
    if (!Percent(&q, end, '\0', &out, &hasOut) || q != end)
        return 0;
    row->t = memo->days * 86400 + int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
    row->in = in;
    row->out = out;
    row->hasIn = hasIn;
    row->hasOut = hasOut;
    return 1;
}
