/* Decisions of the configuration and location dialogs over plain data. */
#include <string.h>
#include "../core/textsafe.h"
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif
#include "../core/records.h"
#include "dialoglogic.h"

#ifndef INADDR_NONE
#define INADDR_NONE 0xFFFFFFFFu
#endif

int IsAddressText(const char *pszAddress)
{
    /* Old stacks read an empty text as 0.0.0.0, so empty is refused first. */
    if (pszAddress[0] == '\0')
        return 0;
    return inet_addr(pszAddress) != INADDR_NONE;
}

int CheckLocationFields(const char *pszName, const char *pszIPStart, const char *pszIPFinish,
                        const char *pszPrinter)
{
    if (pszName[0] == '\0')
        return LOCATION_NO_NAME;
    if (!IsAddressText(pszIPStart) || !IsAddressText(pszIPFinish))
        return LOCATION_BAD_RANGE;
    if (pszPrinter[0] == '\0')
        return LOCATION_NO_PRINTER;
    return LOCATION_FIELDS_OK;
}

const char *LocationCheckMessage(int iCheck)
{
    switch (iCheck) {
    case LOCATION_NO_NAME:
        return "Please enter a Location Name";
    case LOCATION_BAD_RANGE:
        return "Invalid IP range";
    case LOCATION_NO_PRINTER:
        return "Please choose a valid printer";
    default:
        return NULL;
    }
}

void ComposeAutoRange(uint32_t ipAddress, char *pszStart, char *pszFinish, size_t cchText)
{
    struct in_addr addr;
    char szNetwork[16];
    char *pLastDot;

    addr.s_addr = ipAddress;
    /* inet_ntoa's buffer is shared: take the text before anything else runs. */
    StringCchCopyA(szNetwork, sizeof(szNetwork), inet_ntoa(addr));
    pLastDot = strrchr(szNetwork, '.');
    if (pLastDot != NULL)
        *pLastDot = '\0';
    StringCchPrintfA(pszStart, cchText, "%s.1", szNetwork);
    StringCchPrintfA(pszFinish, cchText, "%s.254", szNetwork);
}

int IsLocationListFull(int iRows)
{
    return iRows >= MAX_LOCATIONS;
}

int CanInsertLocationRow(int iRows)
{
    return iRows <= MAX_LOCATIONS;
}

int IsUsableRowCount(int iCount)
{
    /* Any negative count is as unusable as the -1 of a failed request. */
    return iCount >= 0 && iCount <= MAX_LOCATIONS;
}
