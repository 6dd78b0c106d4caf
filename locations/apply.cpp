/* Location rules: the current location's printer, or the no-match printer,
   becomes the default. Printers are found by exact name in the table. */
#include <string.h>
#include "../core/state.h"
#include "../printers/printerlogic.h"
#include "../printers/printers.h"
#include "../tray/noticelogic.h"
#include "../tray/tray.h"
#include "locations.h"
#include "routerlogic.h"

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
                           GetSettingsInForce()->bNotifyOnSwitch))
        ShowSwitchNotice(szDefault, pszLocation);
}

void ApplyLocation(void)
{
    const char *apszNames[MAX_DETECTION_ROWS];
    BoundRange aRanges[MAX_DETECTION_ROWS];
    int aiRows[MAX_DETECTION_ROWS];
    const AutoSettingsRecord *pSettings = GetSettingsInForce();
    int i, iRow, iCount, cSwitch;
    char szBefore[256];

    GetDefaultPrinterName(szBefore, 255);
    if ((szCurrentLocation[0] == '\0' || strcmp(szCurrentLocation, NO_MATCH_TEXT) == 0) &&
        pSettings->bIfNoMatch) {
        iRow = FindPrinterRow(pSettings->szNoMatchPrinter);
        if (iRow != -1) {
            SwitchDefaultPrinter(iRow);
            TellOfSwitch(szBefore, NULL);
        }
        return;
    }

    iCount = CountDetectionRows();
    for (i = 0; i < iCount; i++) {
        const LocationRecord *pLocation = GetDetectionRow(i);
        apszNames[i] = pLocation->szLocationName;
        aRanges[i].uStart = aRanges[i].uEnd = 0;
        aRanges[i].bBound = ParseGatewayText(pLocation->szGatewayMAC, aRanges[i].abRouter);
    }
    cSwitch = ChooseSwitchRows(apszNames, aRanges, iCount, szCurrentLocation, iMatchedLocation,
                               iCurrentRouter, abCurrentRouter, aiRows);
    for (i = 0; i < cSwitch; i++) {
        iRow = FindPrinterRow(GetDetectionRow(aiRows[i])->szPrinterName);
        if (iRow != -1)
            SwitchDefaultPrinter(iRow);
    }
    TellOfSwitch(szBefore, szCurrentLocation);
}
