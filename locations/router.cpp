/* The router behind an address, read from the IP helper library's address,
   route and neighbour tables. The library is loaded by its full path in the
   system folder and looked up at run time: Windows 95 and NT 4 before SP4
   have none, and there every location matches by its range alone. Nothing
   here waits on the network. */
#include "../core/textsafe.h"
#include "../core/state.h"
#include "../core/syslib.h"
#include <iphlpapi.h>
#include "locations.h"
#include "routerlogic.h"

typedef DWORD (WINAPI *GETIPADDRTABLEPROC)(PMIB_IPADDRTABLE, PULONG, BOOL);
typedef DWORD (WINAPI *GETIPFORWARDTABLEPROC)(PMIB_IPFORWARDTABLE, PULONG, BOOL);
typedef DWORD (WINAPI *GETIPNETTABLEPROC)(PMIB_IPNETTABLE, PULONG, BOOL);
typedef DWORD (WINAPI *GETTABLEPROC)(void *, PULONG, BOOL);

/* Rows past these counts are not read: no host has that many. */
#define MAX_ADDRESS_ROWS    64
#define MAX_ROUTE_ROWS      256
#define MAX_NEIGHBOUR_ROWS  512

static HMODULE hHelperLibrary;
static int bHelperTried;
static GETIPADDRTABLEPROC pfnGetIpAddrTable;
static GETIPFORWARDTABLEPROC pfnGetIpForwardTable;
static GETIPNETTABLEPROC pfnGetIpNetTable;

/* The tables as last read; main thread only. */
static AddressRow aAddressRows[MAX_ADDRESS_ROWS];
static RouteRow aRouteRows[MAX_ROUTE_ROWS];
static NeighbourRow aNeighbourRows[MAX_NEIGHBOUR_ROWS];
static int cAddressRows, cRouteRows, cNeighbourRows;

static int LoadHelperLibrary(void)
{
    if (bHelperTried)
        return pfnGetIpNetTable != NULL;
    bHelperTried = 1;
    hHelperLibrary = LoadSystemLibrary("iphlpapi.dll");
    if (hHelperLibrary == NULL)
        return 0;
    pfnGetIpAddrTable = (GETIPADDRTABLEPROC)FindLibraryFunction(hHelperLibrary, "GetIpAddrTable");
    pfnGetIpForwardTable = (GETIPFORWARDTABLEPROC)FindLibraryFunction(hHelperLibrary, "GetIpForwardTable");
    pfnGetIpNetTable = (GETIPNETTABLEPROC)FindLibraryFunction(hHelperLibrary, "GetIpNetTable");
    if (pfnGetIpAddrTable == NULL || pfnGetIpForwardTable == NULL || pfnGetIpNetTable == NULL) {
        pfnGetIpNetTable = NULL;
        return 0;
    }
    return 1;
}

int IsRouterCheckAvailable(void)
{
    return LoadHelperLibrary();
}

/* Room for each table of an ordinary host, so that one call reads it: every
   call asks the network stack anew, and a change of address waits on them. */
static DWORD adwTableBuffer[16384];

/* One table, in the shared buffer or in a heap block (*ppBlock, for the
   caller to free); NULL when it cannot be read. The table may grow between
   asking its size and reading it: then it is asked again. */
static void *ReadTable(GETTABLEPROC pfnGet, void **ppBlock)
{
    ULONG cb = sizeof(adwTableBuffer);
    DWORD dwFirst;
    int iTry;

    *ppBlock = NULL;
    dwFirst = pfnGet(adwTableBuffer, &cb, FALSE);
    if (dwFirst == NO_ERROR)
        return adwTableBuffer;
    if (dwFirst != ERROR_INSUFFICIENT_BUFFER || cb == 0)
        return NULL;
    for (iTry = 0; iTry < 3; iTry++) {
        void *pTable = HeapAlloc(GetProcessHeap(), 0, cb);
        DWORD dwResult;
        if (pTable == NULL)
            return NULL;
        dwResult = pfnGet(pTable, &cb, FALSE);
        if (dwResult == NO_ERROR) {
            *ppBlock = pTable;
            return pTable;
        }
        HeapFree(GetProcessHeap(), 0, pTable);
        if (dwResult != ERROR_INSUFFICIENT_BUFFER)
            return NULL;
    }
    return NULL;
}

