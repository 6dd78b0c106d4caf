/* The notification-area icon: one icon, id 1, owned by the main window. */
#ifndef QUORVEL_TRAY_H
#define QUORVEL_TRAY_H

#include <windows.h>

BOOL AddTrayIcon(HWND hwnd, HINSTANCE hInstance);
void SetTrayIcon(int bSwitched);
/* The tip for the default printer and, while switching is on, the location
   (NULL while it is not decided yet). */
void SetTrayTip(HWND hwnd, const char *pszPrinterName, int bSetByIP, const char *pszLocation);
/* Tells the user, in a balloon from the icon, that a location made pszPrinter
   the default (pszLocation NULL: the no-match printer). Nothing on shells
   without balloons. */
void ShowSwitchNotice(const char *pszPrinter, const char *pszLocation);
/* FALSE when the shell did not remove the icon; the caller tells the user. */
BOOL RemoveTrayIcon(HWND hwnd);

#endif
