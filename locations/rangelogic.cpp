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
