/* Location detection: which configured location holds one of the host's own
   IPv4 addresses, behind the router it requires. Any failure leaves
   "No match". */
#include "../core/textsafe.h"
#include "../core/state.h"
#include "locations.h"
#include "rangelogic.h"
#include "routerlogic.h"
#include "settingslogic.h"

int iMatchedLocation = -1;

/* inet_addr's answer in host order; text it rejects gives 255.255.255.255. */
static uint32_t ParseBound(const char *pszAddress)
{
    return (uint32_t)ntohl(inet_addr(pszAddress));
}

const struct hostent *ResolveHostAddresses(void)
{
    char szHost[256];
    const struct hostent *pHost;

    if (gethostname(szHost, 255) == SOCKET_ERROR)
        return NULL;
    szHost[255] = '\0';
    pHost = gethostbyname(szHost);
    if (pHost == NULL || pHost->h_addrtype != AF_INET || pHost->h_length != 4 ||
        pHost->h_addr_list == NULL || pHost->h_addr_list[0] == NULL)
        return NULL;
    return pHost;
}

/* Host addresses are read in batches of this many; the resolver's list has
   no fixed length. */
#define HOST_ADDRESS_BATCH 16

/* Sets szCurrentLocation and iMatchedLocation and returns MATCH_DECIDED, or
   returns MATCH_WAIT with the gateway to ask in *puGateway and both left as
   they were. Unless some location requires a router, no table is read and
   ranges alone decide, as they always did. */
static int FindLocation(int bFinal, uint32_t *puGateway)
{
    const struct hostent *pHost;
    BoundRange aRanges[MAX_LOCATIONS];
    int i, iCount, h, bAnyBound = 0, bTables = 0, bTablesRead = 0;

    *puGateway = 0;
    iCount = CapLocationCount(AutoSettings.iAutoPrinterCount);
    if (iCount < 0)
        iCount = 0;
    for (i = 0; i < iCount; i++) {
        const LocationRecord *pLocation = &AutoSettings.locations[i];
        aRanges[i].uStart = ParseBound(pLocation->szIPStart);
        aRanges[i].uEnd = ParseBound(pLocation->szIPFinish);
        aRanges[i].bBound = ParseGatewayText(pLocation->szGatewayMAC, aRanges[i].abRouter);
        bAnyBound |= aRanges[i].bBound;
    }

    pHost = ResolveHostAddresses();
    /* The same search the logic tests check: host addresses in the
       resolver's order, batch after batch, so an earlier address always
       decides before a later one. */
    for (h = 0; pHost != NULL && pHost->h_addr_list[h] != NULL;) {
        HostRouter aHosts[HOST_ADDRESS_BATCH];
        uint32_t auGateway[HOST_ADDRESS_BATCH];
        int cHost = 0, iFound, iMatch;

        for (; cHost < HOST_ADDRESS_BATCH && pHost->h_addr_list[h] != NULL; h++) {
            HostRouter *pEntry = &aHosts[cHost++];
            u_long ulNet;
            CopyMemory(&ulNet, pHost->h_addr_list[h], sizeof(ulNet));
            pEntry->uAddress = (uint32_t)ntohl(ulNet);
            pEntry->iRouter = ROUTER_UNAVAILABLE;
            auGateway[cHost - 1] = 0;
        }
        /* The tables are read only when a bound range holds an address. */
        if (bAnyBound && !bTablesRead && IsRouterNeeded(aHosts, cHost, aRanges, iCount)) {
            bTables = LoadRouterTables();
            bTablesRead = 1;
        }
        for (i = 0; bTables && i < cHost; i++)
            aHosts[i].iRouter = FindRouter(aHosts[i].uAddress, aHosts[i].abRouter, &auGateway[i]);
        iMatch = FindBoundMatch(aHosts, cHost, aRanges, iCount, bFinal, &iFound);
        if (iMatch == MATCH_WAIT) {
            *puGateway = auGateway[iFound];
            return MATCH_WAIT;
        }
        if (iFound >= 0) {
            iMatchedLocation = iFound;
            StringCchCopyA(szCurrentLocation, sizeof(szCurrentLocation),
                           AutoSettings.locations[iFound].szLocationName);
            return MATCH_DECIDED;
        }
    }
    iMatchedLocation = -1;
    StringCchCopyA(szCurrentLocation, sizeof(szCurrentLocation), NO_MATCH_TEXT);
    return MATCH_DECIDED;
}

