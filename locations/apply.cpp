/* Location rules: the current location's printer, or the no-match printer,
   becomes the default. Printers are found by exact name in the table. */
#include <string.h>
#include "../core/state.h"
#include "../printers/printerlogic.h"
#include "../printers/printers.h"
#include "../tray/noticelogic.h"
#include "../tray/tray.h"
#include "locations.h"
#include "settingslogic.h"

int FindPrinterRow(const char *pszName)
{
    int iCount = iPrinterCount;
    int iRow;

    for (iRow = 0; iRow < iCount; iRow++) {
        /* A stored name is ANSI text: it never names a printer the code
           page cannot hold, even when that printer's look-alike equals it. */
        if (IsSamePrinter(PrinterTable[iRow], PrinterWideNames[iRow], pszName, L""))
            return iRow;
    }
    return -1;
}

/* Tells the user when the rules have given the machine another default
   printer; pszLocation NULL: the no-match printer. */
static void TellOfSwitch(const char *pszDefaultBefore, const char *pszLocation)
{
    char szDefault[256];

    GetDefaultPrinterName(szDefault, 255);
    if (DecideSwitchNotice(SWITCH_BY_LOCATION, pszDefaultBefore, szDefault,
                           AutoSettings.bNotifyOnSwitch))
        ShowSwitchNotice(szDefault, pszLocation);
}

void ApplyLocation(void)
{
    int i, iRow, iCount;
    char szBefore[256];

    GetDefaultPrinterName(szBefore, 255);
    if ((szCurrentLocation[0] == '\0' || strcmp(szCurrentLocation, NO_MATCH_TEXT) == 0) &&
        AutoSettings.bIfNoMatch) {
        iRow = FindPrinterRow(AutoSettings.szNoMatchPrinter);
        if (iRow != -1) {
            SwitchDefaultPrinter(iRow);
            TellOfSwitch(szBefore, NULL);
        }
        return;
    }

    iCount = CapLocationCount(AutoSettings.iAutoPrinterCount);
    /* A row bound to its router stands alone: another row of the same name
       belongs to another network. */
    if (iMatchedLocation >= 0 && iMatchedLocation < iCount &&
        AutoSettings.locations[iMatchedLocation].szGatewayMAC[0] != '\0' &&
        strcmp(AutoSettings.locations[iMatchedLocation].szLocationName, szCurrentLocation) == 0) {
        iRow = FindPrinterRow(AutoSettings.locations[iMatchedLocation].szPrinterName);
        if (iRow != -1)
            SwitchDefaultPrinter(iRow);
        TellOfSwitch(szBefore, szCurrentLocation);
        return;
    }
    /* Every location of this name switches in turn, so the last one whose
       printer is known decides. */
    for (i = 0; i < iCount; i++) {
        if (strcmp(AutoSettings.locations[i].szLocationName, szCurrentLocation) != 0)
            continue;
        iRow = FindPrinterRow(AutoSettings.locations[i].szPrinterName);
        if (iRow != -1)
            SwitchDefaultPrinter(iRow);
    }
    TellOfSwitch(szBefore, szCurrentLocation);
}
