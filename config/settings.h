// vellary.ini: the settings of the optional features, in the Windows INI form:
// [section] lines, "key = value" lines and blank lines; section and key names in
// any case; a ';' at the start of a line, or after a blank or a tab, starts a
// comment, so a URL may hold a ';' of its own. Without the file, or without a
// feature's section, that feature is off and nothing changes.
//
//   [alerts]            down, above, above-for, tray, run, post
//   [alerts NAME]       down, above, above-for for the interfaces named NAME
//   [history]           exact = yes: NAME.exact.csv beside NAME.csv
//   [export]            prometheus = FOLDER: FOLDER\vellary.prom each cycle
#pragma once

#include <cstddef>
#include <cstdint>

#include "config/interfaces.h"
#include "config/textfile.h"

#define SETTINGS_FILE_NAME "vellary.ini"
#define SETTINGS_MAX_CHARS 65535  // a longer file is refused whole
#define SETTINGS_VALUE_CHARS 2048  // the longest value, a webhook's URL, and the longest line
#define SETTINGS_HOST_CHARS 256
#define SETTINGS_ERRORS_CHARS 3072
#define SETTINGS_ERRORS_NAMED 20  // problems named one by one; the rest are counted

// When an interface raises "down" and "above".
struct AlertRule {
    int32_t down;      // polls in a row without a reading
    int32_t above;     // % In or % Out at or above this ...
    int32_t aboveFor;  // ... in this many polls in a row
};

struct AlertSettings {
    int32_t on;  // an [alerts] section, and nothing wrong in any alerts section
    AlertRule rules[MAX_INTERFACES];  // per interface: [alerts], then its [alerts NAME]
    int32_t tray;
    char run[SETTINGS_VALUE_CHARS];   // the program to start, UTF-8; empty for none
    char post[SETTINGS_VALUE_CHARS];  // the webhook's URL; empty for none
    char postHost[SETTINGS_HOST_CHARS];  // the URL's host: what the log may name of it
};

struct Settings {
    AlertSettings alerts;
    int32_t exactHistory;                      // [history] exact = yes
    char exportFolder[SETTINGS_VALUE_CHARS];   // [export] prometheus, UTF-8; empty for none
};

extern Settings g_settings;

// The rule without vellary.ini's word on it.
#define ALERT_DEFAULT_DOWN 2
#define ALERT_DEFAULT_ABOVE 90
#define ALERT_DEFAULT_ABOVE_FOR 3

// Scans n characters of vellary.ini's text (LF line breaks) into *settings, for
// the count interfaces at interfaces (whose names [alerts NAME] must give). Each
// problem goes into errors (zero-ended, at most errorsCap bytes, one line each,
// naming the line and never a value, since a URL is a secret), followed by a line
// for each feature that is off because of one. A feature with a problem in its own
// sections is off; a problem outside them (an unknown section, a line before the
// first section) turns nothing off. Returns the number of problems.
int ScanSettings(const char *data, size_t n, const InterfaceRecord *interfaces, int count, Settings *settings,
                 char *errors, size_t errorsCap);

// Reads vellary.ini from the working directory into g_settings for the count
// interfaces; without the file every feature is off and nothing is said. What is
// wrong with it goes into errors (zero-ended, empty when nothing is): a file that
// cannot be read whole turns every feature off.
void ReadSettings(const InterfaceRecord *interfaces, int count, char *errors, size_t errorsCap);

// ReadSettings, then what is wrong in one message box.
void LoadSettings(const InterfaceRecord *interfaces, int count);

// The host of an http or https URL, into host (cap bytes, zero-ended): 1, or 0
// when url is not http:// or https:// with a host, holds a blank or a control
// character, or its port is not 1 to 65535.
int UrlHost(const char *url, char *host, size_t cap);
