/* Location rules: the current location's printer, or the no-match printer,
   becomes the default. Printers are found by exact name in the table. */
#include <string.h>
#include "../core/state.h"
#include "../printers/printerlogic.h"
#include "../printers/printers.h"
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

void ApplyLocation(void)
{
    int i, iRow, iCount;

    if ((szCurrentLocation[0] == '\0' || strcmp(szCurrentLocation, NO_MATCH_TEXT) == 0) &&
        AutoSettings.bIfNoMatch) {
        iRow = FindPrinterRow(AutoSettings.szNoMatchPrinter);
        if (iRow != -1)
            SwitchDefaultPrinter(iRow);
        return;
    }

    /* Every location of this name switches in turn, so the last one whose
       printer is known decides. */
    iCount = CapLocationCount(AutoSettings.iAutoPrinterCount);
    for (i = 0; i < iCount; i++) {
        if (strcmp(AutoSettings.locations[i].szLocationName, szCurrentLocation) != 0)
            continue;
        iRow = FindPrinterRow(AutoSettings.locations[i].szPrinterName);
        if (iRow != -1)
            SwitchDefaultPrinter(iRow);
    }
}