static DWORD WINAPI GetAddressTable(void *pTable, PULONG pcb, BOOL bSort)
{
    return pfnGetIpAddrTable((PMIB_IPADDRTABLE)pTable, pcb, bSort);
}

static DWORD WINAPI GetRouteTable(void *pTable, PULONG pcb, BOOL bSort)
{
    return pfnGetIpForwardTable((PMIB_IPFORWARDTABLE)pTable, pcb, bSort);
}

static DWORD WINAPI GetNeighbourTable(void *pTable, PULONG pcb, BOOL bSort)
{
    return pfnGetIpNetTable((PMIB_IPNETTABLE)pTable, pcb, bSort);
}

static void FreeTable(void *pBlock)
{
    if (pBlock != NULL)
        HeapFree(GetProcessHeap(), 0, pBlock);
}

/* Whether some host address has a default route through a router on its own
   interface: only then is there a neighbour to look up. */
static int HasRouterToLookUp(void)
{
    unsigned char abRouter[HARDWARE_ADDRESS_LENGTH];
    uint32_t uGateway;
    int i;

    for (i = 0; i < cAddressRows; i++) {
        if (ChooseRouter(aAddressRows[i].uAddress, aAddressRows, cAddressRows, aRouteRows, cRouteRows,
                         NULL, 0, abRouter, &uGateway) == ROUTER_NOT_YET)
            return 1;
    }
    return 0;
}

/* Set when the route table, and the address table with it, were read. */
static int bRouteRowsRead;
static int bAddressRowsRead;

static void ReadRouteRows(void)
{
    PMIB_IPFORWARDTABLE pRoutes;
    void *pBlock;
    DWORD i;

    pRoutes = (PMIB_IPFORWARDTABLE)ReadTable(GetRouteTable, &pBlock);
    if (pRoutes == NULL)
        return;
    bRouteRowsRead = 1;
    for (i = 0; i < pRoutes->dwNumEntries && cRouteRows < MAX_ROUTE_ROWS; i++) {
        const MIB_IPFORWARDROW *pSource = &pRoutes->table[i];
        RouteRow *pRow = &aRouteRows[cRouteRows++];
        pRow->uDest = (uint32_t)ntohl(pSource->dwForwardDest);
        pRow->uMask = (uint32_t)ntohl(pSource->dwForwardMask);
        pRow->uNextHop = (uint32_t)ntohl(pSource->dwForwardNextHop);
        pRow->uIfIndex = (uint32_t)pSource->dwForwardIfIndex;
        pRow->uMetric = (uint32_t)pSource->dwForwardMetric1;
    }
    FreeTable(pBlock);
}

static void ReadAddressRows(void)
{
    PMIB_IPADDRTABLE pAddresses;
    void *pBlock;
    DWORD i;

    pAddresses = (PMIB_IPADDRTABLE)ReadTable(GetAddressTable, &pBlock);
    if (pAddresses == NULL) {
        /* Routes without their interfaces' addresses tell nothing. */
        bRouteRowsRead = 0;
        return;
    }
    bAddressRowsRead = 1;
    for (i = 0; i < pAddresses->dwNumEntries && cAddressRows < MAX_ADDRESS_ROWS; i++) {
        AddressRow *pRow = &aAddressRows[cAddressRows++];
        pRow->uAddress = (uint32_t)ntohl(pAddresses->table[i].dwAddr);
        pRow->uIfIndex = (uint32_t)pAddresses->table[i].dwIndex;
    }
    FreeTable(pBlock);
}

