#include "report/reader.h"

#include <cstring>

#include "records/history.h"

namespace {

const int kBlock = READ_BLOCK;

bool IsHeader(const char *p, int64_t n, const char *header)
{
    return n == static_cast<int64_t>(strlen(header)) && memcmp(p, header, static_cast<size_t>(n)) == 0;
}

// One whole line of a history. The header is expected on line 1 only: anywhere
// else (two files run together) it is a line that is not a row.
void TakeHistoryLine(void *reader, int64_t line, const char *p, int64_t n, int64_t length)
{
    LineSplitter *s = static_cast<LineSplitter *>(reader);
    History *h = s->h;
    HistoryRow row;
    if (n == length) {
        if (h->exact ? ParseExactRow(p, p + n, &row, &s->memo) : ParseHistoryRow(p, p + n, &row, &s->memo)) {
            HistoryAddRow(h, row);
            return;
        }
        if (line == 1 && IsHeader(p, n, h->exact ? EXACT_HISTORY_HEADER : HISTORY_HEADER))
            return;
    }
    HistoryAddBad(h, line, p, length);
}

// A line as the reader gets it: a CR before the LF is the line break's.
void TakeLine(LineSplitter *s, const char *p, int64_t n, int64_t length)
{
    if (n > 0 && p[n - 1] == '\r' && n == length) {
        n--;
        length--;
    } else if (n < length && s->last == '\r') {
        length--;
    }
    s->take(s->reader, s->line, p, n, length);
}

}  // namespace

void SplitterStartWith(LineSplitter *s, TakeLineFn take, void *reader)
{
    s->take = take;
    s->reader = reader;
    s->h = nullptr;
    s->memo.days = -1;
    s->line = 1;
    s->kept = 0;
    s->length = 0;
    s->last = 0;
}

void SplitterStart(LineSplitter *s, History *h)
{
    SplitterStartWith(s, TakeHistoryLine, s);
    s->h = h;
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
            if (part > 0)
                s->last = p[part - 1];
            if (nl)
                TakeLine(s, s->held, s->kept, s->length);
        }
        if (!nl)
            break;
        if (s->h)
            s->h->lines = s->line;
        s->line++;
        s->kept = 0;
        s->length = 0;
        s->last = 0;
        p = nl + 1;
    }
}

void SplitterEnd(LineSplitter *s)
{
    // The monitor never ends a file with a line break: its last row has none. A file
    // that does end in one has no line after it.
    if (s->length > 0) {
        TakeLine(s, s->held, s->kept, s->length);
        if (s->h)
            s->h->lines = s->line;
    }
    if (s->h)
        HistoryEnd(s->h);
}

ReadResult ReadLines(const char *path, LineSplitter *s, FileId *id, char *block)
{
    SharedFile file;
    OpenResult opened = OpenShared(path, &file);
    if (opened == OPEN_MISSING)
        return READ_MISSING;
    if (opened == OPEN_NOT_FILE)
        return READ_NOT_FILE;
    if (opened != OPEN_OK)
        return READ_FAILED;
    if (id)
        *id = file.id;

    static char ownBlock[kBlock];
    if (!block)
        block = ownBlock;
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
        SplitterFeed(s, block, n);
        left -= n;
    }
    SplitterEnd(s);
    CloseShared(&file);
    return result;
}

ReadResult ReadHistory(const char *path, History *h, FileId *id, char *block)
{
    HistoryReset(h, h->exact, h->figures, h->figureCap);
    LineSplitter s;
    SplitterStart(&s, h);
    return ReadLines(path, &s, id, block);
}

int64_t FirstRowTime(const char *path)
{
    SharedFile file;
    if (OpenShared(path, &file) != OPEN_OK)
        return -1;
    char head[4096];
    int n = ReadShared(&file, head, static_cast<int>(sizeof head));
    CloseShared(&file);
    DateMemo memo = {{}, -1};
    for (int at = 0; n > 0 && at < n;) {
        const char *nl = static_cast<const char *>(memchr(head + at, '\n', static_cast<size_t>(n - at)));
        int stop = nl ? static_cast<int>(nl - head) : n;
        int len = stop - at;
        if (len > 0 && head[at + len - 1] == '\r')
            len--;
        HistoryRow row;
        if (ParseHistoryRow(head + at, head + at + len, &row, &memo))
            return row.t;
        if (!nl)
            break;
        at = stop + 1;
    }
    return -1;
}
