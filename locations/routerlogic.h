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

/* The one range search: the first range, in list order, holding the first
   host address that any range takes, whose identity is empty or equal to
   that address's router. Host addresses are tried in the order given, so an
   earlier address always decides before a later one. Where the system
   cannot tell the router, ranges alone decide. Unless bFinal, a bound range
   holding an address whose router is not known yet stops the search with
   MATCH_WAIT and that host's index in *piFound; when bFinal, such a range
   does not match. MATCH_DECIDED gives the range's index, or -1, and the
   index of the host address it holds in *piHost (-1 for none; piHost may
   be NULL). */
int FindBoundMatch(const HostRouter *pHosts, int cHosts, const BoundRange *pRanges, int cRanges,
                   int bFinal, int *piFound, int *piHost);

/* Whether a row of the current location's name may switch: a row for any
   network always; a row tied to a router only behind that very router, or
   where the system cannot tell routers at all (iRouter ROUTER_UNAVAILABLE). */
int IsRowOnItsNetwork(const BoundRange *pRange, int iRouter, const unsigned char *pbRouter);

/* The rows a location's switch makes the default in turn, so that the last
   one whose printer is known decides: the matched row alone when it is tied
   to its router (another row of its name belongs to another network);
   otherwise every row named pszCurrent that is on its own network. Writes
   their indexes to piRows (room for cRows) and returns how many. */
int ChooseSwitchRows(const char *const *ppszNames, const BoundRange *pRanges, int cRows,
                     const char *pszCurrent, int iMatched, int iRouter,
                     const unsigned char *pbRouter, int *piRows);

/* How a host address reaches other networks. */
#define ROUTE_UNKNOWN           0   /* the system cannot tell (Windows 95) */
#define ROUTE_NONE              1   /* no default route on its interface */
#define ROUTE_DEFAULT           2   /* a default route on its interface */

/* One of the host's own addresses, as name resolution lists it, and its
   route: a host-only virtual adapter or a link-local address has none. */
typedef struct HostAddress {
    uint32_t uAddress;
    int iRoute;
    /* Of the best default route on its interface, when it has one. */
    uint32_t uMetric;
} HostAddress;

/* Marks each address ROUTE_DEFAULT when its interface (from the address
   rows) has a default route (0.0.0.0/0, through a gateway or not), with
   that route's lowest metric, and ROUTE_NONE otherwise. cAddresses below 0
   means the address rows were not read: then a lone address outside
   127.0.0.0/8 is taken as routed whenever any default route exists. */
void MarkHostRoutes(HostAddress *pHosts, int cHosts, const AddressRow *pAddresses, int cAddresses,
                    const RouteRow *pRoutes, int cRoutes);

/* Puts routed addresses first, lowest metric first, then the rest in the
   order given; equal ones keep their order. */
void OrderHostAddresses(HostAddress *pHosts, int cHosts);

/* Whether the host counts as off the network: its routes are known, none of
   its addresses is routed, and no range outside 127.0.0.0/8 holds any of
   them. A location made for a network without a router still matches. */
int IsOffNetwork(const HostAddress *pHosts, int cHosts, const BoundRange *pRanges, int cRanges);

/* Whether a move has settled enough to decide: some address is routed, or
   the system cannot tell routes at all. */
int HasRoutedAddress(const HostAddress *pHosts, int cHosts);

#endif
