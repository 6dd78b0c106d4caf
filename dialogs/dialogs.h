/* Dialog procedures of the program's modal dialogs. */
#ifndef QUORVEL_DIALOGS_H
#define QUORVEL_DIALOGS_H

#include <windows.h>

/* What the About dialog's web button opens. */
#define WEB_ADDRESS "http://quorvel.example.org/"

INT_PTR CALLBACK AboutDlgProc(HWND hDlg, UINT uMsg, WPARAM wParam, LPARAM lParam);

#endif
