/* Tray tip composition. */
#include "../core/textsafe.h"
#include "tiptext.h"

void ComposeTrayTip(const char *pszPrinter, int bSetByIP, const char *pszLocation,
                    char *pszTip)
{
    char szWork[TIP_WORK_SIZE];

    szWork[0] = '\0';
    /* No location yet (it is still being decided), or one without a name:
       the printer alone, never "printer ()". */
    if (bSetByIP && pszLocation != NULL && pszLocation[0] != '\0') {
        StringCchPrintfA(szWork, TIP_WORK_SIZE, "%s (%s)", pszPrinter, pszLocation);
        /* The location is shown only while the whole text fits the limit; past
           it the printer's name matters more than a cut-off location. */
        if (strlen(szWork) > TIP_COMBINED_LIMIT)
            StringCchPrintfA(szWork, TIP_WORK_SIZE, "%s", pszPrinter);
    } else {
        StringCchPrintfA(szWork, TIP_WORK_SIZE, "%s", pszPrinter);
    }
    /* Cutting is expected here: the shell's field holds 63 characters. */
    StringCchCopyA(pszTip, TIP_FIELD_SIZE, szWork);
}
