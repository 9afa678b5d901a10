// The page's text: HTML escaping, and numbers, rates, volumes and dates as the
// page prints them, through the records' text printing (CR LF on every build).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// A page being written: ok turns false at the first write that fails.
struct Out {
    FILE *f;
    bool ok;
};

#ifdef __GNUC__
__attribute__((format(printf, 2, 3)))
#endif
void Put(Out *out, const char *format, ...);

// Text of length n as HTML text: markup characters as entities, control
// characters as U+FFFD, and the rest as UTF-8 when the text is valid UTF-8, else
// each byte above 127 as the Windows-1252 character it stands for.
bool WriteEscaped(FILE *f, const char *text, size_t n);
void PutEscaped(Out *out, const char *text, size_t n);

// 1234567 as "1,234,567".
void Grouped(char *buf, size_t cap, int64_t value);
// A link speed as people say it, exactly: "100 Mbit/s", "1.544 Mbit/s".
void SpeedText(char *buf, size_t cap, int64_t speed);
// A bit rate to three significant digits: "950 bit/s", "12.3 Mbit/s", "1.25 Gbit/s".
void RateText(char *buf, size_t cap, double bps);
// Bytes to three significant digits, in powers of 1000: "512 kB", "1.23 GB", "45.6 TB".
void BytesText(char *buf, size_t cap, int64_t bytes);
// "dd-mm-yyyy hh:mm" of local seconds.
void DateTimeText(char *buf, size_t cap, int64_t t);
