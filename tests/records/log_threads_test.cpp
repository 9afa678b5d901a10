// Two threads logging at once: every line whole, none lost, each thread's in order.
#include "records/log.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "tests/support/files.h"

namespace {

const int kLinesPerThread = 2000;

void WriteTagged(const char *tag)
{
    for (int i = 0; i < kLinesPerThread; i++) {
        char szDetail[16];
        snprintf(szDetail, sizeof szDetail, "%d", i);
        WriteLog(tag, szDetail);
    }
}

// True for "dd-mm-yyyy,hh:mm:ss," with digits where the format puts them.
bool HasStamp(const std::string &line)
{
    const char pattern[] = "00-00-0000,00:00:00,";
    if (line.size() < sizeof pattern - 1)
        return false;
    for (size_t i = 0; i < sizeof pattern - 1; i++) {
        bool digit = line[i] >= '0' && line[i] <= '9';
        if (pattern[i] == '0' ? !digit : line[i] != pattern[i])
            return false;
    }
    return true;
}

using EventLogThreads = InTempDir;

TEST_F(EventLogThreads, LinesFromTwoThreadsNeverInterleave)
{
    std::thread window(WriteTagged, "window");
    std::thread reply(WriteTagged, "reply");
    window.join();
    reply.join();

    std::string bytes = ReadFile(LOG_FILE_NAME);
    int next[2] = {0, 0};
    size_t start = 0;
    int lines = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find("\r\n", start);
        ASSERT_NE(std::string::npos, end) << "last line has no CR LF";
        std::string line = bytes.substr(start, end - start);
        start = end + 2;
        lines++;
        ASSERT_TRUE(HasStamp(line)) << line;
        std::string rest = line.substr(20);
        int t = rest.compare(0, 7, "window,") == 0 ? 0 : rest.compare(0, 6, "reply,") == 0 ? 1 : -1;
        ASSERT_NE(-1, t) << line;
        EXPECT_EQ(std::to_string(next[t]), rest.substr(t == 0 ? 7 : 6)) << line;
        next[t]++;
    }
    EXPECT_EQ(2 * kLinesPerThread, lines);
    EXPECT_EQ(kLinesPerThread, next[0]);
    EXPECT_EQ(kLinesPerThread, next[1]);
}

}  // namespace
