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
#include "../locations/rangelogic.h"
#include "../locations/routerlogic.h"
#include "dialoglogic.h"

int CheckLocationFields(const char *pszName, const char *pszIPStart, const char *pszIPFinish,
                        const char *pszPrinter)
{
    uint32_t uStart = 0, uFinish = 0;

    if (pszName[0] == '\0')
        return LOCATION_NO_NAME;
    /* A range whose first address lies above its last holds nothing the
       user meant. */
    if (!ParseAddressText(pszIPStart, &uStart) || !ParseAddressText(pszIPFinish, &uFinish) ||
        uStart > uFinish)
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

void ComposeRouterLine(int iRouter, const char *pszRouter, char *pszLine, size_t cchLine)
{
    switch (iRouter) {
    case ROUTER_KNOWN:
        StringCchPrintfA(pszLine, cchLine, "Router %s", pszRouter);
        break;
    case ROUTER_LINE_ASKABLE:
        StringCchCopyA(pszLine, cchLine, "Tick to look up this network's router.");
        break;
    case ROUTER_LINE_LOOKING:
        StringCchCopyA(pszLine, cchLine, "Looking up the router...");
        break;
    case ROUTER_NOT_YET:
        StringCchCopyA(pszLine, cchLine, "The router did not answer: tick to try again.");
        break;
    case ROUTER_NONE:
        StringCchCopyA(pszLine, cchLine, "This network has no router to check.");
        break;
    case ROUTER_UNAVAILABLE:
        StringCchCopyA(pszLine, cchLine, "The network check is not available on this system.");
        break;
    default:
        StringCchCopyA(pszLine, cchLine, "");
        break;
    }
}
