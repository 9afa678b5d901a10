#include "report/report.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "config/config.h"
#include "config/textfile.h"
#include "records/diskfile.h"
#include "records/historyname.h"
#include "records/localtime.h"
#include "records/replace.h"
#include "report/files.h"
#include "report/page.h"
#include "report/reader.h"

namespace {

// One history per interface at most, all read before the page is written.
History g_histories[MAX_INTERFACES];
InterfaceRecord g_records[MAX_INTERFACES];
PageEntry g_entries[MAX_INTERFACES];
PageInfo g_info;

int Fail(const char *format, const char *what)
{
    fprintf(stderr, "vellary-report: ");
    fprintf(stderr, format, what);
    fputc('\n', stderr);
    return 1;
}

// The page goes to a file of its own first, so a browser or a mail never gets half of it.
int WritePageFile(const char *path)
{
    char temp[1100];
    if (!TempFileName(path, temp, sizeof temp))
        return Fail("the output path %s is too long", path);
    FILE *f = OpenDiskFile(temp, "wb");
    if (!f) {
        fprintf(stderr, "vellary-report: cannot write %s (%s): check that its folder exists and may be written to\n",
                path, strerror(errno));
        return 1;
    }
    int placed = PutFileInPlace(f, WritePage(f, g_entries, &g_info) != 0, temp, path);
    if (placed == PLACE_UNWRITTEN)
        return Fail("could not write the whole page to %s (is the disk full?); the page there is unchanged", path);
    if (placed == PLACE_NOT_MOVED)
        return Fail("could not put the new page in place of %s (is it a folder, or read-only?); the page there is "
                    "unchanged",
                    path);
    return 0;
}

}  // namespace

int RunReport(int argc, char **argv)
{
    const char *output = REPORT_DEFAULT_OUTPUT;
    for (int i = 1; i < argc; i++) {
        if (strcmp(argv[i], "-o") == 0 && i + 1 < argc && argv[i + 1][0]) {
            output = argv[++i];
        } else {
            fputs("usage: vellary-report [-o FILE]\n"
                  "Run in the monitor's folder: reads vellary.cfg and the history files, and writes one HTML page "
                  "of graphs (" REPORT_DEFAULT_OUTPUT " unless -o names another file).\n",
                  stderr);
            return 1;
        }
    }

    CurrentFolder(g_info.folder, sizeof g_info.folder);
    memset(g_records, 0, sizeof g_records);
    int count = ReadConfigFile(CONFIG_FILE_NAME, g_records);
    if (count == CONFIG_UTF16)
        return Fail("%s", TEXT_UTF16_MESSAGE(CONFIG_FILE_NAME));
    if (count < 0)
        return Fail("cannot open " CONFIG_FILE_NAME " in %s: run vellary-report in the monitor's folder",
                    g_info.folder[0] ? g_info.folder : "the working folder");
    g_info.count = count;
    ReadLocalTime(&g_info.made);

    for (int i = 0; i < count; i++) {
        PageEntry *e = &g_entries[i];
        e->rec = &g_records[i];
        e->nameValid = HistoryFileName(e->rec, e->fileName, sizeof e->fileName);
        e->hist = nullptr;
        e->read = READ_MISSING;
        e->sharesWith = -1;
        if (!e->nameValid)
            continue;
        // Two interfaces of one name write one file: it is read once.
        for (int j = 0; j < i && e->sharesWith < 0; j++)
            if (g_entries[j].nameValid && strcmp(g_entries[j].fileName, e->fileName) == 0)
                e->sharesWith = j;
        if (e->sharesWith >= 0) {
            e->read = g_entries[e->sharesWith].read;
            e->hist = g_entries[e->sharesWith].hist;
            continue;
        }
        e->read = ReadHistory(e->fileName, &g_histories[i]);
        if (e->read == READ_OK || e->read == READ_CUT_SHORT)
            e->hist = &g_histories[i];
    }
    return WritePageFile(output);
}
