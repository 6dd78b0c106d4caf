/* Printer enumeration on a short-lived worker thread, so the main thread never
   waits for the spooler. bEnumBusy is the only coordination: the main thread
   raises it before a start, the worker lowers it as its very last step. The
   worker only lists: it tells the main window when it is done, and whatever
   follows from the list happens there. */
#include <winsock2.h>
#include <windows.h>
#include <process.h>
#include "../core/state.h"
#include "printerlogic.h"
#include "printers.h"
#include "spooler.h"

void StartPrinterEnumeration(void)
{
    if (bEnumBusy)
        return;
    /* Raised before the start, so a second request that arrives before the
       worker runs starts nothing. */
    InterlockedExchange(&bEnumBusy, 1);
    if (_beginthread(EnumPrinterThread, 0, NULL) == (uintptr_t)-1L)
        InterlockedExchange(&bEnumBusy, 0);
}

/* Fills the table's rows from the spooler's listing; returns the number of
   rows written. A spooler without the entry point lists no printers. */
static int ListPrinters(DWORD dwFlags, DWORD dwLevel)
{
    ENUMPRINTERSPROC pfnEnum = Spooler.pfnEnumPrinters;
    DWORD cbNeeded = 0, cReturned = 0;
    BYTE *pBuffer;
    int i, iCount;

    if (pfnEnum == NULL)
        return 0;
    /* The first call only learns the size; its failure for want of room is
       the expected answer. */
    pfnEnum(dwFlags, NULL, dwLevel, NULL, 0, &cbNeeded, &cReturned);
    pBuffer = (BYTE *)HeapAlloc(GetProcessHeap(), 0, cbNeeded ? cbNeeded : 1);
    if (pBuffer == NULL)
        return 0;
    cReturned = 0;
    if (!pfnEnum(dwFlags, NULL, dwLevel, pBuffer, cbNeeded, &cbNeeded, &cReturned))
        cReturned = 0;
    iCount = CapPrinterCount(cReturned);
    for (i = 0; i < iCount; i++) {
        const char *pszName = (dwLevel == 5) ? ((PRINTER_INFO_5A *)pBuffer)[i].pPrinterName
                                             : ((PRINTER_INFO_4A *)pBuffer)[i].pPrinterName;
        CopyPrinterName(PrinterTable[i], pszName ? pszName : "");
        PrinterWideNames[i][0] = L'\0';
    }
    HeapFree(GetProcessHeap(), 0, pBuffer);
    return iCount;
}

/* NT: the spooler's own names, from one wide listing, so a row and its wide
   name always belong to the same printer. A row whose name the code page
   cannot hold keeps the wide name; its ANSI text is the look-alike the ANSI
   functions would give. Returns -1 when the spooler has no wide listing. */
static int ListPrintersWide(DWORD dwFlags)
{
    ENUMPRINTERSWPROC pfnEnum = Spooler.pfnEnumPrintersW;
    DWORD cbNeeded = 0, cReturned = 0;
    BYTE *pBuffer;
    int i, iCount;

    if (pfnEnum == NULL)
        return -1;
    pfnEnum(dwFlags, NULL, 4, NULL, 0, &cbNeeded, &cReturned);
    pBuffer = (BYTE *)HeapAlloc(GetProcessHeap(), 0, cbNeeded ? cbNeeded : 1);
    if (pBuffer == NULL)
        return 0;
    cReturned = 0;
    if (!pfnEnum(dwFlags, NULL, 4, pBuffer, cbNeeded, &cbNeeded, &cReturned))
        cReturned = 0;
    iCount = CapPrinterCount(cReturned);
    for (i = 0; i < iCount; i++) {
        const wchar_t *pwszName = ((PRINTER_INFO_4W *)pBuffer)[i].pPrinterName;
        if (pwszName == NULL)
            pwszName = L"";
        /* A name too long for the row is cut, as the ANSI listing does. */
        if (WideCharToMultiByte(CP_ACP, 0, pwszName, -1, PrinterTable[i], NAME_FIELD_SIZE, NULL,
                                NULL) == 0)
            PrinterTable[i][NAME_FIELD_SIZE - 1] = '\0';
        if (IsAnsiPrinterName(pwszName))
            PrinterWideNames[i][0] = L'\0';
        else
            CopyPrinterWideName(PrinterWideNames[i], pwszName);
    }
    HeapFree(GetProcessHeap(), 0, pBuffer);
    return iCount;
}

void __cdecl EnumPrinterThread(void *pArg)
{
    DWORD dwFlags, dwLevel;
    int iCount;

    (void)pArg;
    InterlockedExchange(&bEnumBusy, 1);

    if (iPlatform == PLATFORM_WIN9X) {
        dwFlags = PRINTER_ENUM_LOCAL;
        dwLevel = 5;
    } else {
        dwFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
        dwLevel = 4;
    }
    /* The 9x spooler is ANSI: its names are the printers' own. */
    iCount = iPlatform == PLATFORM_WIN9X ? -1 : ListPrintersWide(dwFlags);
    if (iCount < 0)
        iCount = ListPrinters(dwFlags, dwLevel);

    /* The count is published only after every row is written. */
    InterlockedExchange(&iPrinterCount, iCount);

    InterlockedExchange(&bFirstEnum, 0);
    /* Told before the busy flag drops, so that whoever waits for the flag
       finds the news already queued. */
    if (hMainWnd != NULL)
        PostMessageA(hMainWnd, MSG_PRINTERS_LISTED, 0, 0);
    InterlockedExchange(&bEnumBusy, 0);
}
