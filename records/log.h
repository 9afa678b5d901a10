// The event log: the one record of failures, appended to "vellarylog.txt" in the
// working directory.
#pragma once

#define LOG_FILE_NAME "vellarylog.txt"
#define LOG_LINE_MAX 512  // bytes of one line, its CR LF included
#define LOG_HELD_MAX 100  // lines held while the log cannot be opened

// Appends "dd-mm-yyyy,hh:mm:ss,message,detail" and a line break, stamped with the
// local time, every LF written as CR LF. A null detail (or message) is written as
// an empty field. Callable from any thread. A line that cannot be written whole
// (the file cannot be opened, a write, the flush or the close fails; what did get
// in is cut off again) is held with its time stamp and written, in order, by the
// next call that gets through, after a line "Log lines held" with their number
// (stamped as the first of them); past LOG_HELD_MAX the oldest go, and a line
// "Log lines dropped" with their number (stamped as the last of them) follows it.
// A line longer than LOG_LINE_MAX is cut short but still ends in CR LF.
void WriteLog(const char *message, const char *detail);
