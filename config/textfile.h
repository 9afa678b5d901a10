// Reading our text files (vellary.cfg, vellary-v3.cfg, ...) alike on every
// build: Windows' text-mode rules, and the encodings a Windows editor saves in.
#pragma once

#include <cstddef>

// The most characters any reader may ask for; a longer file is read this far.
#define TEXT_FILE_MAX_CHARS 65536

enum TextFileStatus {
    TEXT_READ,         // the text, whole or up to the cap
    TEXT_READ_FAILED,  // a read failed part-way: the text before it
    TEXT_NO_FILE,      // there is no such file
    TEXT_UNOPENED,     // it is there but cannot be opened
    TEXT_UTF16,        // saved as UTF-16: not read, since as bytes it is junk
};

// Reads the file at path into text: at most cap characters (cap no more than
// TEXT_FILE_MAX_CHARS), after a UTF-8 byte-order mark, with CR LF read as LF
// and a Ctrl-Z ending the data. Returns how many characters, and in *status
// which case it was; 0 for TEXT_NO_FILE, TEXT_UNOPENED and TEXT_UTF16.
int ReadTextFile(const char *path, char *text, int cap, TextFileStatus *status);

// The n first bytes of a file: returns the bytes of a UTF-8 mark to skip (3 or
// 0), or -1 when the file is UTF-16: a UTF-16 mark (either order), or no mark
// but every other byte zero, as ASCII text in UTF-16 has.
int TextStart(const char *raw, size_t n);

// Applies text-mode reading to raw file bytes: CR LF becomes LF and a Ctrl-Z
// ends the data. Writes at most outCap characters and returns how many.
int TextModeTranslate(const char *raw, size_t rawLen, char *out, int outCap);

// What keeps a reader of at most maxChars characters from the whole text of file
// (n characters read, one more than maxChars meaning too many), said as one line
// into errors (cap bytes, zero-ended): returns 1 then, else 0. No file is 0: the
// readers that need one say so themselves.
int TextFileProblem(TextFileStatus status, int n, int maxChars, const char *file, char *errors, size_t cap);

// The message for a file saved as UTF-16, named in the text.
#define TEXT_UTF16_MESSAGE(file) file " is saved as UTF-16 (Unicode). Save it as ANSI or UTF-8."
