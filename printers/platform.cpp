/* Platform class and the current default printer's name. */
#include "../core/textsafe.h"
#include "printerlogic.h"
#include "printers.h"

int GetPlatformClass(void)
{
    OSVERSIONINFOA osvi;

    ZeroMemory(&osvi, sizeof(osvi));
    osvi.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
#ifdef _MSC_VER
#pragma warning(suppress : 4996)
#endif
    if (!GetVersionExA(&osvi)) {
        /* Unknown system: the NT 5 method only looks up its entry point at run
           time, so it fails safely where it does not exist. */
        return 3;
    }
    return ClassifyPlatform(osvi.dwPlatformId, osvi.dwMajorVersion);
}

void GetDefaultPrinterName(char *pszBuffer, int cchBuffer)
{
    /* Read anew at every use: whoever changed the default, this is the answer. */
    GetProfileStringA("windows", "device", NOT_SET_TEXT, pszBuffer, (DWORD)cchBuffer);
    CutAtFirstComma(pszBuffer);
}
