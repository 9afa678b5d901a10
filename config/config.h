// Reading "vellary.cfg" into the interface table.
#pragma once

#include "config/interfaces.h"

#define CONFIG_FILE_NAME "vellary.cfg"
#define CONFIG_MAX_CHARS 4999  // characters read from the file; the rest is ignored

// ReadConfigFile's results besides a count.
#define CONFIG_UNOPENED (-1)  // missing, or it cannot be opened
#define CONFIG_UTF16 (-2)     // saved as UTF-16, which no field can be read from

// Reads the configuration file into interfaces[0..9] and returns the number of
// records completed (0 to 10). A file that cannot be opened, or is UTF-16, is
// reported in a message box and gives 0.
int LoadConfig(InterfaceRecord *interfaces);

// Reads the configuration file at path as LoadConfig does (config/textfile.h),
// without a word to the user: returns the number of records completed,
// CONFIG_UNOPENED or CONFIG_UTF16.
int ReadConfigFile(const char *path, InterfaceRecord *interfaces);

// Scans n characters of configuration text into interfaces[0..9]; the end of
// the data reads as a zero byte. Returns the number of records completed.
int ScanConfig(const char *data, int n, InterfaceRecord *interfaces);

// Converts like atoi over at most width characters (stopping at a zero byte) into
// 64 bits, saturating at the int64 limits instead of overflowing.
int64_t ParseSpeed(const char *text, size_t width);
