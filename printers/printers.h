/* The printer subsystem: platform class, default printer, enumeration, switching. */
#ifndef QUORVEL_PRINTERS_H
#define QUORVEL_PRINTERS_H

#include <windows.h>
#include <winspool.h>

int GetPlatformClass(void);
void GetDefaultPrinterName(char *pszBuffer, int cchBuffer);
/* On NT: the default printer's own name when the code page cannot hold it
   (its ANSI name is then only a look-alike); empty otherwise. */
void GetDefaultPrinterWideName(wchar_t *pwszBuffer, int cchBuffer);
/* Whether the system's ANSI code page holds the name exactly. */
int IsAnsiPrinterName(const wchar_t *pwszName);

/* Body of the detached enumeration worker; the argument is not used. */
void __cdecl EnumPrinterThread(void *pArg);
/* Starts a worker unless one runs; the main thread's only way to start one. */
void StartPrinterEnumeration(void);

void SwitchDefaultPrinter(int iRow);
/* The same switch for a printer named by the caller, not by a table row;
   nothing happens when the spooler no longer knows the name. */
void SwitchDefaultPrinterByName(const char *pszName);
/* The same for a printer known by its wide name only (NT). */
void SwitchDefaultPrinterByWideName(const wchar_t *pwszName);

#endif
