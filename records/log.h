// The event log, "vellarylog.txt" in the working directory: failures only.
#pragma once

// Appends "dd-mm-yyyy,hh:mm:ss,message,detail" and CR LF, stamped with the local
// time; a null detail is an empty field. Callable from any thread.
void WriteLog(const char *message, const char *detail);
