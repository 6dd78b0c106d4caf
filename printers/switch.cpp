/* Making a printer the system default, by the method the platform offers:
   the 9x spooler's default attribute, the NT 4 profile entry, or
   SetDefaultPrinter from NT 5 on. */
#include "../core/textsafe.h"
#include "../core/state.h"
#include "../tray/tray.h"
#include "printerlogic.h"
#include "printers.h"
#include "spooler.h"

static BOOL SetDefaultByFunction(const char *pszName)
{
    SETDEFAULTPRINTERPROC pfnSetDefault = Spooler.pfnSetDefaultPrinter;

    return pfnSetDefault != NULL && pfnSetDefault(pszName);
}

static BOOL SetDefaultBySpooler(const char *pszName)
{
    HANDLE hPrinter;
    DWORD cbNeeded = 0;
    PRINTER_INFO_2A *pInfo;
    BOOL bDone = FALSE;

    /* A spooler without these entry points sets nothing. */
    if (Spooler.pfnOpenPrinter == NULL || Spooler.pfnGetPrinter == NULL ||
        Spooler.pfnClosePrinter == NULL ||
        (iPlatform == PLATFORM_WIN9X && Spooler.pfnSetPrinter == NULL))
        return FALSE;
    if (!Spooler.pfnOpenPrinter((LPSTR)pszName, &hPrinter, NULL))
        return FALSE;
    Spooler.pfnGetPrinter(hPrinter, 2, NULL, 0, &cbNeeded);
    pInfo = (PRINTER_INFO_2A *)HeapAlloc(GetProcessHeap(), 0, cbNeeded ? cbNeeded : 1);
    if (pInfo != NULL && Spooler.pfnGetPrinter(hPrinter, 2, (LPBYTE)pInfo, cbNeeded, &cbNeeded)) {
        if (iPlatform == PLATFORM_WIN9X) {
            /* The spooler's answer is not consulted: the tail runs either way. */
            pInfo->Attributes |= PRINTER_ATTRIBUTE_DEFAULT;
            Spooler.pfnSetPrinter(hPrinter, 2, (LPBYTE)pInfo, 0);
            bDone = TRUE;
        } else {
            char szEntry[DEVICE_ENTRY_SIZE];
            /* The spooler's own name goes into the entry, not the table's text.
               An entry that does not fit is not written at all. */
            if (ComposeDeviceEntry(szEntry, DEVICE_ENTRY_SIZE, pInfo->pPrinterName,
                                   pInfo->pDriverName, pInfo->pPortName)) {
                WriteProfileStringA("windows", "device", szEntry);
                bDone = TRUE;
            }
        }
    }
    Spooler.pfnClosePrinter(hPrinter);
    if (pInfo != NULL)
        HeapFree(GetProcessHeap(), 0, pInfo);
    return bDone;
}

void StartIconRestoreTimer(void)
{
    /* Same id every time: a second switch within the delay replaces the
       running timer, so the idle icon returns after the last switch. */
    SetTimer(hMainWnd, TIMER_ICON_RESTORE, ICON_RESTORE_DELAY_MS, NULL);
}

void SwitchDefaultPrinter(int iRow)
{
    char szName[256];

    /* A private copy: a worker may rewrite the table while this runs. */
    StringCchCopyA(szName, sizeof(szName), PrinterTable[iRow]);
    SwitchDefaultPrinterByName(szName);
}

void SwitchDefaultPrinterByName(const char *pszName)
{
    /* The spooler refuses a printer that no longer exists, and then nothing
       happens: no broadcast, no icon. */
    if (iPlatform == PLATFORM_NT5) {
        if (!SetDefaultByFunction(pszName))
            return;
    } else if (!SetDefaultBySpooler(pszName)) {
        return;
    }

    SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG, 1000, NULL);
    SetTrayIcon(1);
    /* A timer belongs to the thread that owns the window; a switch made on the
       enumeration worker asks the main thread to start it. */
    if (GetWindowThreadProcessId(hMainWnd, NULL) == GetCurrentThreadId())
        StartIconRestoreTimer();
    else
        PostMessageA(hMainWnd, MSG_START_ICON_TIMER, 0, 0);
}
