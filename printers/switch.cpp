/* Making a printer the system default, by the method the platform offers:
   the 9x spooler's default attribute, the NT 4 profile entry, or
   SetDefaultPrinter from NT 5 on. */
#include "../core/textsafe.h"
#include "../core/state.h"
#include "../core/syslib.h"
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

typedef BOOL (WINAPI *WRITEPROFILESTRINGWPROC)(LPCWSTR, LPCWSTR, LPCWSTR);

/* NT 4: the wide profile entry, in the same "name,driver,port" form. The
   driver and port come from the wide listing, which names the printer
   exactly; the entry is written only when the printer is still there. */
static BOOL SetDefaultByWideProfile(const wchar_t *pwszName)
{
    ENUMPRINTERSWPROC pfnEnum = Spooler.pfnEnumPrintersW;
    WRITEPROFILESTRINGWPROC pfnWrite =
        (WRITEPROFILESTRINGWPROC)FindLoadedFunction("kernel32.dll", "WriteProfileStringW");
    DWORD cbNeeded = 0, cReturned = 0, i;
    PRINTER_INFO_2W *pInfo;
    BOOL bDone = FALSE;

    if (pfnEnum == NULL || pfnWrite == NULL)
        return FALSE;
    pfnEnum(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 2, NULL, 0, &cbNeeded, &cReturned);
    pInfo = (PRINTER_INFO_2W *)HeapAlloc(GetProcessHeap(), 0, cbNeeded ? cbNeeded : 1);
    if (pInfo == NULL)
        return FALSE;
    if (pfnEnum(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, NULL, 2, (LPBYTE)pInfo, cbNeeded,
                &cbNeeded, &cReturned)) {
        for (i = 0; i < cReturned && !bDone; i++) {
            wchar_t wszEntry[DEVICE_ENTRY_SIZE];
            if (pInfo[i].pPrinterName == NULL || wcscmp(pInfo[i].pPrinterName, pwszName) != 0)
                continue;
            if (ComposeWideDeviceEntry(wszEntry, DEVICE_ENTRY_SIZE, pInfo[i].pPrinterName,
                                       pInfo[i].pDriverName ? pInfo[i].pDriverName : L"",
                                       pInfo[i].pPortName ? pInfo[i].pPortName : L""))
                bDone = pfnWrite(L"windows", L"device", wszEntry);
            break;
        }
    }
    HeapFree(GetProcessHeap(), 0, pInfo);
    return bDone;
}

static void StartIconRestoreTimer(void)
{
    /* Same id every time: a second switch within the delay replaces the
       running timer, so the idle icon returns after the last switch. */
    SetTimer(hMainWnd, TIMER_ICON_RESTORE, ICON_RESTORE_DELAY_MS, NULL);
}

void SwitchDefaultPrinter(int iRow)
{
    char szName[256];
    PrinterWideRow wszName;

    /* A private copy: a listing may rewrite the table while this runs. */
    StringCchCopyA(szName, sizeof(szName), PrinterTable[iRow]);
    CopyPrinterWideName(wszName, PrinterWideNames[iRow]);
    /* A row kept by its wide name is that printer, never its look-alike. */
    if (wszName[0] != L'\0')
        SwitchDefaultPrinterByWideName(wszName);
    else
        SwitchDefaultPrinterByName(szName);
}

/* After a switch: everyone hears of it, and the icon shows it a moment. */
static void AnnounceSwitch(void)
{
    SendMessageTimeoutA(HWND_BROADCAST, WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG, 1000, NULL);
    SetTrayIcon(1);
    StartIconRestoreTimer();
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
    AnnounceSwitch();
}

void SwitchDefaultPrinterByWideName(const wchar_t *pwszName)
{
    BOOL bDone = FALSE;

    if (iPlatform == PLATFORM_NT5)
        bDone = Spooler.pfnSetDefaultPrinterW != NULL && Spooler.pfnSetDefaultPrinterW(pwszName);
    else if (iPlatform == PLATFORM_NT_OLD)
        bDone = SetDefaultByWideProfile(pwszName);
    /* The 9x spooler has no such printers. */
    if (bDone)
        AnnounceSwitch();
}
