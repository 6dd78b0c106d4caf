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

int FindMatchingRange(const uint32_t *puHost, int cHost, const uint32_t *puStart,
                      const uint32_t *puEnd, int cRanges)
{
    int h, i;

    for (h = 0; h < cHost; h++) {
        uint32_t uAddress = NormaliseHostAddress(puHost[h]);
        for (i = 0; i < cRanges; i++) {
            uint32_t uStart = puStart[i], uEnd = puEnd[i];
            NormaliseRange(&uStart, &uEnd);
            if (uStart <= uAddress && uAddress <= uEnd)
                return i;
        }
    }
    return -1;
}
