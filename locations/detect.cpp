/* Location detection: which configured location holds one of the host's own
   IPv4 addresses, behind the router it requires. The addresses are tried in
   the order that says where the host is: those with a default route first.
   Any failure leaves "No match". */
#include <string.h>
#include "../core/textsafe.h"
#include "../core/state.h"
#include "locations.h"
#include "rangelogic.h"
#include "routerlogic.h"

int iMatchedLocation = -1;
int iCurrentRouter = ROUTER_UNAVAILABLE;
unsigned char abCurrentRouter[HARDWARE_ADDRESS_LENGTH];

/* inet_addr's answer in host order; text it rejects gives 255.255.255.255. */
static uint32_t ParseBound(const char *pszAddress)
{
    return (uint32_t)ntohl(inet_addr(pszAddress));
}

int CountDetectionRows(void)
{
    return CountLocationsInForce(&MachinePolicy, &UserPolicy, &AutoSettings, NULL);
}

const LocationRecord *GetDetectionRow(int i)
{
    return GetLocationInForce(&MachinePolicy, &UserPolicy, &AutoSettings, i);
}

int CountManagedRows(void)
{
    int iManaged;

    CountLocationsInForce(&MachinePolicy, &UserPolicy, &AutoSettings, &iManaged);
    return iManaged;
}

/* The rows' ranges and routers; returns how many, and whether any row
   requires a router in *pbAnyBound. */
static int ReadRanges(BoundRange *pRanges, int *pbAnyBound)
{
    int i, iCount = CountDetectionRows();

    *pbAnyBound = 0;
    for (i = 0; i < iCount; i++) {
        const LocationRecord *pLocation = GetDetectionRow(i);
        pRanges[i].uStart = ParseBound(pLocation->szIPStart);
        pRanges[i].uEnd = ParseBound(pLocation->szIPFinish);
        pRanges[i].bBound = ParseGatewayText(pLocation->szGatewayMAC, pRanges[i].abRouter);
        *pbAnyBound |= pRanges[i].bBound;
    }
    return iCount;
}

/* The host's own addresses in the resolver's order; the count. */
static int ResolveHostAddresses(HostAddress *pHosts, int cMax)
{
    char szHost[256];
    const struct hostent *pHost;
    int c = 0;

    if (gethostname(szHost, 255) == SOCKET_ERROR)
        return 0;
    szHost[255] = '\0';
    pHost = gethostbyname(szHost);
    if (pHost == NULL || pHost->h_addrtype != AF_INET || pHost->h_length != 4 ||
        pHost->h_addr_list == NULL)
        return 0;
    /* No host has more; past them the list is not read. */
    for (; c < cMax && pHost->h_addr_list[c] != NULL; c++) {
        u_long ulNet;
        CopyMemory(&ulNet, pHost->h_addr_list[c], sizeof(ulNet));
        pHosts[c].uAddress = (uint32_t)ntohl(ulNet);
        pHosts[c].iRoute = ROUTE_UNKNOWN;
        pHosts[c].uMetric = 0;
    }
    return c;
}

/* Host addresses as FindBoundMatch takes them, before their routers are known. */
static void CopyHostAddresses(const HostReading *pReading, HostRouter *pHosts)
{
    int h;

    for (h = 0; h < pReading->cHosts; h++) {
        pHosts[h].uAddress = pReading->aHosts[h].uAddress;
        pHosts[h].iRouter = ROUTER_UNAVAILABLE;
    }
}

void ReadHost(HostReading *pReading)
{
    HostRouter aHosts[MAX_HOST_ADDRESSES];
    int bAnyBound, h, cOutside = 0;

    pReading->cHosts = ResolveHostAddresses(pReading->aHosts, MAX_HOST_ADDRESSES);
    pReading->bRoutesKnown = 0;
    pReading->bRoutersRead = 0;
    for (h = 0; h < pReading->cHosts; h++)
        cOutside += NormaliseHostAddress(pReading->aHosts[h].uAddress) != 0;
    pReading->cRanges = ReadRanges(pReading->aRanges, &bAnyBound);
    CopyHostAddresses(pReading, aHosts);
    /* The neighbour table is read only when a bound range holds an address;
       the address table only when the order of several addresses, or a
       router, depends on it. */
    if (bAnyBound &&
        IsRouterNeeded(aHosts, pReading->cHosts, pReading->aRanges, pReading->cRanges)) {
        pReading->bHelper = LoadRouterTables();
        pReading->bRoutersRead = pReading->bHelper;
    } else {
        pReading->bHelper = LoadRouteTables(cOutside > 1);
    }
    if (pReading->bHelper)
        pReading->bRoutesKnown = MarkRoutesFromTables(pReading->aHosts, pReading->cHosts);
    if (pReading->bRoutesKnown)
        OrderHostAddresses(pReading->aHosts, pReading->cHosts);
}

