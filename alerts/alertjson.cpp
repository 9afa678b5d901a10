// The JSON body of an alert's post. Names come from vellary.cfg as UTF-8 or
// as 8-bit text; what is posted is always valid UTF-8, or a chat service
// refuses the whole message.
#include <cstdio>
#include <cstring>

#include "alerts/webhook.h"
#include "config/utf8.h"

namespace {

// A bounded writer: once something does not fit, nothing more is written.
struct Writer {
    char *out;
    size_t cap;
    size_t len;
    bool full;
};

void Put(Writer *w, const char *text, size_t n)
{
    if (w->full || n >= w->cap - w->len) {
        w->full = true;
        return;
    }
    memcpy(w->out + w->len, text, n);
    w->len += n;
    w->out[w->len] = '\0';
}

void Put(Writer *w, const char *text) { Put(w, text, strlen(text)); }

void PutEscaped(Writer *w, const char *text, size_t n)
{
    char escaped[WEBHOOK_BODY_CHARS];
    if (JsonEscape(text, n, escaped, sizeof escaped) < 0)
        w->full = true;
    else
        Put(w, escaped);
}

void PutString(Writer *w, const char *text, size_t cap)
{
    Put(w, "\"");
    PutEscaped(w, text, text ? strnlen(text, cap) : 0);
    Put(w, "\"");
}

void PutNumber(Writer *w, int32_t has, int32_t value)
{
    char digits[16];
    if (has)
        snprintf(digits, sizeof digits, "%d", static_cast<int>(value));
    Put(w, has ? digits : "null");
}

// "2026-12-09T03:14:07+01:00" as people read it: "2026-12-09 03:14:07 +01:00".
void PutReadableTime(Writer *w, const char *time)
{
    size_t n = strnlen(time, ALERT_TIME_CHARS);
    if (n < 19 || time[10] != 'T') {
        PutEscaped(w, time, n);
        return;
    }
    PutEscaped(w, time, 10);
    Put(w, " ");
    PutEscaped(w, time + 11, 8);
    if (n > 19) {
        Put(w, " ");
        PutEscaped(w, time + 19, n - 19);
    }
}

}  // namespace

int JsonEscape(const char *text, size_t n, char *out, size_t cap)
{
    if (cap == 0)
        return -1;
    Writer w = {out, cap, 0, false};
    out[0] = '\0';
    const unsigned char *u = reinterpret_cast<const unsigned char *>(text);
    bool utf8 = IsValidUtf8(text, n);
    for (size_t k = 0; k < n && !w.full; k++) {
        unsigned c = u[k];
        // In valid UTF-8 a C1 control is C2 followed by 80-9F.
        unsigned control = c < 0x20 || c == 0x7F ? c : 0x100;
        if (utf8 && c == 0xC2 && k + 1 < n && u[k + 1] <= 0x9F)
            control = u[++k];
        else if (!utf8 && c >= 0x80 && c <= 0x9F)
            control = c;
        char seq[8];
        if (c == '"' || c == '\\') {
            seq[0] = '\\', seq[1] = static_cast<char>(c);
            Put(&w, seq, 2);
        } else if (control <= 0xFF) {
            switch (control) {
            case '\b':
                Put(&w, "\\b");
                break;
            case '\f':
                Put(&w, "\\f");
                break;
            case '\n':
                Put(&w, "\\n");
                break;
            case '\r':
                Put(&w, "\\r");
                break;
            case '\t':
                Put(&w, "\\t");
                break;
            default:
                snprintf(seq, sizeof seq, "\\u%04x", control);
                Put(&w, seq);
            }
        } else if (!utf8 && c >= 0x80) {
            // The byte's character, as WidenText reads 8-bit text.
            seq[0] = static_cast<char>(0xC0 | c >> 6), seq[1] = static_cast<char>(0x80 | (c & 0x3F));
            Put(&w, seq, 2);
        } else {
            Put(&w, text + k, 1);
        }
    }
    if (w.full) {
        out[0] = '\0';
        return -1;
    }
    return static_cast<int>(w.len);
}

size_t FormatAlertJson(const AlertEvent *event, char *body, size_t cap)
{
    if (cap == 0)
        return 0;
    Writer w = {body, cap, 0, false};
    body[0] = '\0';
    const char *what = event->event ? event->event : "";
    size_t nameLen = strnlen(event->name, sizeof event->name);
    size_t addressLen = strnlen(event->address, sizeof event->address);

    Put(&w, "{\"text\": \"");
    PutEscaped(&w, event->name, nameLen);
    Put(&w, " ");
    PutEscaped(&w, what, strlen(what));
    Put(&w, " (");
    PutEscaped(&w, event->address, addressLen);
    Put(&w, ") at ");
    PutReadableTime(&w, event->time);
    // Which direction crossed shows in its figure.
    if ((strcmp(what, "above") == 0 || strcmp(what, "normal") == 0) && (event->hasIn || event->hasOut)) {
        char figures[48];
        if (event->hasIn && event->hasOut)
            snprintf(figures, sizeof figures, ": In %d %%, Out %d %%", static_cast<int>(event->pctIn),
                     static_cast<int>(event->pctOut));
        else if (event->hasIn)
            snprintf(figures, sizeof figures, ": In %d %%", static_cast<int>(event->pctIn));
        else
            snprintf(figures, sizeof figures, ": Out %d %%", static_cast<int>(event->pctOut));
        Put(&w, figures);
    }
    Put(&w, "\", \"interface\": ");
    PutString(&w, event->name, sizeof event->name);
    Put(&w, ", \"event\": ");
    PutString(&w, what, strlen(what));
    Put(&w, ", \"in\": ");
    PutNumber(&w, event->hasIn, event->pctIn);
    Put(&w, ", \"out\": ");
    PutNumber(&w, event->hasOut, event->pctOut);
    Put(&w, ", \"address\": ");
    PutString(&w, event->address, sizeof event->address);
    Put(&w, ", \"time\": ");
    PutString(&w, event->time, sizeof event->time);
    Put(&w, "}");
    if (w.full) {
        body[0] = '\0';
        return 0;
    }
    return w.len;
}
