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

}  // namespace

int ParseHistoryRow(const char *p, const char *end, HistoryRow *row, DateMemo *memo)
{
    // "dd-mm-yyyy,hh,hh:mm:ss," is 23 characters, then two fields and a comma.
    if (end - p < 24)
        return 0;
    if (memo->days < 0 || memcmp(p, memo->text, sizeof memo->text) != 0) {
        int day, month, year;
        if (!Digits(p, 2, &day) || p[2] != '-' || !Digits(p + 3, 2, &month) || p[5] != '-' ||
            !Digits(p + 6, 4, &year) || year < 1970 || month < 1 || month > 12 || day < 1 ||
            day > DaysInMonth(year, month))
            return 0;
        memcpy(memo->text, p, sizeof memo->text);
        memo->days = DaysFromCivil(year, month, day);
    }
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
