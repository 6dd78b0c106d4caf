/* The network's identity over plain rows. */
#include <string.h>
#include "routerlogic.h"
#include "rangelogic.h"

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int ParseGatewayText(const char *pszText, unsigned char *pbAddress)
{
    unsigned char ab[HARDWARE_ADDRESS_LENGTH];
    char cSeparator = '\0';
    int i;

    for (i = 0; i < HARDWARE_ADDRESS_LENGTH; i++) {
        int iHigh, iLow;
        const char *p = pszText + 3 * i;

        /* Each step reads only up to a NUL, so a short text stops here. */
        iHigh = HexDigit(p[0]);
        if (iHigh < 0)
            return 0;
        iLow = HexDigit(p[1]);
        if (iLow < 0)
            return 0;
        ab[i] = (unsigned char)(iHigh * 16 + iLow);
        if (i == HARDWARE_ADDRESS_LENGTH - 1) {
            if (p[2] != '\0')
                return 0;
        } else {
            if (p[2] != '-' && p[2] != ':')
                return 0;
            /* One separator throughout. */
            if (cSeparator != '\0' && p[2] != cSeparator)
                return 0;
            cSeparator = p[2];
        }
    }
    for (i = 0; i < HARDWARE_ADDRESS_LENGTH; i++)
        pbAddress[i] = ab[i];
    return 1;
}

void FormatGatewayText(const unsigned char *pbAddress, char *pszText, size_t cchText)
{
    static const char szDigits[] = "0123456789ABCDEF";
    char sz[GATEWAY_TEXT_SIZE];
    size_t i, n = 0;

    for (i = 0; i < HARDWARE_ADDRESS_LENGTH; i++) {
        if (i > 0)
            sz[n++] = '-';
        sz[n++] = szDigits[pbAddress[i] >> 4];
        sz[n++] = szDigits[pbAddress[i] & 15];
    }
    sz[n] = '\0';
    if (cchText == 0)
        return;
    for (i = 0; i + 1 < cchText && sz[i] != '\0'; i++)
        pszText[i] = sz[i];
    pszText[i] = '\0';
}

void NormaliseGatewayText(char *pszField, size_t cchField)
{
    unsigned char ab[HARDWARE_ADDRESS_LENGTH];

    if (cchField == 0)
        return;
    if (ParseGatewayText(pszField, ab) && cchField >= GATEWAY_TEXT_SIZE)
        FormatGatewayText(ab, pszField, cchField);
    else
        pszField[0] = '\0';
}

static int IsUsableHardwareAddress(const NeighbourRow *pRow)
{
    uint32_t i;

    if (pRow->uType == NEIGHBOUR_TYPE_INVALID || pRow->cbPhysical != HARDWARE_ADDRESS_LENGTH)
        return 0;
    for (i = 0; i < HARDWARE_ADDRESS_LENGTH; i++) {
        if (pRow->abPhysical[i] != 0)
            return 1;
    }
    return 0;
}

int ChooseRouter(uint32_t uAddress, const AddressRow *pAddresses, int cAddresses,
                 const RouteRow *pRoutes, int cRoutes, const NeighbourRow *pNeighbours,
                 int cNeighbours, unsigned char *pbAddress, uint32_t *puGateway)
{
    const RouteRow *pBest = 0;
    uint32_t uIfIndex = 0;
    int i, j, bFound = 0;

    *puGateway = 0;
    for (i = 0; i < cAddresses && !bFound; i++) {
        if (pAddresses[i].uAddress == uAddress) {
            uIfIndex = pAddresses[i].uIfIndex;
            bFound = 1;
        }
    }
    if (!bFound)
        return ROUTER_NONE;

    /* A default route whose next hop is the interface itself or nothing
       (dial-up links) has no router to tell the network by. */
    for (i = 0; i < cRoutes; i++) {
        const RouteRow *p = &pRoutes[i];
        if (p->uDest != 0 || p->uMask != 0 || p->uIfIndex != uIfIndex || p->uNextHop == 0 ||
            p->uNextHop == uAddress)
            continue;
        if (pBest == 0 || p->uMetric < pBest->uMetric)
            pBest = p;
    }
    if (pBest == 0)
        return ROUTER_NONE;
    *puGateway = pBest->uNextHop;

    for (i = 0; i < cNeighbours; i++) {
        const NeighbourRow *p = &pNeighbours[i];
        if (p->uAddress != pBest->uNextHop || p->uIfIndex != uIfIndex || !IsUsableHardwareAddress(p))
            continue;
        for (j = 0; j < HARDWARE_ADDRESS_LENGTH; j++)
            pbAddress[j] = p->abPhysical[j];
        return ROUTER_KNOWN;
    }
    return ROUTER_NOT_YET;
}

