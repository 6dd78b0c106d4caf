/* The printer subsystem: platform class, default printer, enumeration, switching. */
#ifndef QUORVEL_PRINTERS_H
#define QUORVEL_PRINTERS_H

#include <windows.h>
#include <winspool.h>

int GetPlatformClass(void);
void GetDefaultPrinterName(char *pszBuffer, int cchBuffer);

/* Body of the detached enumeration worker; the argument is not used. */
void __cdecl EnumPrinterThread(void *pArg);
/* Starts a worker unless one runs; the main thread's only way to start one. */
void StartPrinterEnumeration(void);

void SwitchDefaultPrinter(int iRow);
/* The same switch for a printer named by the caller, not by a table row;
   nothing happens when the spooler no longer knows the name. */
void SwitchDefaultPrinterByName(const char *pszName);
/* Main thread: starts the icon-restore timer a switch on the worker asked for. */
void StartIconRestoreTimer(void);

#endif
