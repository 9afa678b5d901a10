#include "config/utf8.h"

namespace {

// Decodes the UTF-8 character at text[*k] and moves *k past it. Returns false,
// leaving *k, for anything but a valid shortest form.
bool NextUtf8(const unsigned char *text, size_t n, size_t *k, uint32_t *code)
{
    unsigned char lead = text[*k];
    size_t more;
    uint32_t value, least;
    if (lead < 0x80) {
        *code = lead;
        (*k)++;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        more = 1, value = lead & 0x1Fu, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        more = 2, value = lead & 0x0Fu, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        more = 3, value = lead & 0x07u, least = 0x10000;
    } else {
        return false;
    }
    if (more > n - *k - 1)
        return false;
    for (size_t j = 1; j <= more; j++) {
        unsigned char c = text[*k + j];
        if ((c & 0xC0) != 0x80)
            return false;
        value = value << 6 | (c & 0x3Fu);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return false;
    *code = value;
    *k += more + 1;
    return true;
}

}  // namespace

bool IsValidUtf8(const char *text, size_t n)
{
    const unsigned char *u = reinterpret_cast<const unsigned char *>(text);
    uint32_t code;
    for (size_t k = 0; k < n;)
        if (!NextUtf8(u, n, &k, &code))
            return false;
    return true;
}

size_t WidenText(const char *text, size_t n, wchar_t *wide, size_t cap, size_t maxChars)
{
    if (cap == 0)
        return 0;
    const unsigned char *u = reinterpret_cast<const unsigned char *>(text);
    bool utf8 = IsValidUtf8(text, n);
    size_t units = 0;
    for (size_t k = 0, chars = 0; k < n && chars < maxChars; chars++) {
        uint32_t code = u[k];
        size_t next = k + 1;
        if (utf8) {
            next = k;
            NextUtf8(u, n, &next, &code);
        }
        bool pair = sizeof(wchar_t) == 2 && code > 0xFFFF;
        if (units + (pair ? 2 : 1) > cap - 1)
            break;
        if (pair) {
            wide[units++] = static_cast<wchar_t>(0xD800 + ((code - 0x10000) >> 10));
            wide[units++] = static_cast<wchar_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            wide[units++] = static_cast<wchar_t>(code);
        }
        k = next;
    }
    wide[units] = L'\0';
    return units;
}
