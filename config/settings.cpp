// The reader of vellary.ini. Every line is checked at start-up, so a mistake is
// named once, then and there; a feature whose sections hold one stays off rather
// than run on a half-read setting.
#include "config/settings.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "config/msgbox.h"
#include "config/utf8.h"

Settings g_settings;

namespace {

enum Feature { FEATURE_NONE, FEATURE_ALERTS, FEATURE_HISTORY, FEATURE_EXPORT, FEATURE_COUNT };

const char *const kOffLines[FEATURE_COUNT] = {nullptr, "Alerts are off.", "The exact history is off.",
                                              "The Prometheus export is off."};

// The keys of the alert sections, as bits of what a section gave.
enum AlertKey { KEY_DOWN, KEY_ABOVE, KEY_ABOVE_FOR, KEY_TRAY, KEY_RUN, KEY_POST, ALERT_KEYS };
const char *const kAlertKeys[ALERT_KEYS] = {"down", "above", "above-for", "tray", "run", "post"};
const int kRuleKeys = 3;  // the first three may also be given per interface

struct Scan {
    const InterfaceRecord *interfaces;
    int count;
    Settings *settings;
    char *errors;
    size_t errorsCap;
    int problems;
    int lineNumber;
    bool broken[FEATURE_COUNT];

    // The section being read; lines of an unknown or broken one are passed over.
    Feature feature;
    bool skipping;
    bool defaultRule;              // [alerts] rather than [alerts NAME]
    bool named[MAX_INTERFACES];    // [alerts NAME]: the interfaces called NAME

    bool sawAlerts;
    unsigned alertsGiven;
    unsigned ruleGiven[MAX_INTERFACES];
    AlertRule rule;                        // [alerts]'s
    int32_t overrides[MAX_INTERFACES][kRuleKeys];  // [alerts NAME]'s
    bool exactGiven, exportGiven;
};

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r';
}

char Lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(const char *a, const char *b)
{
    for (; *a && *b; a++, b++)
        if (Lower(*a) != Lower(*b))
            return false;
    return *a == *b;
}

// A key is shown in a message only when it looks like one: a line that is
// really part of a URL must not be repeated on screen.
bool Showable(const char *key)
{
    size_t len = 0;
    for (; key[len]; len++) {
        char c = Lower(key[len]);
        if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    }
    return len > 0 && len <= 20;
}

void Problem(Scan *scan, Feature feature, const char *format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 3, 4)))
#endif
    ;

void Problem(Scan *scan, Feature feature, const char *format, ...)
{
    scan->broken[feature] = true;
    if (++scan->problems > SETTINGS_ERRORS_NAMED)
        return;
    size_t used = strlen(scan->errors);
    if (used + 1 >= scan->errorsCap)
        return;
    int cch = snprintf(scan->errors + used, scan->errorsCap - used, "%s%s line %d: ", used ? "\n" : "",
                       SETTINGS_FILE_NAME, scan->lineNumber);
    if (cch < 0 || used + static_cast<size_t>(cch) >= scan->errorsCap)
        return;
    used += static_cast<size_t>(cch);
    va_list args;
    va_start(args, format);
    vsnprintf(scan->errors + used, scan->errorsCap - used, format, args);
    va_end(args);
}

void AppendLine(Scan *scan, const char *text)
{
    size_t used = strlen(scan->errors);
    if (used + 1 < scan->errorsCap)
        snprintf(scan->errors + used, scan->errorsCap - used, "%s%s", used ? "\n" : "", text);
}

// A whole number from low to high, nothing else: 1, or 0.
int ParseNumber(const char *text, int32_t low, int32_t high, int32_t *value)
{
    int64_t v = 0;
    size_t k = 0;
    for (; text[k] >= '0' && text[k] <= '9' && k < 10; k++)
        v = v * 10 + (text[k] - '0');
    if (k == 0 || text[k] != '\0' || v < low || v > high)
        return 0;
    *value = static_cast<int32_t>(v);
    return 1;
}

int ParseYesNo(const char *text, int32_t *value)
{
    static const char *const kYes[] = {"yes", "true", "on", "1"};
    static const char *const kNo[] = {"no", "false", "off", "0"};
    for (const char *word : kYes)
        if (SameName(text, word)) {
            *value = 1;
            return 1;
        }
    for (const char *word : kNo)
        if (SameName(text, word)) {
            *value = 0;
            return 1;
        }
    return 0;
}

bool HoldsControl(const char *text)
{
    for (; *text; text++)
        if (static_cast<unsigned char>(*text) < 0x20 || *text == 0x7F)
            return true;
    return false;
}

// A value that names a file or folder: some text, and nothing a path cannot hold.
bool IsPath(const char *text)
{
    return text[0] != '\0' && !HoldsControl(text);
}

