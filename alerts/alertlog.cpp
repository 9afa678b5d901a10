#include "alerts/alertlog.h"

#include <cstdio>
#include <cstring>

#include "records/rowfile.h"

namespace {

// A row's text: its line break, the date and time, and the fields, each of
// which may be quoted with its quotes doubled.
#define ALERT_ROW_CHARS (24 + 2 * ALERT_NAME_CHARS + 8 + 2 * 12 + 2 * ALERT_DETAIL_CHARS + 8)

const RowFileKind kAlertLog = {ALERT_LOG_HEADER, "Alert log write failure", "Alert log rows dropped",
                               "Alert log write resumed"};

char g_heldText[ALERT_LOG_HELD_MAX][ALERT_ROW_CHARS];
uint64_t g_heldTaken[ALERT_LOG_HELD_MAX];
HeldRing g_held = {g_heldText[0], g_heldTaken, ALERT_ROW_CHARS, ALERT_LOG_HELD_MAX, 0, 0, false};
uint64_t g_rowsTaken;

bool IsControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }

// Appends ",text" to row, quoted when it holds a comma or a quote. The row is
// sized for the longest fields; were it not, the field is cut, still closed.
void AppendField(char *row, size_t cap, const char *text)
{
    size_t used = strlen(row);
    bool quote = strpbrk(text, ",\"") != nullptr;
    size_t room = cap - 1 - (quote ? 1 : 0);  // the closing quote and the zero
    if (used + 1 + (quote ? 1 : 0) > room)
        return;
    row[used++] = ',';
    if (quote)
        row[used++] = '"';
    for (const char *p = text; *p; p++) {
        if (IsControl(*p))
            continue;
        size_t need = *p == '"' ? 2 : 1;
        if (used + need > room)
            break;
        if (*p == '"')
            row[used++] = '"';
        row[used++] = *p;
    }
    if (quote)
        row[used++] = '"';
    row[used] = '\0';
}

void AppendFigure(char *row, size_t cap, int32_t has, int32_t pct)
{
    char figure[16] = "";
    if (has)
        snprintf(figure, sizeof figure, "%d", static_cast<int>(pct));
    AppendField(row, cap, figure);
}

}  // namespace

int AppendAlertLog(const AlertEvent &event, const LocalTime &lt)
{
    // The row starts with its line break, so the file never ends in one.
    char row[ALERT_ROW_CHARS];
    snprintf(row, sizeof row, "\n%02d-%02d-%02d,%02d:%02d:%02d", lt.day, lt.month, lt.year, lt.hour, lt.minute,
             lt.second);
    AppendField(row, sizeof row, event.name);
    AppendField(row, sizeof row, event.event);
    AppendFigure(row, sizeof row, event.hasIn, event.pctIn);
    AppendFigure(row, sizeof row, event.hasOut, event.pctOut);
    AppendField(row, sizeof row, event.detail);
    HeldRing *rings[] = {&g_held};
    return AppendRow(&kAlertLog, ALERT_LOG_FILE_NAME, rings, 1, &g_held, row, g_rowsTaken++);
}
