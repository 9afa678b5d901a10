// History files are only appended to and never read back; each call opens and
// closes its file, so the files can be copied while the monitor runs.
#include "records/history.h"

#include <cinttypes>
#include <cstdio>

#include "config/interfaces.h"
#include "records/localtime.h"
#include "records/textmode.h"

char g_strFileName[260];

namespace {

// rate as a whole percentage of linkSpeed, truncated. rate * 100 needs more than 64
// bits once rates are 64-bit; the quotient only leaves int64 for a link of 1 bit/s.
// A link speed of zero or below has no meaningful percentage: 0.
int64_t Percent(int64_t rate, int64_t linkSpeed)
{
    if (linkSpeed <= 0)
        return 0;
    __int128 percent = static_cast<__int128>(rate) * 100 / linkSpeed;
    if (percent > INT64_MAX)
        return INT64_MAX;
    if (percent < INT64_MIN)
        return INT64_MIN;
    return static_cast<int64_t>(percent);
}

}  // namespace

void AppendHistory(int32_t index)
{
    if (index < 0 || index >= MAX_INTERFACES)
        return;
    const InterfaceRecord *rec = &g_interfaces[index];

    LocalTime lt;
    ReadLocalTime(&lt);

    snprintf(g_strFileName, sizeof g_strFileName, "%s.csv", FieldValue(rec->strName).str);

    // Binary mode, LF written as CR LF here: the same bytes from every build.
    FILE *pFile = fopen(g_strFileName, "rb");
    if (!pFile) {
        pFile = fopen(g_strFileName, "a+b");
        if (pFile)
            PrintText(pFile, "Date,Hour,Time,%% In,%% Out");
    }
    if (pFile)
        fclose(pFile);

    pFile = fopen(g_strFileName, "a+b");
    if (!pFile)
        return;
    // Rows start with their line break, so the file never ends in one.
    PrintText(pFile, "\n%02d-%02d-%02d,%02d,%02d:%02d:%02d", lt.day, lt.month, lt.year, lt.hour, lt.hour,
              lt.minute, lt.second);
    PrintText(pFile, ",%" PRId64 ",%" PRId64, Percent(rec->bpsIn, rec->linkSpeed),
              Percent(rec->bpsOut, rec->linkSpeed));
    fclose(pFile);
}