void Copy(char *dest, size_t cap, const char *text)
{
    snprintf(dest, cap, "%s", text);
}

void OpenSection(Scan *scan, char *inner)
{
    scan->feature = FEATURE_NONE;
    scan->skipping = true;
    scan->defaultRule = false;
    memset(scan->named, 0, sizeof scan->named);

    char *name = inner;
    while (*name && !IsBlank(*name))
        name++;
    if (*name) {
        *name++ = '\0';
        while (IsBlank(*name))
            name++;
    }
    if (SameName(inner, "alerts")) {
        if (*name == '\0') {
            scan->defaultRule = true;
            scan->sawAlerts = true;
        } else {
            bool any = false;
            for (int i = 0; i < scan->count; i++) {
                const InterfaceRecord *rec = &scan->interfaces[i];
                scan->named[i] = strcmp(FieldValue(rec->strName).str, name) == 0;
                any = any || scan->named[i];
            }
            if (!any) {
                Problem(scan, FEATURE_ALERTS, "[alerts %s]: vellary.cfg has no interface of that name", name);
                return;
            }
        }
        scan->feature = FEATURE_ALERTS;
    } else if (SameName(inner, "history") || SameName(inner, "export")) {
        Feature feature = SameName(inner, "history") ? FEATURE_HISTORY : FEATURE_EXPORT;
        if (*name) {
            Problem(scan, feature, "[%s] takes no name", feature == FEATURE_HISTORY ? "history" : "export");
            return;
        }
        scan->feature = feature;
    } else {
        Problem(scan, FEATURE_NONE, "unknown section [%s]", Showable(inner) ? inner : "...");
        return;
    }
    scan->skipping = false;
}

void AlertSetting(Scan *scan, const char *key, const char *value)
{
    int k = 0;
    while (k < ALERT_KEYS && !SameName(key, kAlertKeys[k]))
        k++;
    if (k == ALERT_KEYS) {
        Problem(scan, FEATURE_ALERTS, "unknown key %s in an alerts section", Showable(key) ? key : "(not shown)");
        return;
    }
    if (!scan->defaultRule && k >= kRuleKeys) {
        Problem(scan, FEATURE_ALERTS, "%s can only be given in [alerts]", kAlertKeys[k]);
        return;
    }
    unsigned bit = 1u << k;
    bool twice = scan->defaultRule ? (scan->alertsGiven & bit) != 0 : false;
    for (int i = 0; i < scan->count; i++)
        twice = twice || (scan->named[i] && (scan->ruleGiven[i] & bit));
    if (twice) {
        Problem(scan, FEATURE_ALERTS, "%s is given twice for the same interface", kAlertKeys[k]);
        return;
    }

    AlertSettings *alerts = &scan->settings->alerts;
    int32_t number = 0;
    if (k < kRuleKeys) {
        if (!ParseNumber(value, 1, 100, &number)) {
            Problem(scan, FEATURE_ALERTS, "%s must be a whole number from 1 to 100", kAlertKeys[k]);
            return;
        }
        if (scan->defaultRule) {
            int32_t *fields[kRuleKeys] = {&scan->rule.down, &scan->rule.above, &scan->rule.aboveFor};
            *fields[k] = number;
        }
        for (int i = 0; i < scan->count; i++)
            if (scan->named[i])
                scan->overrides[i][k] = number;
    } else if (k == KEY_TRAY) {
        if (!ParseYesNo(value, &alerts->tray)) {
            Problem(scan, FEATURE_ALERTS, "tray must be yes or no");
            return;
        }
    } else if (k == KEY_RUN) {
        if (!IsPath(value)) {
            Problem(scan, FEATURE_ALERTS, "run must name a program");
            return;
        }
        Copy(alerts->run, sizeof alerts->run, value);
    } else {
        if (!UrlHost(value, alerts->postHost, sizeof alerts->postHost)) {
            Problem(scan, FEATURE_ALERTS, "post must be an http:// or https:// URL with a host");
            return;
        }
        Copy(alerts->post, sizeof alerts->post, value);
    }
    if (scan->defaultRule)
        scan->alertsGiven |= bit;
    for (int i = 0; i < scan->count; i++)
        if (scan->named[i])
            scan->ruleGiven[i] |= bit;
}

