// The event log: the one record of failures, appended to "vellarylog.txt" in the
// working directory.
#pragma once

#define LOG_FILE_NAME "vellarylog.txt"
#define LOG_LINE_MAX 512  // bytes of one line, its CR LF included

// Appends "dd-mm-yyyy,hh:mm:ss,message,detail" and a line break, stamped with the
// local time, every LF written as CR LF. A null detail (or message) is written as an empty field. Callable from any
// thread; a line that cannot be written is lost without a word to the caller, and
// one longer than LOG_LINE_MAX is cut short but still ends in CR LF.
void WriteLog(const char *message, const char *detail);
