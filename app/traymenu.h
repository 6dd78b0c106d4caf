/* Mouse events on the tray icon: the popup menu and the double-click action. */
#ifndef QUORVEL_TRAYMENU_H
#define QUORVEL_TRAYMENU_H

#include <windows.h>

/* Printer action codes of SHInvokePrinterCommand. */
#ifndef PRINTACTION_OPEN
#define PRINTACTION_OPEN        0
#endif
#ifndef PRINTACTION_PROPERTIES
#define PRINTACTION_PROPERTIES  1
#endif

#define MENU_TEXT_BUSY "Processing - Please wait"
/* The printers' rows follow About, Config..., Exit and a separator. */
#define MENU_FIRST_PRINTER_POS 4

void OnTrayNotify(HWND hwnd, HINSTANCE hInstance, UINT uMouseMsg);
void ShowTrayMenu(HINSTANCE hInstance, HWND hwnd);
void InvokeIconAction(HWND hwnd);
/* The action a double-click asks the shell for, by the stored setting. */
UINT IconActionFor(int iIconAction);

#endif