void Setting(Scan *scan, const char *key, const char *value)
{
    Settings *settings = scan->settings;
    const char *shown = Showable(key) ? key : "(not shown)";
    switch (scan->feature) {
    case FEATURE_ALERTS:
        AlertSetting(scan, key, value);
        return;
    case FEATURE_HISTORY:
        if (!SameName(key, "exact")) {
            Problem(scan, FEATURE_HISTORY, "unknown key %s in [history]", shown);
        } else if (scan->exactGiven) {
            Problem(scan, FEATURE_HISTORY, "exact is given twice");
        } else if (!ParseYesNo(value, &settings->exactHistory)) {
            Problem(scan, FEATURE_HISTORY, "exact must be yes or no");
        }
        scan->exactGiven = true;
        return;
    case FEATURE_EXPORT:
        if (!SameName(key, "prometheus")) {
            Problem(scan, FEATURE_EXPORT, "unknown key %s in [export]", shown);
        } else if (scan->exportGiven) {
            Problem(scan, FEATURE_EXPORT, "prometheus is given twice");
        } else if (!IsPath(value)) {
            Problem(scan, FEATURE_EXPORT, "prometheus must name a folder");
        } else {
            Copy(settings->exportFolder, sizeof settings->exportFolder, value);
        }
        scan->exportGiven = true;
        return;
    default:
        return;
    }
}

void ScanLine(Scan *scan, char *line)
{
    // A comment starts at a ';' first on the line or after a blank.
    for (size_t k = 0; line[k]; k++) {
        if (line[k] == ';' && (k == 0 || line[k - 1] == ' ' || line[k - 1] == '\t')) {
            line[k] = '\0';
            break;
        }
    }
    while (IsBlank(*line))
        line++;
    size_t len = strlen(line);
    while (len > 0 && IsBlank(line[len - 1]))
        line[--len] = '\0';
    if (len == 0)
        return;

    if (line[0] == '[') {
        if (line[len - 1] != ']') {
            // What follows cannot be told from the section before: pass it over,
            // and keep off the feature it seems to open.
            OpenSection(scan, line + 1);
            Feature meant = scan->skipping ? FEATURE_NONE : scan->feature;
            scan->feature = FEATURE_NONE;
            scan->skipping = true;
            Problem(scan, meant, "a section line without its closing ]");
            return;
        }
        line[len - 1] = '\0';
        char *inner = line + 1;
        while (IsBlank(*inner))
            inner++;
        size_t innerLen = strlen(inner);
        while (innerLen > 0 && IsBlank(inner[innerLen - 1]))
            inner[--innerLen] = '\0';
        OpenSection(scan, inner);
        return;
    }
    if (scan->skipping)
        return;  // named with its section
    char *equals = strchr(line, '=');
    if (scan->feature == FEATURE_NONE) {
        Problem(scan, FEATURE_NONE, "a setting before the first [section]");
        return;
    }
    if (!equals) {
        Problem(scan, scan->feature, "not a [section] line nor a key = value line");
        return;
    }
    char *key = line;
    char *keyEnd = equals;
    while (keyEnd > key && IsBlank(keyEnd[-1]))
        keyEnd--;
    *keyEnd = '\0';
    char *value = equals + 1;
    while (IsBlank(*value))
        value++;
    if (*key == '\0') {
        Problem(scan, scan->feature, "a value without its key");
        return;
    }
    Setting(scan, key, value);
}

}  // namespace

int UrlHost(const char *url, char *host, size_t cap)
{
    if (cap == 0)
        return 0;
    host[0] = '\0';
    size_t k = 0;
    static const char *const kSchemes[] = {"http://", "https://"};
    for (const char *scheme : kSchemes) {
        size_t len = strlen(scheme);
        bool same = strlen(url) >= len;
        for (size_t j = 0; same && j < len; j++)
            same = Lower(url[j]) == scheme[j];
        if (same)
            k = len;
    }
    if (k == 0)
        return 0;
    for (const char *p = url; *p; p++)
        if (static_cast<unsigned char>(*p) <= 0x20 || *p == 0x7F)
            return 0;
    // The authority runs to the first '/', '?' or '#'; the host follows any user
    // name and comes before any port.
    size_t end = k;
    while (url[end] && url[end] != '/' && url[end] != '?' && url[end] != '#')
        end++;
    size_t start = k;
    for (size_t j = k; j < end; j++)
        if (url[j] == '@')
            start = j + 1;
    size_t hostEnd = start;
    if (url[start] == '[') {
        while (hostEnd < end && url[hostEnd] != ']')
            hostEnd++;
        if (hostEnd == end)
            return 0;
        hostEnd++;
    } else {
        while (hostEnd < end && url[hostEnd] != ':')
            hostEnd++;
    }
    if (hostEnd == start || (url[start] == '[' && hostEnd - start < 3))
        return 0;
    if (hostEnd < end) {
        if (url[hostEnd] != ':')
            return 0;
        int32_t port = 0;
        char digits[8] = {};
        size_t n = end - hostEnd - 1;
        if (n == 0 || n >= sizeof digits)
            return 0;
        memcpy(digits, url + hostEnd + 1, n);
        if (!ParseNumber(digits, 1, 65535, &port))
            return 0;
    }
    size_t len = hostEnd - start;
    if (len >= cap)
        return 0;
    memcpy(host, url + start, len);
    host[len] = '\0';
    return 1;
}

