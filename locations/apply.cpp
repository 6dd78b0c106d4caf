/* Location rules: the current location's printer, or the no-match printer,
   becomes the default. Printers are found by exact name in the table. */
#include <string.h>
#include "../core/state.h"
#include "../printers/printers.h"
#include "locations.h"
#include "settingslogic.h"

int FindPrinterRow(const char *pszName)
{
    int iCount = iPrinterCount;
    int iRow;

    for (iRow = 0; iRow < iCount; iRow++) {
        if (strcmp(PrinterTable[iRow], pszName) == 0)
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

    iCount = CapLocationCount(AutoSettings.iAutoPrinterCount);
    /* A row bound to its router stands alone: another row of the same name
       belongs to another network. */
    if (iMatchedLocation >= 0 && iMatchedLocation < iCount &&
        AutoSettings.locations[iMatchedLocation].szGatewayMAC[0] != '\0' &&
        strcmp(AutoSettings.locations[iMatchedLocation].szLocationName, szCurrentLocation) == 0) {
        iRow = FindPrinterRow(AutoSettings.locations[iMatchedLocation].szPrinterName);
        if (iRow != -1)
            SwitchDefaultPrinter(iRow);
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
}
