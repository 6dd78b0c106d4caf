/* The network's identity over plain rows: which router an address reaches
   other networks through, and whether a location bound to a router matches.
   Addresses are unsigned 32-bit values in host byte order. */
#ifndef QUORVEL_ROUTERLOGIC_H
#define QUORVEL_ROUTERLOGIC_H

#include <stddef.h>
#include <stdint.h>

#define HARDWARE_ADDRESS_LENGTH 6
/* "02-00-00-00-00-0A" and its NUL. */
#define GATEWAY_TEXT_SIZE       18

/* What is known of the router behind an address. */
#define ROUTER_KNOWN            0
/* A gateway, whose hardware address the system has not learnt yet. */
#define ROUTER_NOT_YET          1
/* No gateway with a hardware address: a link without one (dial-up, most
   VPNs), or one whose address stayed unknown. */
#define ROUTER_NONE             2
/* The system cannot tell (no IP helper library): ranges alone decide. */
#define ROUTER_UNAVAILABLE      3

/* The IP helper tables' rows, reduced to what the choice reads. */
typedef struct AddressRow {
    uint32_t uAddress;
    uint32_t uIfIndex;
} AddressRow;

typedef struct RouteRow {
    uint32_t uDest;
    uint32_t uMask;
    uint32_t uNextHop;
    uint32_t uIfIndex;
    uint32_t uMetric;
} RouteRow;

/* The neighbour table's row type that marks an entry as invalid. */
#define NEIGHBOUR_TYPE_INVALID  2

typedef struct NeighbourRow {
    uint32_t uAddress;
    uint32_t uIfIndex;
    uint32_t uType;
    uint32_t cbPhysical;
    unsigned char abPhysical[8];
} NeighbourRow;

/* Reads a hardware address written as six pairs of hex digits joined by "-"
   or ":", in any case. Returns 1 and the bytes, or 0 for any other text. */
int ParseGatewayText(const char *pszText, unsigned char *pbAddress);

/* Writes six bytes as Windows shows them: upper-case pairs joined by "-". */
void FormatGatewayText(const unsigned char *pbAddress, char *pszText, size_t cchText);

/* Rewrites a stored identity in the form above, or empties it when it is not
   a hardware address: such a text means "any network". */
void NormaliseGatewayText(char *pszField, size_t cchField);

/* The router behind a host address: the address row gives its interface,
   the lowest-metric default route through a gateway on that interface gives
   the gateway (the first row of equal metric wins), and the gateway's
   neighbour row on that interface its hardware address. A row that is
   invalid, not six bytes long or all zeros is not known yet. Returns a
   ROUTER_ value; the address in pbAddress when ROUTER_KNOWN, and the
   gateway in *puGateway whenever there is one (0 otherwise). */
int ChooseRouter(uint32_t uAddress, const AddressRow *pAddresses, int cAddresses,
                 const RouteRow *pRoutes, int cRoutes, const NeighbourRow *pNeighbours,
                 int cNeighbours, unsigned char *pbAddress, uint32_t *puGateway);

/* One host address and what is known of its router. */
typedef struct HostRouter {
    uint32_t uAddress;
    int iRouter;
    unsigned char abRouter[HARDWARE_ADDRESS_LENGTH];
} HostRouter;

/* One location's range and identity; bBound is 0 for "any network". */
typedef struct BoundRange {
    uint32_t uStart;
    uint32_t uEnd;
    int bBound;
    unsigned char abRouter[HARDWARE_ADDRESS_LENGTH];
} BoundRange;

#define MATCH_DECIDED           0
/* A bound range holds an address whose router is not known yet: look again. */
#define MATCH_WAIT              1

/* Whether any bound range holds any of the host addresses: only then does
   the match need the routers. */
int IsRouterNeeded(const HostRouter *pHosts, int cHosts, const BoundRange *pRanges, int cRanges);

/* The search of FindMatchingRange, where a bound range also needs its router:
   the first range, in list order, holding the first host address that any
   range takes, whose identity is empty or equal to that address's router.
   Where the system cannot tell, ranges alone decide. Unless bFinal, a bound
   range holding an address whose router is not known yet stops the search
   with MATCH_WAIT and that host's index in *piFound; when bFinal, such a
   range does not match. MATCH_DECIDED gives the range's index, or -1. */
int FindBoundMatch(const HostRouter *pHosts, int cHosts, const BoundRange *pRanges, int cRanges,
                   int bFinal, int *piFound);

#endif
