#include "report/reader.h"

#include <cstring>

#include "records/history.h"

namespace {

const int kBlock = 1 << 20;

// One whole line, its LF removed. The header is expected on line 1 only: anywhere
// else (two files run together) it is a line that is not a row.
void TakeLine(LineSplitter *s, const char *p, int64_t n, int64_t length)
{
    if (n > 0 && p[n - 1] == '\r' && n == length) {
        n--;
        length--;
    }
    HistoryRow row;
    if (n == length && ParseHistoryRow(p, p + n, &row, &s->memo)) {
        HistoryAddRow(s->h, row);
        return;
    }
    if (s->line == 1 && n == length && n == static_cast<int64_t>(sizeof HISTORY_HEADER - 1) &&
        memcmp(p, HISTORY_HEADER, static_cast<size_t>(n)) == 0)
        return;
    HistoryAddBad(s->h, s->line, p, length);
}

}  // namespace

void SplitterStart(LineSplitter *s, History *h)
{
    s->h = h;
    s->memo.days = -1;
    s->line = 1;
    s->kept = 0;
    s->length = 0;
}

void SplitterFeed(LineSplitter *s, const char *data, int64_t n)
{
    const char *p = data;
    const char *end = data + n;
    while (p < end) {
        const char *nl = static_cast<const char *>(memchr(p, '\n', static_cast<size_t>(end - p)));
        const char *stop = nl ? nl : end;
        int64_t part = stop - p;
        if (s->length == 0 && nl) {
            // The usual case: the whole line lies in the block.
            TakeLine(s, p, part, part);
        } else {
            int64_t room = static_cast<int64_t>(sizeof s->held) - s->kept;
            int64_t take = part < room ? part : room;
            memcpy(s->held + s->kept, p, static_cast<size_t>(take));
            s->kept += static_cast<int32_t>(take);
            s->length += part;
            if (nl)
                TakeLine(s, s->held, s->kept, s->length);
        }
        if (!nl)
            break;
        s->h->lines = s->line;
        s->line++;
        s->kept = 0;
        s->length = 0;
        p = nl + 1;
    }
}

void SplitterEnd(LineSplitter *s)
{
    // The monitor never ends a file with a line break: its last row has none. A file
    // that does end in one has no line after it.
    if (s->length > 0) {
        TakeLine(s, s->held, s->kept, s->length);
        s->h->lines = s->line;
    }
}

ReadResult ReadHistory(const char *path, History *h)
{
    HistoryReset(h);
    SharedFile file;
    OpenResult opened = OpenShared(path, &file);
    if (opened == OPEN_MISSING)
        return READ_MISSING;
    if (opened == OPEN_NOT_FILE)
        return READ_NOT_FILE;
    if (opened != OPEN_OK)
        return READ_FAILED;

    static char block[kBlock];
    LineSplitter s;
    SplitterStart(&s, h);
    ReadResult result = READ_OK;
    int64_t left = file.size;
    while (left > 0) {
        int n = ReadShared(&file, block, left < kBlock ? static_cast<int>(left) : kBlock);
        if (n < 0) {
            result = READ_CUT_SHORT;
            break;
        }
        if (n == 0)
            break;  // cut shorter since it was opened
        SplitterFeed(&s, block, n);
        left -= n;
    }
    SplitterEnd(&s);
    CloseShared(&file);
    return result;
}
