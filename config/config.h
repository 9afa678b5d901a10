// Reading "vellary.cfg" into the interface table.
#pragma once

#include "config/interfaces.h"

#define CONFIG_FILE_NAME "vellary.cfg"
#define CONFIG_MAX_CHARS 4999  // characters read from the file; the rest is ignored

// Reads the configuration file into interfaces[0..9] and returns the number of
// records completed (0 to 10). A file that cannot be opened is reported in a
// message box and gives 0. Then reads the SNMPv3 users (config/v3users.h).
int LoadConfig(InterfaceRecord *interfaces);

// Reads the configuration file at path as LoadConfig does, without a word to the
// user: returns the number of records completed, or -1 when it cannot be opened.
int ReadConfigFile(const char *path, InterfaceRecord *interfaces);

// Reads the file at path as text mode gives it (TextModeTranslate) into text:
// at most cap characters, cap no more than V3_CONFIG_MAX_CHARS + 1; the rest is
// not read. Returns how many, or -1 when the file cannot be opened (errno says
// why). *failed, unless null, is set when reading failed partway.
int ReadTextFile(const char *path, char *text, int cap, int *failed);

// Applies text-mode reading to raw file bytes: CR LF becomes LF and a Ctrl-Z
// ends the data. Writes at most outCap characters and returns how many.
int TextModeTranslate(const char *raw, size_t rawLen, char *out, int outCap);

// Scans n characters of configuration text into interfaces[0..9]; the end of
// the data reads as a zero byte. Returns the number of records completed.
int ScanConfig(const char *data, int n, InterfaceRecord *interfaces);

// Converts like atoi over at most width characters (stopping at a zero byte) into
// 64 bits, saturating at the int64 limits instead of overflowing.
int64_t ParseSpeed(const char *text, size_t width);

// Shows the configuration error to the user (a message box on Windows).
void ShowConfigError(const wchar_t *text, const wchar_t *caption);
