// Fuzz target: configuration bytes through the text-mode rules and the
// scanners of both files, vellary.cfg's and vellary-v3.cfg's.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "config/config.h"
#include "config/textfile.h"
#include "config/v3users.h"

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

    const int kUsers = 4;  // few, so running out of room is reached too
    auto *users = static_cast<V3User *>(malloc(sizeof(V3User) * kUsers));
    char *errors = static_cast<char *>(malloc(V3_ERRORS_CHARS));
    int whole = 0;
    count = ScanV3Users(fileinput, static_cast<size_t>(n), users, kUsers, errors, V3_ERRORS_CHARS, &whole);
    if (count < 0 || count > kUsers || strnlen(errors, V3_ERRORS_CHARS) == V3_ERRORS_CHARS)
        abort();
    for (int k = 0; k < count; k++)
        if (users[k].valid && (users[k].label[0] == '\0' || users[k].userName[0] == '\0'))
            abort();
    free(errors);
    free(users);
    free(fileinput);
    return 0;
}