static int IsSameRouter(const unsigned char *pbA, const unsigned char *pbB)
{
    int i;

    for (i = 0; i < HARDWARE_ADDRESS_LENGTH; i++) {
        if (pbA[i] != pbB[i])
            return 0;
    }
    return 1;
}

static int IsHeld(uint32_t uHost, const BoundRange *pRange)
{
    uint32_t uAddress = NormaliseHostAddress(uHost);
    uint32_t uStart = pRange->uStart, uEnd = pRange->uEnd;

    NormaliseRange(&uStart, &uEnd);
    return uStart <= uAddress && uAddress <= uEnd;
}

int IsRouterNeeded(const HostRouter *pHosts, int cHosts, const BoundRange *pRanges, int cRanges)
{
    int h, i;

    for (h = 0; h < cHosts; h++) {
        for (i = 0; i < cRanges; i++) {
            if (pRanges[i].bBound && IsHeld(pHosts[h].uAddress, &pRanges[i]))
                return 1;
        }
    }
    return 0;
}

int FindBoundMatch(const HostRouter *pHosts, int cHosts, const BoundRange *pRanges, int cRanges,
                   int bFinal, int *piFound, int *piHost)
{
    int h, i, iHost = -1;

    *piFound = -1;
    for (h = 0; h < cHosts && *piFound < 0; h++) {
        const HostRouter *pHost = &pHosts[h];
        for (i = 0; i < cRanges; i++) {
            const BoundRange *pRange = &pRanges[i];
            if (!IsHeld(pHost->uAddress, pRange))
                continue;
            if (!pRange->bBound || pHost->iRouter == ROUTER_UNAVAILABLE ||
                (pHost->iRouter == ROUTER_KNOWN && IsSameRouter(pHost->abRouter, pRange->abRouter))) {
                *piFound = i;
                iHost = h;
                break;
            }
            if (pHost->iRouter == ROUTER_NOT_YET && !bFinal) {
                *piFound = h;
                if (piHost != 0)
                    *piHost = -1;
                return MATCH_WAIT;
            }
        }
    }
    if (piHost != 0)
        *piHost = iHost;
    return MATCH_DECIDED;
}

int IsRowOnItsNetwork(const BoundRange *pRange, int iRouter, const unsigned char *pbRouter)
{
    if (!pRange->bBound || iRouter == ROUTER_UNAVAILABLE)
        return 1;
    return iRouter == ROUTER_KNOWN && IsSameRouter(pbRouter, pRange->abRouter);
}

int ChooseSwitchRows(const char *const *ppszNames, const BoundRange *pRanges, int cRows,
                     const char *pszCurrent, int iMatched, int iRouter,
                     const unsigned char *pbRouter, int *piRows)
{
    int i, c = 0;

    if (iMatched >= 0 && iMatched < cRows && pRanges[iMatched].bBound &&
        strcmp(ppszNames[iMatched], pszCurrent) == 0) {
        piRows[0] = iMatched;
        return 1;
    }
    for (i = 0; i < cRows; i++) {
        if (strcmp(ppszNames[i], pszCurrent) == 0 && IsRowOnItsNetwork(&pRanges[i], iRouter, pbRouter))
            piRows[c++] = i;
    }
    return c;
}

