#include <cstdio>

#include "config/msgbox.h"

// No window system in the native build: the same two texts go to standard error.
void ShowConfigError(const wchar_t *text, const wchar_t *caption)
{
    fprintf(stderr, "%ls: %ls\n", caption, text);
}