int ScanSettings(const char *data, size_t n, const InterfaceRecord *interfaces, int count, Settings *settings,
                 char *errors, size_t errorsCap)
{
    static Scan scan;  // large, and the reader runs once, on one thread
    memset(&scan, 0, sizeof scan);
    memset(settings, 0, sizeof *settings);
    if (errorsCap > 0)
        errors[0] = '\0';
    scan.interfaces = interfaces;
    scan.count = count < 0 ? 0 : count > MAX_INTERFACES ? MAX_INTERFACES : count;
    scan.settings = settings;
    scan.errors = errors;
    scan.errorsCap = errorsCap;
    scan.rule = {ALERT_DEFAULT_DOWN, ALERT_DEFAULT_ABOVE, ALERT_DEFAULT_ABOVE_FOR};

    static char line[SETTINGS_VALUE_CHARS + 64];
    for (const char *p = data, *end = data + n; p < end;) {
        const char *eol = static_cast<const char *>(memchr(p, '\n', static_cast<size_t>(end - p)));
        const char *lineEnd = eol ? eol : end;
        size_t len = static_cast<size_t>(lineEnd - p);
        scan.lineNumber++;
        if (len >= sizeof line) {
            Problem(&scan, scan.skipping ? FEATURE_NONE : scan.feature, "longer than %d characters",
                    static_cast<int>(sizeof line - 1));
        } else if (memchr(p, '\0', len)) {
            Problem(&scan, scan.skipping ? FEATURE_NONE : scan.feature, "a zero byte");
        } else {
            memcpy(line, p, len);
            line[len] = '\0';
            ScanLine(&scan, line);
        }
        p = eol ? eol + 1 : end;
    }

    AlertSettings *alerts = &settings->alerts;
    for (int i = 0; i < MAX_INTERFACES; i++) {
        AlertRule *rule = &alerts->rules[i];
        *rule = scan.rule;
        int32_t *fields[kRuleKeys] = {&rule->down, &rule->above, &rule->aboveFor};
        for (int k = 0; k < kRuleKeys; k++)
            if (scan.overrides[i][k])
                *fields[k] = scan.overrides[i][k];
    }
    alerts->on = scan.sawAlerts && !scan.broken[FEATURE_ALERTS];
    if (scan.problems > SETTINGS_ERRORS_NAMED) {
        char more[64];
        snprintf(more, sizeof more, "... and %d more.", scan.problems - SETTINGS_ERRORS_NAMED);
        AppendLine(&scan, more);
    }
    for (int f = FEATURE_ALERTS; f < FEATURE_COUNT; f++) {
        if (!scan.broken[f])
            continue;
        AppendLine(&scan, kOffLines[f]);
    }
    if (scan.broken[FEATURE_ALERTS]) {
        memset(alerts->post, 0, sizeof alerts->post);
        alerts->run[0] = '\0';
        alerts->tray = 0;
    }
    if (scan.broken[FEATURE_HISTORY])
        settings->exactHistory = 0;
    if (scan.broken[FEATURE_EXPORT])
        settings->exportFolder[0] = '\0';
    return scan.problems;
}

void ReadSettings(const InterfaceRecord *interfaces, int count, char *errors, size_t errorsCap)
{
    memset(&g_settings, 0, sizeof g_settings);
    errors[0] = '\0';
    static_assert(SETTINGS_MAX_CHARS < TEXT_FILE_MAX_CHARS, "one character more tells a file that is too long");
    static char text[SETTINGS_MAX_CHARS + 1];
    TextFileStatus status;
    int n = ReadTextFile(SETTINGS_FILE_NAME, text, SETTINGS_MAX_CHARS + 1, &status);
    if (status == TEXT_NO_FILE)
        return;
    int unreadable = TextFileProblem(status, n, SETTINGS_MAX_CHARS, SETTINGS_FILE_NAME, errors, errorsCap);
    if (!unreadable)
        ScanSettings(text, static_cast<size_t>(n), interfaces, count, &g_settings, errors, errorsCap);
    memset(text, 0, sizeof text);  // a webhook's URL stays in g_settings only
    if (unreadable) {
        size_t used = strlen(errors);
        snprintf(errors + used, errorsCap - used, "\nAlerts, the exact history and the export are off.");
    }
}

void LoadSettings(const InterfaceRecord *interfaces, int count)
{
    char errors[SETTINGS_ERRORS_CHARS];
    ReadSettings(interfaces, count, errors, sizeof errors);
    if (errors[0]) {
        // Names in [alerts NAME] may be UTF-8.
        static wchar_t wide[SETTINGS_ERRORS_CHARS];
        WidenText(errors, strlen(errors), wide, SETTINGS_ERRORS_CHARS, SETTINGS_ERRORS_CHARS);
        ShowConfigError(wide, L"ERROR");
    }
}