static int IsLoopback(uint32_t uAddress)
{
    return uAddress >= LOOPBACK_FIRST && uAddress <= LOOPBACK_LAST;
}

void MarkHostRoutes(HostAddress *pHosts, int cHosts, const AddressRow *pAddresses, int cAddresses,
                    const RouteRow *pRoutes, int cRoutes)
{
    int h, i, j, cOutside = 0, bAnyDefault = 0;

    for (i = 0; i < cRoutes; i++)
        bAnyDefault |= pRoutes[i].uDest == 0 && pRoutes[i].uMask == 0;
    for (h = 0; h < cHosts; h++)
        cOutside += !IsLoopback(pHosts[h].uAddress);
    for (h = 0; h < cHosts; h++) {
        HostAddress *pHost = &pHosts[h];
        pHost->iRoute = ROUTE_NONE;
        pHost->uMetric = 0;
        if (cAddresses < 0) {
            if (bAnyDefault && cOutside == 1 && !IsLoopback(pHost->uAddress))
                pHost->iRoute = ROUTE_DEFAULT;
            continue;
        }
        /* An address may sit on several interfaces; any routed one counts. */
        for (i = 0; i < cAddresses; i++) {
            if (pAddresses[i].uAddress != pHost->uAddress)
                continue;
            for (j = 0; j < cRoutes; j++) {
                const RouteRow *p = &pRoutes[j];
                if (p->uDest != 0 || p->uMask != 0 || p->uIfIndex != pAddresses[i].uIfIndex)
                    continue;
                if (pHost->iRoute != ROUTE_DEFAULT || p->uMetric < pHost->uMetric)
                    pHost->uMetric = p->uMetric;
                pHost->iRoute = ROUTE_DEFAULT;
            }
        }
    }
}

static int RanksBefore(const HostAddress *pA, const HostAddress *pB)
{
    if (pA->iRoute == ROUTE_DEFAULT && pB->iRoute != ROUTE_DEFAULT)
        return 1;
    return pA->iRoute == ROUTE_DEFAULT && pB->iRoute == ROUTE_DEFAULT && pA->uMetric < pB->uMetric;
}

void OrderHostAddresses(HostAddress *pHosts, int cHosts)
{
    int i, j;

    /* Insertion sort: stable, and the list is short. */
    for (i = 1; i < cHosts; i++) {
        HostAddress moving = pHosts[i];
        for (j = i; j > 0 && RanksBefore(&moving, &pHosts[j - 1]); j--)
            pHosts[j] = pHosts[j - 1];
        pHosts[j] = moving;
    }
}

int IsOffNetwork(const HostAddress *pHosts, int cHosts, const BoundRange *pRanges, int cRanges)
{
    int h, i;

    if (cHosts <= 0)
        return 0;
    for (h = 0; h < cHosts; h++) {
        if (pHosts[h].iRoute != ROUTE_NONE)
            return 0;
    }
    for (i = 0; i < cRanges; i++) {
        /* "No network" ranges stand for the off-network state itself. */
        if (pRanges[i].uStart >= LOOPBACK_FIRST && pRanges[i].uEnd <= LOOPBACK_LAST)
            continue;
        for (h = 0; h < cHosts; h++) {
            if (!IsLoopback(pHosts[h].uAddress) && IsHeld(pHosts[h].uAddress, &pRanges[i]))
                return 0;
        }
    }
    return 1;
}

int HasRoutedAddress(const HostAddress *pHosts, int cHosts)
{
    int h;

    for (h = 0; h < cHosts; h++) {
        if (pHosts[h].iRoute != ROUTE_NONE)
            return 1;
    }
    return 0;
}
