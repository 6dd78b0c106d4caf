/* Menu texts over plain data. */
#include "menulogic.h"

int ComposeMenuText(const char *pszName, char *pszText, size_t cchText)
{
    size_t iOut = 0;

    if (cchText == 0)
        return 0;
    for (; *pszName != '\0'; pszName++) {
        size_t cchChar = *pszName == '&' ? 2 : 1;
        /* The NUL needs its place too. */
        if (iOut + cchChar >= cchText) {
            pszText[iOut] = '\0';
            return 0;
        }
        pszText[iOut++] = *pszName;
        if (*pszName == '&')
            pszText[iOut++] = '&';
    }
    pszText[iOut] = '\0';
    return 1;
}

int ComposeMenuTextW(const wchar_t *pwszName, wchar_t *pwszText, size_t cchText)
{
    size_t iOut = 0;

    if (cchText == 0)
        return 0;
    for (; *pwszName != L'\0'; pwszName++) {
        size_t cchChar = *pwszName == L'&' ? 2 : 1;
        if (iOut + cchChar >= cchText) {
            pwszText[iOut] = L'\0';
            return 0;
        }
        pwszText[iOut++] = *pwszName;
        if (*pwszName == L'&')
            pwszText[iOut++] = L'&';
    }
    pwszText[iOut] = L'\0';
    return 1;
}

int MenuPrinterRowOf(unsigned int uId, int iCount)
{
    if (iCount <= 0 || uId < MENU_PRINTER_ID_FIRST ||
        uId - MENU_PRINTER_ID_FIRST >= (unsigned int)iCount)
        return -1;
    return (int)(uId - MENU_PRINTER_ID_FIRST);
}