u_long ReadFirstHostAddress(void)
{
    HostReading reading;

    ReadHost(&reading);
    return reading.cHosts > 0 ? htonl((u_long)reading.aHosts[0].uAddress) : 0;
}

/* Whether a row that requires a router bears the name just matched: the
   walk over that name then needs the current router. */
static int HasBoundRowNamed(const BoundRange *pRanges, int iCount, const char *pszName)
{
    int i;

    for (i = 0; i < iCount; i++) {
        if (pRanges[i].bBound && strcmp(GetDetectionRow(i)->szLocationName, pszName) == 0)
            return 1;
    }
    return 0;
}

/* Keeps the router behind the host address that decided, for the walk over
   rows of the matched name. */
static void KeepCurrentRouter(const HostReading *pReading, const HostRouter *pHost, int bNeeded)
{
    uint32_t uGateway;

    if (!pReading->bHelper) {
        iCurrentRouter = ROUTER_UNAVAILABLE;
        return;
    }
    iCurrentRouter = ROUTER_NONE;
    if (pHost == NULL)
        return;
    if (pReading->bRoutersRead) {
        iCurrentRouter = pHost->iRouter;
    } else if (bNeeded && LoadRouterTables()) {
        iCurrentRouter = FindRouter(pHost->uAddress, abCurrentRouter, &uGateway);
        return;
    }
    if (iCurrentRouter == ROUTER_KNOWN)
        CopyMemory(abCurrentRouter, pHost->abRouter, sizeof(abCurrentRouter));
}

int FindLocation(const HostReading *pReading, int bFinal, uint32_t *puGateway)
{
    const BoundRange *aRanges = pReading->aRanges;
    HostRouter aHosts[MAX_HOST_ADDRESSES];
    uint32_t auGateway[MAX_HOST_ADDRESSES];
    int iCount = pReading->cRanges, h, cHosts = pReading->cHosts, iFound, iHost, iMatch;

    *puGateway = 0;
    CopyHostAddresses(pReading, aHosts);
    for (h = 0; h < cHosts; h++) {
        auGateway[h] = 0;
        if (pReading->bRoutersRead)
            aHosts[h].iRouter = FindRouter(aHosts[h].uAddress, aHosts[h].abRouter, &auGateway[h]);
    }
    /* Off every network, a virtual adapter's address or a link-local one
       left behind says nothing: the host is where only loopback is left. */
    if (pReading->bRoutesKnown && IsOffNetwork(pReading->aHosts, cHosts, aRanges, iCount)) {
        cHosts = 1;
        aHosts[0].uAddress = 0;
        aHosts[0].iRouter = ROUTER_NONE;
    }
    iMatch = FindBoundMatch(aHosts, cHosts, aRanges, iCount, bFinal, &iFound, &iHost);
    if (iMatch == MATCH_WAIT) {
        *puGateway = auGateway[iFound];
        return MATCH_WAIT;
    }
    iMatchedLocation = iFound;
    StringCchCopyA(szCurrentLocation, sizeof(szCurrentLocation),
                   iFound >= 0 ? GetDetectionRow(iFound)->szLocationName : NO_MATCH_TEXT);
    if (iHost < 0 && cHosts > 0)
        iHost = 0;
    KeepCurrentRouter(pReading, iHost >= 0 ? &aHosts[iHost] : NULL,
                      HasBoundRowNamed(aRanges, iCount, szCurrentLocation));
    return MATCH_DECIDED;
}

void DetectLocation(void)
{
    HostReading reading;
    uint32_t uGateway;

    ReadHost(&reading);
    FindLocation(&reading, 1, &uGateway);
}
