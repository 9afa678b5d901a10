#include "report/report.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <thread>

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
Figure g_figures[MAX_INTERFACES][FIGURES_MAX];
AlertLog g_alerts;
InterfaceRecord g_records[MAX_INTERFACES];
PageEntry g_entries[MAX_INTERFACES];
PageInfo g_info;
char g_percentNames[MAX_INTERFACES][32];
bool g_exact[MAX_INTERFACES];
int g_jobs[MAX_INTERFACES];
int g_jobCount;
std::atomic<int> g_nextJob;
char g_blocks[2][READ_BLOCK];

// Reads histories until none is left; runner is 0 or 1, for its read block.
void ReadJobs(int runner)
{
    for (;;) {
        int k = g_nextJob.fetch_add(1);
        if (k >= g_jobCount)
            return;
        int i = g_jobs[k];
        PageEntry *e = &g_entries[i];
        HistoryReset(&g_histories[i], g_exact[i], g_figures[i], FIGURES_MAX);
        e->read = ReadHistory(e->fileName, &g_histories[i], nullptr, g_blocks[runner]);
        if (e->read == READ_OK || e->read == READ_CUT_SHORT)
            e->hist = &g_histories[i];
        if (g_exact[i] && (!e->hist || e->hist->rows == 0) && FirstRowTime(g_percentNames[i]) >= 0) {
            // Turned on, but no exact row yet: NAME.csv in %, as before.
            g_exact[i] = false;
            e->hist = nullptr;
            snprintf(e->fileName, sizeof e->fileName, "%s", g_percentNames[i]);
            HistoryReset(&g_histories[i]);
            e->read = ReadHistory(e->fileName, &g_histories[i], nullptr, g_blocks[runner]);
            if (e->read == READ_OK || e->read == READ_CUT_SHORT)
                e->hist = &g_histories[i];
        }
        if (g_exact[i])
            e->percentFirstT = FirstRowTime(g_percentNames[i]);
    }
}

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

    FileId ids[MAX_INTERFACES];
    bool opened[MAX_INTERFACES] = {};
    for (int i = 0; i < count; i++) {
        PageEntry *e = &g_entries[i];
        e->rec = &g_records[i];
        e->nameValid = HistoryFileName(e->rec, g_percentNames[i], sizeof g_percentNames[i]);
        e->hist = nullptr;
        e->read = READ_MISSING;
        e->sharesWith = -1;
        e->percentFirstT = -1;
        g_exact[i] = false;
        snprintf(e->fileName, sizeof e->fileName, "%s", g_percentNames[i]);
        if (!e->nameValid)
            continue;
        // The exact history where the monitor keeps one; NAME.csv then holds the same rows in %.
        char exactName[32];
        snprintf(exactName, sizeof exactName, "%.*s.exact.csv", static_cast<int>(strlen(g_percentNames[i]) - 4),
                 g_percentNames[i]);
        SharedFile probe;
        g_exact[i] = OpenShared(exactName, &probe) == OPEN_OK;
        if (g_exact[i]) {
            CloseShared(&probe);
            snprintf(e->fileName, sizeof e->fileName, "%s", exactName);
        }
        // Interfaces whose names lead to one file (the same name, or on Windows the
        // same letters in another case) read it once.
        opened[i] = OpenShared(e->fileName, &probe) == OPEN_OK;
        if (opened[i]) {
            ids[i] = probe.id;
            CloseShared(&probe);
            for (int j = 0; j < i && e->sharesWith < 0; j++)
                if (opened[j] && SameFile(ids[j], ids[i]))
                    e->sharesWith = g_entries[j].sharesWith >= 0 ? g_entries[j].sharesWith : j;
        }
    }
    // The files are read on both cores: each is a job of its own.
    g_jobCount = 0;
    for (int i = 0; i < count; i++)
        if (g_entries[i].nameValid && g_entries[i].sharesWith < 0)
            g_jobs[g_jobCount++] = i;
    g_nextJob = 0;
    bool helped = false;
    std::thread helper;
    if (g_jobCount > 1) {
        try {
            helper = std::thread(ReadJobs, 1);
            helped = true;
        } catch (...) {
            // No second thread: this one reads them all.
        }
    }
    ReadJobs(0);
    if (helped)
        helper.join();
    for (int i = 0; i < count; i++) {
        PageEntry *e = &g_entries[i];
        if (e->sharesWith < 0)
            continue;
        e->read = g_entries[e->sharesWith].read;
        e->hist = g_entries[e->sharesWith].hist;
        e->percentFirstT = g_entries[e->sharesWith].percentFirstT;
    }
    ReadAlertLog(ALERT_LOG_NAME, &g_alerts, g_records, count);
    g_info.alerts = &g_alerts;
    return WritePageFile(output);
}
