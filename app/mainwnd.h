/* The hidden main window: the program's one dispatcher. */
#ifndef QUORVEL_MAINWND_H
#define QUORVEL_MAINWND_H

#include <windows.h>

#define MAIN_WINDOW_CLASS "Quorvel"
/* The switch of the starts that no person asked for: the sign-in start and
   the restart after an update. */
#define QUIET_START_SWITCH "/signin"
#define QUIET_START_SWITCH_W L"/signin"

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
void RefreshTrayTip(HWND hwnd);
BOOL RegisterMainWindowClass(HINSTANCE hInstance);
/* Creates the hidden main window; its creation runs the whole start-up. */
HWND CreateMainWindow(HINSTANCE hInstance);

#endif
