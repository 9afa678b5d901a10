#include "app/window_shared.h"

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;  // the platform puts the focus on the default button
    case WM_COMMAND: {
        // Only the low word is the command; the high word carries the notification.
        WORD wId = LOWORD(wParam);
        if (wId == IDOK || wId == IDCANCEL) {
            EndDialog(hDlg, wId);
            return TRUE;
        }
        break;
    }
    }
    return FALSE;
}
