// By hand and without a copy: millions of rows pass through here on every run.
#include "report/row.h"

#include <cstring>

#include "report/dates.h"

namespace {

// No zone is further than this from UTC, with a day to spare.
const int64_t kZoneSlack = int64_t{26} * 3600;

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
    return int64_t{hour} * 3600 + int64_t{minute} * 60 + second;
}

// An unsigned decimal of 1 to 18 digits ended by ',' (or by end when last), or
// nothing (*has false). Moves *pp past the comma.
// The digits at p (8 bytes of the line there): how many of them up to 8, and
// their value, eight bytes at a time: rows are mostly long numbers.
inline __attribute__((always_inline)) int EightDigits(const char *p, uint64_t *value)
{
    uint64_t x;
    memcpy(&x, p, 8);
    x -= UINT64_C(0x3030303030303030);
    // A byte below '0' wraps past 0x7F, one above '9' passes it once 0x76 is added;
    // a borrow or carry only ever reaches the bytes after the first such byte.
    uint64_t other = (x | (x + UINT64_C(0x7676767676767676))) & UINT64_C(0x8080808080808080);
    int n = other ? __builtin_ctzll(other) >> 3 : 8;
    if (n == 0) {
        *value = 0;
        return 0;
    }
    x <<= 8 * (8 - n);  // the first digit is the lowest byte: the digits to the top, zeros before them
    x = (x * 10 + (x >> 8)) & UINT64_C(0x00FF00FF00FF00FF);
    x = (x * 100 + (x >> 16)) & UINT64_C(0x0000FFFF0000FFFF);
    x = (x * 10000 + (x >> 32)) & UINT64_C(0xFFFFFFFF);
    *value = x;
    return n;
}

const uint64_t kTens[9] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

// The digits from p on as an unsigned number; returns where they end.
inline __attribute__((always_inline)) const char *DigitRun(const char *p, const char *end, uint64_t *value)
{
    uint64_t v = 0;  // unsigned: a longer number wraps harmlessly before it is refused
    while (end - p >= 8) {
        uint64_t part;
        int n = EightDigits(p, &part);
        v = v * kTens[n] + part;
        p += n;
        if (n < 8) {
            *value = v;
            return p;
        }
    }
    for (; p < end; p++) {
        unsigned d = static_cast<unsigned char>(*p) - '0';
        if (d > 9)
            break;
        v = v * 10 + d;
    }
    *value = v;
    return p;
}

inline __attribute__((always_inline)) bool Number(const char **pp, const char *end, bool last, int64_t *value, bool *has)
{
    const char *first = *pp;
    uint64_t v;
    const char *p = DigitRun(first, end, &v);
    if (p - first > 18)
        return false;
    *value = static_cast<int64_t>(v);
    *has = p > first;
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
        const char *first = q;
        uint64_t whole;
        q = DigitRun(q, end, &whole);
        if (q - first > 12)
            return 0;
        int frac;
        if (q == first || end - q < 5 || *q != '.' || !Digits(q + 1, 3, &frac) || q[4] != ',')
            return 0;
        ms = static_cast<int64_t>(whole) * 1000 + frac;
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
    if (utc - t > kZoneSlack || t - utc > kZoneSlack)
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
