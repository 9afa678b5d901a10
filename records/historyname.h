// The one rule for the names of an interface's history files: its name field
// and an ending per kind of file, in the working folder.
#pragma once

#include <cstddef>

#include "config/interfaces.h"

// Whether a character may stand in a Windows file name: not a control
// character, nor one of \ / : * ? " < > |.
bool IsFileNameChar(unsigned char c);

// Whether the len characters at name can be the stem of a file on Windows:
// not empty, only IsFileNameChar characters, and not a device name (CON, NUL,
// COM0 to COM9, CONIN$, ...) before its first dot, however the case and
// whatever blanks end it; such a name opens the device, and what is written
// there is lost.
bool IsUsableFileStem(const char *name, size_t len);

// Whether an interface of that name can have its history files: a usable stem
// whose files cannot be taken for another interface's files of another kind.
bool IsUsableHistoryName(const char *name, size_t len);

// Forms the name of rec's history file, its name field and ".csv", into buf,
// whatever the name holds (the open then fails, or not). Returns 0 when it does
// not fit in cap.
int FormHistoryFileName(const InterfaceRecord *rec, char *buf, size_t cap);

// FormHistoryFileName, for a reader of the files: returns 0 also when no file
// can have that name (IsUsableHistoryName).
int HistoryFileName(const InterfaceRecord *rec, char *buf, size_t cap);

// The same two for rec's exact history, its name field and ".exact.csv". A name
// that ends in ".exact" is not usable: its rates' file would be the exact
// history of the name before it.
int FormExactHistoryFileName(const InterfaceRecord *rec, char *buf, size_t cap);
int ExactHistoryFileName(const InterfaceRecord *rec, char *buf, size_t cap);
