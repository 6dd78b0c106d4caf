/* Location detection: which configured location holds one of the host's own
   IPv4 addresses. Any failure leaves "No match". */
#include "../core/textsafe.h"
#include "../core/state.h"
#include "locations.h"
#include "rangelogic.h"
#include "settingslogic.h"

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

void DetectLocation(void)
{
    const struct hostent *pHost;
    uint32_t auStart[MAX_LOCATIONS], auEnd[MAX_LOCATIONS];
    int i, iCount, h;

    StringCchCopyA(szCurrentLocation, sizeof(szCurrentLocation), NO_MATCH_TEXT);
    pHost = ResolveHostAddresses();
    if (pHost == NULL)
        return;

    iCount = CapLocationCount(AutoSettings.iAutoPrinterCount);
    if (iCount < 0)
        iCount = 0;
    for (i = 0; i < iCount; i++) {
        auStart[i] = ParseBound(AutoSettings.locations[i].szIPStart);
        auEnd[i] = ParseBound(AutoSettings.locations[i].szIPFinish);
    }

    /* The same search the logic tests check: host addresses in the
       resolver's order, batch after batch, so an earlier address always
       decides before a later one. */
    for (h = 0; pHost->h_addr_list[h] != NULL;) {
        uint32_t auHost[HOST_ADDRESS_BATCH];
        int cHost = 0, iMatch;

        for (; cHost < HOST_ADDRESS_BATCH && pHost->h_addr_list[h] != NULL; h++) {
            u_long ulNet;
            CopyMemory(&ulNet, pHost->h_addr_list[h], sizeof(ulNet));
            auHost[cHost++] = (uint32_t)ntohl(ulNet);
        }
        iMatch = FindMatchingRange(auHost, cHost, auStart, auEnd, iCount);
        if (iMatch >= 0) {
            StringCchCopyA(szCurrentLocation, sizeof(szCurrentLocation),
                           AutoSettings.locations[iMatch].szLocationName);
            return;
        }
    }
}
