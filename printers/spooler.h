/* The print spooler's entry points, all taken from the one winspool.drv in
   the system folder. A library of that name beside the program (a download
   folder may hold one) is never loaded. */
#ifndef QUORVEL_SPOOLER_H
#define QUORVEL_SPOOLER_H

#include <windows.h>
#include <winspool.h>

typedef BOOL (WINAPI *ENUMPRINTERSPROC)(DWORD, LPSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
typedef BOOL (WINAPI *OPENPRINTERPROC)(LPSTR, LPHANDLE, LPPRINTER_DEFAULTSA);
typedef BOOL (WINAPI *GETPRINTERPROC)(HANDLE, DWORD, LPBYTE, DWORD, LPDWORD);
typedef BOOL (WINAPI *SETPRINTERPROC)(HANDLE, DWORD, LPBYTE, DWORD);
typedef BOOL (WINAPI *CLOSEPRINTERPROC)(HANDLE);
typedef BOOL (WINAPI *SETDEFAULTPRINTERPROC)(LPCSTR);
typedef BOOL (WINAPI *ENUMPRINTERSWPROC)(DWORD, LPWSTR, DWORD, LPBYTE, DWORD, LPDWORD, LPDWORD);
typedef BOOL (WINAPI *SETDEFAULTPRINTERWPROC)(LPCWSTR);

/* An entry point the system lacks stays NULL; its callers then list nothing
   or set nothing. SetDefaultPrinterA exists from NT 5 on only. The wide
   entry points serve only printers whose names the code page cannot hold. */
typedef struct SpoolerEntryPoints {
    ENUMPRINTERSPROC pfnEnumPrinters;
    OPENPRINTERPROC pfnOpenPrinter;
    GETPRINTERPROC pfnGetPrinter;
    SETPRINTERPROC pfnSetPrinter;
    CLOSEPRINTERPROC pfnClosePrinter;
    SETDEFAULTPRINTERPROC pfnSetDefaultPrinter;
    ENUMPRINTERSWPROC pfnEnumPrintersW;
    SETDEFAULTPRINTERWPROC pfnSetDefaultPrinterW;
} SpoolerEntryPoints;

extern SpoolerEntryPoints Spooler;

/* Loads the system folder's spooler library once and fills Spooler; later
   calls do nothing. Runs on the main thread before any listing starts. */
void LoadSpooler(void);

#endif
