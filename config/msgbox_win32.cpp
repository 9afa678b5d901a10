#include <windows.h>

#include "config/msgbox.h"

void ShowConfigError(const wchar_t *text, const wchar_t *caption)
{
    MessageBoxW(nullptr, text, caption, MB_OK);
}
