/* Platform class, the current default printer's name, and whether the code
   page holds a printer's name exactly. */
#include "../core/textsafe.h"
#include "../core/state.h"
#include "../core/syslib.h"
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

#ifndef WC_NO_BEST_FIT_CHARS
#define WC_NO_BEST_FIT_CHARS 0x00000400
#endif

typedef DWORD (WINAPI *GETPROFILESTRINGWPROC)(LPCWSTR, LPCWSTR, LPCWSTR, LPWSTR, DWORD);

/* WideCharToMultiByte as IsNameRepresentable expects it. */
static int ConvertToAnsi(unsigned int uCodePage, const wchar_t *pwszText, char *pszOut, int cbOut,
                         int *pbUsedDefault)
{
    UINT uActual = uCodePage == CP_ACP ? GetACP() : uCodePage;
    BOOL bUsedDefault = FALSE;
    int iWritten;

    *pbUsedDefault = 0;
    /* These two take no default character: the way back tells. */
    if (uActual == CP_UTF8 || uActual == CP_UTF7)
        return WideCharToMultiByte(uCodePage, 0, pwszText, -1, pszOut, cbOut, NULL, NULL);
    iWritten = WideCharToMultiByte(uCodePage, WC_NO_BEST_FIT_CHARS, pwszText, -1, pszOut, cbOut,
                                   NULL, &bUsedDefault);
    /* Before Windows 2000 the flag is unknown; a best-fit character then
       shows as a different name on the way back. */
    if (iWritten == 0 && GetLastError() == ERROR_INVALID_FLAGS)
        iWritten = WideCharToMultiByte(uCodePage, 0, pwszText, -1, pszOut, cbOut, NULL,
                                       &bUsedDefault);
    *pbUsedDefault = bUsedDefault != FALSE;
    return iWritten;
}

static int ConvertToWide(unsigned int uCodePage, const char *pszText, wchar_t *pwszOut, int cchOut)
{
    return MultiByteToWideChar(uCodePage, 0, pszText, -1, pwszOut, cchOut);
}

int IsAnsiPrinterName(const wchar_t *pwszName)
{
    return IsNameRepresentable(pwszName, CP_ACP, ConvertToAnsi, ConvertToWide);
}

void GetDefaultPrinterWideName(wchar_t *pwszBuffer, int cchBuffer)
{
    GETPROFILESTRINGWPROC pfnGetProfile = NULL;

    pwszBuffer[0] = L'\0';
    if (iPlatform == PLATFORM_WIN9X)
        return;
    pfnGetProfile = (GETPROFILESTRINGWPROC)FindLoadedFunction("kernel32.dll", "GetProfileStringW");
    if (pfnGetProfile == NULL)
        return;
    pfnGetProfile(L"windows", L"device", L"", pwszBuffer, (DWORD)cchBuffer);
    CutWideAtFirstComma(pwszBuffer);
    /* A name the code page holds is compared in its ANSI form, as always. */
    if (IsAnsiPrinterName(pwszBuffer))
        pwszBuffer[0] = L'\0';
}
