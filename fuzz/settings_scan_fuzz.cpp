// Fuzz target: vellary.ini bytes through the text-mode rules and its scanner,
// against a table of interfaces whose names the sections may give.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "config/config.h"
#include "config/settings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static InterfaceRecord interfaces[MAX_INTERFACES];
    memcpy(interfaces[0].strName, "Uplink", 6);
    memcpy(interfaces[1].strName, "Backup-Link-015", 15);  // the full width, no zero
    // Exactly sized heap copies, so any read or write past them is caught.
    size_t cap = size < SETTINGS_MAX_CHARS ? size : SETTINGS_MAX_CHARS;
    char *text = static_cast<char *>(malloc(cap + 1));
    int n = TextModeTranslate(reinterpret_cast<const char *>(data), size, text, static_cast<int>(cap));
    auto *settings = static_cast<Settings *>(malloc(sizeof(Settings)));
    char *errors = static_cast<char *>(malloc(SETTINGS_ERRORS_CHARS));
    int problems = ScanSettings(text, static_cast<size_t>(n), interfaces, 2, settings, errors, SETTINGS_ERRORS_CHARS);
    if (problems < 0 || strnlen(errors, SETTINGS_ERRORS_CHARS) == SETTINGS_ERRORS_CHARS)
        abort();
    const AlertSettings &a = settings->alerts;
    if (a.on && (a.rules[0].down < 1 || a.rules[0].down > 100 || a.rules[1].above < 1 || a.rules[1].above > 100))
        abort();
    if (a.post[0] && !a.postHost[0])
        abort();
    free(errors);
    free(settings);
    free(text);
    return 0;
}
