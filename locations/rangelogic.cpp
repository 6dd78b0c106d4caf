/* Address ranges over plain numbers. */
#include "rangelogic.h"

uint32_t NormaliseHostAddress(uint32_t uAddress)
{
    return (uAddress >= LOOPBACK_FIRST && uAddress <= LOOPBACK_LAST) ? 0 : uAddress;
}

void NormaliseRange(uint32_t *puStart, uint32_t *puEnd)
{
    if (*puStart >= LOOPBACK_FIRST && *puEnd <= LOOPBACK_LAST) {
        *puStart = 0;
        *puEnd = 0;
    }
}

int ParseAddressText(const char *pszAddress, uint32_t *puAddress)
{
    const char *p = pszAddress;
    uint32_t uAddress = 0;
    int iPart;

    for (iPart = 0; iPart < 4; iPart++) {
        uint32_t uPart = 0;
        int cDigits = 0;

        if (iPart > 0 && *p++ != '.')
            return 0;
        if (p[0] == '0' && p[1] >= '0' && p[1] <= '9')
            return 0;
        /* A fourth digit stands where a dot or the end must be: refused. */
        while (cDigits < 3 && *p >= '0' && *p <= '9') {
            uPart = uPart * 10 + (uint32_t)(*p - '0');
            p++;
            cDigits++;
        }
        if (cDigits == 0 || uPart > 255)
            return 0;
        uAddress = (uAddress << 8) | uPart;
    }
    if (*p != '\0')
        return 0;
    *puAddress = uAddress;
    return 1;
}
