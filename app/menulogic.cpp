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
