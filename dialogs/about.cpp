/* The About dialog. It closes only by OK (or Enter): there is no close box,
   and Escape is deliberately left unhandled. */
#include <windows.h>
#include <shellapi.h>
#include "dialogs.h"
#include "../res/resource.h"

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    (void)lParam;
    switch (uMsg) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
            EndDialog(hDlg, 0);
            return TRUE;
        case IDC_WEBLINK:
            /* The dialog stays open; a missing browser is not reported. */
            ShellExecuteA(hDlg, "OPEN", WEB_ADDRESS, NULL, NULL, SW_SHOWNORMAL);
            return FALSE;
        default:
            break;
        }
        break;
    default:
        break;
    }
    return FALSE;
}