void DetectLocation(void)
{
    uint32_t uGateway;

    FindLocation(1, &uGateway);
}

/* The wait for a router: one-shot timers after these delays, about 3 s in
   all, the last of which decides whatever is known by then. */
static const UINT auWaitDelay[] = {250, 500, 750, 1500};
#define WAIT_TICKS ((int)(sizeof(auWaitDelay) / sizeof(auWaitDelay[0])))

static int bWaiting;
static int iWaitTick;
static int iWaitWhy;

/* The first listing's apply at start, handed between the enumeration worker
   and a wait at start with exchanges only (Windows 95 has no compare and
   exchange): whichever side sees the other's mark applies, and the claim
   keeps it to one of them. */
static volatile LONG lStartHold;
static volatile LONG lFirstAsked;
static volatile LONG lFirstClaimed;

BOOL TakeFirstApply(void)
{
    /* Each exchange is a full barrier, so the read after it is current. */
    InterlockedExchange(&lFirstAsked, 1);
    if (lStartHold != 0)
        return FALSE;
    return InterlockedExchange(&lFirstClaimed, 1) == 0;
}

/* Ends a hold at start; TRUE when the listing asked meanwhile and the apply
   falls to this side. */
static BOOL ReleaseStartHold(void)
{
    if (InterlockedExchange(&lStartHold, 0) == 0)
        return FALSE;
    return lFirstAsked != 0 && InterlockedExchange(&lFirstClaimed, 1) == 0;
}

static void EndWait(HWND hwnd)
{
    if (bWaiting)
        KillTimer(hwnd, TIMER_ROUTER_WAIT);
    bWaiting = 0;
    iWaitTick = 0;
}

void StopRouterWait(HWND hwnd)
{
    EndWait(hwnd);
    ReleaseStartHold();
}

/* What a decision means for the printer, by why the detection ran. */
static int ApplyOnDecision(int iWhy, BOOL bStartOwed)
{
    if (iWhy == DETECT_ON_SAVE || (AutoSettings.bSetByIP && (iWhy == DETECT_ON_CHANGE || bStartOwed)))
        return WAIT_APPLY;
    return WAIT_DECIDED;
}

BOOL DetectLocationOrWait(HWND hwnd, int iWhy)
{
    uint32_t uGateway;

    if (iWhy == DETECT_AT_START) {
        InterlockedExchange(&lStartHold, 0);
        InterlockedExchange(&lFirstAsked, 0);
        InterlockedExchange(&lFirstClaimed, 0);
    }
    if (FindLocation(0, &uGateway) == MATCH_DECIDED) {
        EndWait(hwnd);
        ReleaseStartHold();
        return TRUE;
    }
    /* A later reason outweighs an earlier one still waiting. */
    if (!bWaiting || iWhy > iWaitWhy)
        iWaitWhy = iWhy;
    if (iWhy == DETECT_AT_START)
        InterlockedExchange(&lStartHold, 1);
    if (uGateway != 0)
        AskForRouter(uGateway);
    iWaitTick = 0;
    bWaiting = SetTimer(hwnd, TIMER_ROUTER_WAIT, auWaitDelay[0], NULL) != 0;
    if (!bWaiting) {
        /* Without a timer the wait cannot go on: decide with what is known. */
        DetectLocation();
        ReleaseStartHold();
        return TRUE;
    }
    return FALSE;
}

int ContinueRouterWait(HWND hwnd)
{
    uint32_t uGateway;
    int bLast;

    /* One-shot: every tick ends its timer, and only a wait still going sets
       the next. */
    KillTimer(hwnd, TIMER_ROUTER_WAIT);
    if (!bWaiting)
        return WAIT_GOING;
    iWaitTick++;
    bLast = iWaitTick >= WAIT_TICKS;
    if (FindLocation(bLast, &uGateway) == MATCH_WAIT) {
        if (SetTimer(hwnd, TIMER_ROUTER_WAIT, auWaitDelay[iWaitTick], NULL) != 0)
            return WAIT_GOING;
        DetectLocation();
    }
    bWaiting = 0;
    iWaitTick = 0;
    return ApplyOnDecision(iWaitWhy, ReleaseStartHold());
}
