#include "report/html.h"

#include <cinttypes>
#include <cstdarg>
#include <cstring>

#include "config/utf8.h"
#include "records/textmode.h"
#include "report/dates.h"

namespace {

// Unicode code points of the Windows-1252 bytes 0x80 to 0x9F; 0 where it has none.
const unsigned short kCp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// value in units of 1000 to three significant digits: "950", "12.3", "1.25", with the unit's name.
void ThreeDigits(char *buf, size_t cap, double value, const char *const *units, int unitCount)
{
    if (value < 0)
        value = 0;
    int unit = 0;
    while (unit + 1 < unitCount && value >= 999.5) {
        value /= 1000;
        unit++;
    }
    if (unit == 0 || value >= 99.95)
        snprintf(buf, cap, "%.0f %s", value, units[unit]);
    else if (value >= 9.995)
        snprintf(buf, cap, "%.1f %s", value, units[unit]);
    else
        snprintf(buf, cap, "%.2f %s", value, units[unit]);
}

}  // namespace

void Put(Out *out, const char *format, ...)
{
    va_list args;
    va_start(args, format);
    out->ok = VPrintText(out->f, format, args) && out->ok;
    va_end(args);
}

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

void PutEscaped(Out *out, const char *text, size_t n)
{
    out->ok = WriteEscaped(out->f, text, n) && out->ok;
}

void Grouped(char *buf, size_t cap, int64_t value)
{
    char digits[32];
    snprintf(digits, sizeof digits, "%" PRIu64,
             value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value));
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

void RateText(char *buf, size_t cap, double bps)
{
    static const char *const kUnits[] = {"bit/s", "kbit/s", "Mbit/s", "Gbit/s", "Tbit/s", "Pbit/s"};
    ThreeDigits(buf, cap, bps, kUnits, 6);
}

void BytesText(char *buf, size_t cap, int64_t bytes)
{
    static const char *const kUnits[] = {"B", "kB", "MB", "GB", "TB", "PB", "EB"};
    ThreeDigits(buf, cap, static_cast<double>(bytes), kUnits, 7);
}

void DateTimeText(char *buf, size_t cap, int64_t t)
{
    int64_t days = t >= 0 ? t / 86400 : (t - 86399) / 86400;
    CivilDate d = CivilFromDays(days);
    int64_t s = t - days * 86400;
    snprintf(buf, cap, "%02d-%02d-%04d %02d:%02d", d.day, d.month, d.year, static_cast<int>(s / 3600),
             static_cast<int>(s / 60 % 60));
}
