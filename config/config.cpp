// The configuration reader: fixed-width fields, each ended by the comma that
// follows a stored character, one record per line.
#include "config/config.h"

#include "config/msgbox.h"
#include "config/textfile.h"

namespace {

const int kSpeedWidth = 12;

// The character at pos, where the end of the data (and anything after it) reads as zero.
char At(const char *data, int n, int pos)
{
    return pos < n ? data[pos] : '\0';
}

// Stores one field of at most width characters at dest and moves pos past it:
// past its comma, and for the last field of a line past one more character.
void ScanField(const char *data, int n, int *pos, char *dest, int width, bool lastField)
{
    memset(dest, 0, static_cast<size_t>(width));
    for (int j = 0; j < width; j++) {
        dest[j] = At(data, n, *pos);
        (*pos)++;
        if (*pos > n)
            return;
        if (At(data, n, *pos) == ',') {
            *pos += lastField ? 2 : 1;
            return;
        }
    }
}

}  // namespace

int64_t ParseSpeed(const char *text, size_t width)
{
    size_t len = FieldLength(text, width);
    size_t i = 0;
    while (i < len && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r')))
        i++;
    bool negative = false;
    if (i < len && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        i++;
    }
    // Magnitude up to 2^63, the most a negative value can take; held unsigned so
    // it cannot overflow, and saturated so more digits change nothing.
    const uint64_t kLimit = UINT64_C(9223372036854775808);
    uint64_t value = 0;
    for (; i < len && text[i] >= '0' && text[i] <= '9'; i++) {
        unsigned digit = static_cast<unsigned>(text[i] - '0');
        value = value > (kLimit - digit) / 10 ? kLimit : value * 10 + digit;
    }
    if (negative)
        return value == kLimit ? INT64_MIN : -static_cast<int64_t>(value);
    return value > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(value);
}

int ScanConfig(const char *data, int n, InterfaceRecord *interfaces)
{
    int pos = 0;
    int i = 0;
    char speed[kSpeedWidth];

    while (pos < n && i < MAX_INTERFACES) {
        InterfaceRecord *rec = &interfaces[i];
        ScanField(data, n, &pos, rec->strName, sizeof rec->strName, false);
        if (pos > n)
            break;
        ScanField(data, n, &pos, rec->strIP, sizeof rec->strIP, false);
        if (pos > n)
            break;
        ScanField(data, n, &pos, rec->strCommunity, sizeof rec->strCommunity, false);
        if (pos > n)
            break;
        ScanField(data, n, &pos, speed, kSpeedWidth, false);
        rec->linkSpeed = ParseSpeed(speed, kSpeedWidth);
        if (pos > n)
            break;
        ScanField(data, n, &pos, rec->strOidIn, sizeof rec->strOidIn, false);
        if (pos > n)
            break;
        ScanField(data, n, &pos, rec->strOidOut, sizeof rec->strOidOut, true);
        i++;
    }
    return i;
}

int ReadConfigFile(const char *path, InterfaceRecord *interfaces)
{
    char fileinput[CONFIG_MAX_CHARS + 1];
    memset(fileinput, 0, sizeof fileinput);
    TextFileStatus status;
    int n = ReadTextFile(path, fileinput, CONFIG_MAX_CHARS, &status);
    if (status == TEXT_NO_FILE || status == TEXT_UNOPENED)
        return CONFIG_UNOPENED;
    if (status == TEXT_UTF16)
        return CONFIG_UTF16;
    return ScanConfig(fileinput, n, interfaces);
}

int LoadConfig(InterfaceRecord *interfaces)
{
    int count = ReadConfigFile(CONFIG_FILE_NAME, interfaces);
    if (count == CONFIG_UNOPENED)
        ShowConfigError(L"Failed to open configuration file", L"ERROR");
    else if (count == CONFIG_UTF16)
        ShowConfigError(L"" TEXT_UTF16_MESSAGE(CONFIG_FILE_NAME), L"ERROR");
    return count < 0 ? 0 : count;
}
