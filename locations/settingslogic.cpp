/* Checks on stored settings. */
#include "../core/records.h"
#include "settingslogic.h"

int CountInEffect(int iStoredCount, unsigned long cSubKeys)
{
    /* A count that disagrees with the subkeys means a list edited by hand or
       half lost: the locations are disregarded rather than guessed at. */
    if (iStoredCount < 0 || (unsigned long)iStoredCount != cSubKeys)
        return 0;
    return iStoredCount > MAX_LOCATIONS ? MAX_LOCATIONS : iStoredCount;
}

int CapLocationCount(int iCount)
{
    return iCount > MAX_LOCATIONS ? MAX_LOCATIONS : iCount;
}

unsigned long SubKeysToRead(unsigned long cSubKeys)
{
    return cSubKeys > MAX_LOCATIONS ? MAX_LOCATIONS : cSubKeys;
}

void TerminateStoredText(char *pszField, size_t cchField, unsigned long cbData)
{
    if (cchField == 0)
        return;
    if (cbData >= cchField)
        pszField[cchField - 1] = '\0';
    else
        pszField[cbData] = '\0';
}
