/* Printer decisions over plain data: platform classes, profile entry texts,
   and table rows. */
#ifndef QUORVEL_PRINTERLOGIC_H
#define QUORVEL_PRINTERLOGIC_H

#include <stddef.h>
#include "../core/records.h"

/* Platform identifier of the 9x family, as GetVersionEx reports it. */
#define PLATFORM_ID_WIN9X 1
/* Size of the windows/device value composed for the NT 4 method. */
#define DEVICE_ENTRY_SIZE 400

/* 1 for the 9x family, otherwise 2 below NT 5 and 3 from NT 5 on. */
int ClassifyPlatform(unsigned long dwPlatformId, unsigned long dwMajorVersion);

/* Cuts a windows/device profile value ("name,driver,port") to the name. */
void CutAtFirstComma(char *psz);

/* Composes "name,driver,port" into pszEntry (cchEntry bytes). Returns 0, with
   an empty entry, when the whole text does not fit: a cut entry would name a
   wrong port or driver. */
int ComposeDeviceEntry(char *pszEntry, size_t cchEntry, const char *pszName,
                       const char *pszDriver, const char *pszPort);

/* Number of table rows a listing of dwReturned printers fills. */
int CapPrinterCount(unsigned long dwReturned);

/* Copies a spooler name into a table row; a name too long for the row is cut
   so that it never runs into the next row. */
void CopyPrinterName(char *pszRow, const char *pszName);

#endif
