// Fuzz target: configuration bytes through the text-mode rules and the scanner.
#include <cstdint>
#include <cstdlib>

#include "config/config.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // Exactly sized heap copies, so any read or write past them is caught.
    char *fileinput = static_cast<char *>(malloc(CONFIG_MAX_CHARS));
    auto *records = static_cast<InterfaceRecord *>(malloc(sizeof(InterfaceRecord) * MAX_INTERFACES));
    memset(records, 0, sizeof(InterfaceRecord) * MAX_INTERFACES);
    int n = TextModeTranslate(reinterpret_cast<const char *>(data), size, fileinput, CONFIG_MAX_CHARS);
    int count = ScanConfig(fileinput, n, records);
    if (count < 0 || count > MAX_INTERFACES)
        abort();
    free(records);
    free(fileinput);
    return 0;
}