static void ReadNeighbourRows(void)
{
    PMIB_IPNETTABLE pNeighbours;
    void *pBlock;
    DWORD i;

    pNeighbours = (PMIB_IPNETTABLE)ReadTable(GetNeighbourTable, &pBlock);
    if (pNeighbours == NULL)
        return;
    for (i = 0; i < pNeighbours->dwNumEntries && cNeighbourRows < MAX_NEIGHBOUR_ROWS; i++) {
        const MIB_IPNETROW *pSource = &pNeighbours->table[i];
        NeighbourRow *pRow = &aNeighbourRows[cNeighbourRows++];
        pRow->uAddress = (uint32_t)ntohl(pSource->dwAddr);
        pRow->uIfIndex = (uint32_t)pSource->dwIndex;
        pRow->uType = (uint32_t)pSource->dwType;
        pRow->cbPhysical = (uint32_t)pSource->dwPhysAddrLen;
        CopyMemory(pRow->abPhysical, pSource->bPhysAddr, sizeof(pRow->abPhysical));
    }
    FreeTable(pBlock);
}

static int HasDefaultRoute(void)
{
    int i;

    for (i = 0; i < cRouteRows; i++) {
        if (aRouteRows[i].uDest == 0 && aRouteRows[i].uMask == 0)
            return 1;
    }
    return 0;
}

/* Each table costs a round of calls into the network stack, and a change of
   address waits on them: the routes come first, and a table that cannot
   change the answer is not read. A table that cannot be read stays empty:
   no address is routed, no router is known. */
int LoadRouteTables(int bAddresses)
{
    cAddressRows = cRouteRows = cNeighbourRows = 0;
    bRouteRowsRead = bAddressRowsRead = 0;
    if (!LoadHelperLibrary())
        return 0;
    ReadRouteRows();
    /* Without a default route no address is routed and none has a router. */
    if (bAddresses && HasDefaultRoute())
        ReadAddressRows();
    return 1;
}

int LoadRouterTables(void)
{
    if (!LoadRouteTables(1))
        return 0;
    /* A default route that leads to the interface itself (dial-up, most
       VPNs) has no neighbour to look up. */
    if (HasRouterToLookUp())
        ReadNeighbourRows();
    return 1;
}

int MarkRoutesFromTables(HostAddress *pHosts, int cHosts)
{
    int h;

    /* A route table that could not be read tells nothing: no address may
       count as off the network for it. */
    if (!bRouteRowsRead) {
        for (h = 0; h < cHosts; h++)
            pHosts[h].iRoute = ROUTE_UNKNOWN;
        return 0;
    }
    MarkHostRoutes(pHosts, cHosts, aAddressRows, bAddressRowsRead ? cAddressRows : -1, aRouteRows,
                   cRouteRows);
    return 1;
}

int FindRouter(uint32_t uAddress, unsigned char *pbRouter, uint32_t *puGateway)
{
    return ChooseRouter(uAddress, aAddressRows, cAddressRows, aRouteRows, cRouteRows,
                        aNeighbourRows, cNeighbourRows, pbRouter, puGateway);
}

int ReadRouterText(uint32_t uAddress, int bAsk, char *pszText, size_t cchText)
{
    unsigned char abRouter[HARDWARE_ADDRESS_LENGTH];
    uint32_t uGateway;
    int iRouter;

    pszText[0] = '\0';
    if (!LoadRouterTables())
        return ROUTER_UNAVAILABLE;
    iRouter = FindRouter(uAddress, abRouter, &uGateway);
    if (iRouter == ROUTER_KNOWN)
        FormatGatewayText(abRouter, pszText, cchText);
    else if (iRouter == ROUTER_NOT_YET && bAsk)
        AskForRouter(uGateway);  /* so that a look a moment later finds it */
    return iRouter;
}

void AskForRouter(uint32_t uGateway)
{
    SOCKET s;
    u_long ulNonBlocking = 1;
    struct sockaddr_in to;

    /* The system learns a neighbour's hardware address when it has something
       to send there: one empty datagram to the discard port, sent without
       waiting, is enough. */
    s = socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP);
    if (s == INVALID_SOCKET)
        return;
    if (ioctlsocket(s, FIONBIO, &ulNonBlocking) == 0) {
        ZeroMemory(&to, sizeof(to));
        to.sin_family = AF_INET;
        to.sin_port = htons(9);
        to.sin_addr.s_addr = htonl((u_long)uGateway);
        sendto(s, "", 0, 0, (const struct sockaddr *)&to, sizeof(to));
    }
    closesocket(s);
}
