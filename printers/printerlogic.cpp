/* Printer decisions over plain data. */
#include "../core/textsafe.h"
#include "printerlogic.h"

int ClassifyPlatform(unsigned long dwPlatformId, unsigned long dwMajorVersion)
{
    if (dwPlatformId == PLATFORM_ID_WIN9X)
        return 1;
    /* Any other platform is taken as NT; only the major version tells the
       switching method apart. */
    return dwMajorVersion < 5 ? 2 : 3;
}

void CutAtFirstComma(char *psz)
{
    char *pComma = strchr(psz, ',');
    if (pComma != NULL)
        *pComma = '\0';
}

int ComposeDeviceEntry(char *pszEntry, size_t cchEntry, const char *pszName,
                       const char *pszDriver, const char *pszPort)
{
    if (FAILED(StringCchPrintfA(pszEntry, cchEntry, "%s,%s,%s", pszName, pszDriver, pszPort))) {
        if (cchEntry > 0)
            pszEntry[0] = '\0';
        return 0;
    }
    return 1;
}

int CapPrinterCount(unsigned long dwReturned)
{
    return dwReturned < MAX_PRINTERS ? (int)dwReturned : MAX_PRINTERS;
}

void CopyPrinterName(char *pszRow, const char *pszName)
{
    StringCchCopyA(pszRow, NAME_FIELD_SIZE, pszName);
}
