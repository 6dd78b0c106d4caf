/* Printer decisions over plain data: platform classes, profile entry texts,
   and table rows. */
#ifndef QUORVEL_PRINTERLOGIC_H
#define QUORVEL_PRINTERLOGIC_H

#include <stddef.h>
#include <wchar.h>
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
/* The same for a wide name and a wide row. */
void CopyPrinterWideName(wchar_t *pwszRow, const wchar_t *pwszName);

/* Conversions between a code page and UTF-16, with the contract of
   WideCharToMultiByte (no best-fit characters, *pbUsedDefault set when a
   character had no exact form) and MultiByteToWideChar: each converts a
   NUL-terminated text, NUL included, and returns the units written, or 0
   when the text does not fit or cannot be converted. */
typedef int (*TOANSIPROC)(unsigned int uCodePage, const wchar_t *pwszText, char *pszOut,
                          int cbOut, int *pbUsedDefault);
typedef int (*TOWIDEPROC)(unsigned int uCodePage, const char *pszText, wchar_t *pwszOut,
                          int cchOut);

/* 1 when code page uCodePage holds the name exactly: it converts without a
   default character, fits a table row, and converts back to the very same
   name. Otherwise the ANSI spooler would give a look-alike or a "?" for it. */
int IsNameRepresentable(const wchar_t *pwszName, unsigned int uCodePage, TOANSIPROC pfnToAnsi,
                        TOWIDEPROC pfnToWide);

/* Whether a table row (ANSI text, and its wide name when the code page cannot
   hold it, else empty) is the printer pszName / pwszWide names in the same
   form. Exact and case-sensitive; a row kept by its wide name never equals a
   name given only as ANSI text, whatever its look-alike says. */
int IsSamePrinter(const char *pszRow, const wchar_t *pwszRowWide, const char *pszName,
                  const wchar_t *pwszWide);

/* The wide "name,driver,port" for the NT 4 method; 0, with an empty entry,
   when it does not fit. */
int ComposeWideDeviceEntry(wchar_t *pwszEntry, size_t cchEntry, const wchar_t *pwszName,
                           const wchar_t *pwszDriver, const wchar_t *pwszPort);
/* Cuts a wide windows/device value to the name. */
void CutWideAtFirstComma(wchar_t *pwsz);

#endif
