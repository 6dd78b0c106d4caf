/* Process-wide state, never freed: zero at start but for bFirstEnum, which
   starts at 1. The main thread owns all of it except what the printer
   enumeration worker writes: the table's rows and wide names, then its count
   and the two enumeration flags with interlocked writes, so the count never
   covers a row not yet written. The worker decides nothing: it says when it
   has listed the printers (MSG_PRINTERS_LISTED). */
#ifndef QUORVEL_STATE_H
#define QUORVEL_STATE_H

#include <winsock2.h>
#include <windows.h>
#include "records.h"

/* Window messages, timer and menu commands of the main window. */
#define MSG_ADDRESS_CHANGED     (WM_USER + 1)
#define MSG_SETTINGS_SAVED      (WM_USER + 2)
#define MSG_TRAY                6667
/* Private: the enumeration worker has listed the printers. It only lists
   them; what follows (the first location's apply) is the main thread's. */
#define MSG_PRINTERS_LISTED     (WM_USER + 4)
#define TIMER_ICON_RESTORE      1016
#define ICON_RESTORE_DELAY_MS   800
/* While the notification area does not take the icon (at sign-in it may not
   exist yet), the icon is tried again this often, for at most this long. */
#define TIMER_TRAY_RETRY        1017
#define TRAY_RETRY_INTERVAL_MS  2000
#define TRAY_WAIT_LIMIT_MS      120000
#define IDM_EXIT                1011
#define IDM_ABOUT               1012
#define IDM_PRINTERS_ERROR      1013
#define IDM_CONFIG              1015

#define PLATFORM_WIN9X          1
#define PLATFORM_NT_OLD         2
#define PLATFORM_NT5            3

typedef BOOL (WINAPI *INVOKEPRINTERCOMMANDPROC)(HWND, UINT, LPCSTR, LPCSTR, BOOL);

extern PrinterRow PrinterTable[MAX_PRINTERS];
/* Beside each row: the spooler's own name when the code page cannot hold it
   (the row then holds only a look-alike), empty for every other row. */
extern PrinterWideRow PrinterWideNames[MAX_PRINTERS];
extern volatile LONG iPrinterCount;

extern AutoSettingsRecord AutoSettings;
extern char szCurrentLocation[256];
extern LocationRecord LocationEdit;

extern int iPlatform;
extern volatile LONG bEnumBusy;
extern volatile LONG bFirstEnum;
extern int bShellPrinterCommand;
extern INVOKEPRINTERCOMMANDPROC pfnInvokePrinterCommand;
extern HWND hMainWnd;
extern HINSTANCE hAppInstance;
extern UINT uTaskbarCreatedMsg;
extern SOCKET sockAddressWatch;
extern u_long ipCurrent;

#endif
