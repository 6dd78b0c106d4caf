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

void CopyPrinterWideName(wchar_t *pwszRow, const wchar_t *pwszName)
{
    size_t i;

    for (i = 0; i + 1 < NAME_FIELD_SIZE && pwszName[i] != L'\0'; i++)
        pwszRow[i] = pwszName[i];
    pwszRow[i] = L'\0';
}

int IsNameRepresentable(const wchar_t *pwszName, unsigned int uCodePage, TOANSIPROC pfnToAnsi,
                        TOWIDEPROC pfnToWide)
{
    char szAnsi[NAME_FIELD_SIZE];
    wchar_t wszBack[NAME_FIELD_SIZE];
    int bUsedDefault = 0;

    if (pfnToAnsi(uCodePage, pwszName, szAnsi, NAME_FIELD_SIZE, &bUsedDefault) == 0 ||
        bUsedDefault)
        return 0;
    /* A character may also come back as another one (a composed form, say):
       only a name that returns unchanged is held exactly. */
    if (pfnToWide(uCodePage, szAnsi, wszBack, NAME_FIELD_SIZE) == 0)
        return 0;
    return wcscmp(wszBack, pwszName) == 0;
}

int IsSamePrinter(const char *pszRow, const wchar_t *pwszRowWide, const char *pszName,
                  const wchar_t *pwszWide)
{
    if (pwszRowWide[0] != L'\0' || pwszWide[0] != L'\0')
        return wcscmp(pwszRowWide, pwszWide) == 0;
    return strcmp(pszRow, pszName) == 0;
}

/* Appends pwszText at *piOut; 0 when it does not fit with the NUL. */
static int AppendWide(wchar_t *pwszEntry, size_t cchEntry, size_t *piOut, const wchar_t *pwszText)
{
    for (; *pwszText != L'\0'; pwszText++) {
        if (*piOut + 1 >= cchEntry)
            return 0;
        pwszEntry[(*piOut)++] = *pwszText;
    }
    pwszEntry[*piOut] = L'\0';
    return 1;
}

int ComposeWideDeviceEntry(wchar_t *pwszEntry, size_t cchEntry, const wchar_t *pwszName,
                           const wchar_t *pwszDriver, const wchar_t *pwszPort)
{
    size_t iOut = 0;

    if (cchEntry == 0)
        return 0;
    pwszEntry[0] = L'\0';
    if (AppendWide(pwszEntry, cchEntry, &iOut, pwszName) &&
        AppendWide(pwszEntry, cchEntry, &iOut, L",") &&
        AppendWide(pwszEntry, cchEntry, &iOut, pwszDriver) &&
        AppendWide(pwszEntry, cchEntry, &iOut, L",") &&
        AppendWide(pwszEntry, cchEntry, &iOut, pwszPort))
        return 1;
    pwszEntry[0] = L'\0';
    return 0;
}

void CutWideAtFirstComma(wchar_t *pwsz)
{
    wchar_t *pComma = wcschr(pwsz, L',');
    if (pComma != NULL)
        *pComma = L'\0';
}
