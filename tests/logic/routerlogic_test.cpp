// The router behind an address, read from address, route and neighbour rows,
// and the match of locations that require one.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "locations/routerlogic.h"

namespace {

uint32_t A(int a, int b, int c, int d)
{
    return (uint32_t)a << 24 | (uint32_t)b << 16 | (uint32_t)c << 8 | (uint32_t)d;
}

NeighbourRow Neighbour(uint32_t address, uint32_t ifIndex, uint32_t type, uint32_t length,
                       unsigned char last)
{
    NeighbourRow row = {address, ifIndex, type, length, {0x02, 0, 0, 0, 0, last, 0x77, 0x77}};
    return row;
}

const uint32_t kDynamic = 3, kStatic = 4, kInvalid = NEIGHBOUR_TYPE_INVALID;

TEST(Routers, TheIdentityChoiceAndTheMatch)
{
    // Two interfaces: 1 holds 192.168.1.10, 2 holds 10.0.0.5; 172.16.0.9 is
    // a dial-up link (interface 3) whose default route points at itself.
    std::vector<AddressRow> addresses = {
        {A(192, 168, 1, 10), 1}, {A(10, 0, 0, 5), 2}, {A(172, 16, 0, 9), 3}};
    const uint32_t gw1 = A(192, 168, 1, 1), gw1b = A(192, 168, 1, 254), gw2 = A(10, 0, 0, 1);

    struct ChoiceCase {
        const char *what;
        uint32_t host;
        std::vector<RouteRow> routes;
        std::vector<NeighbourRow> neighbours;
        int expected;
        uint32_t gateway;
        unsigned char last;  // last byte of the router's address when known
    } cases[] = {
        {"known on its own interface", A(192, 168, 1, 10),
         {{0, 0, gw2, 2, 1}, {0, 0, gw1, 1, 10}},
         {Neighbour(gw1, 2, kDynamic, 6, 0x0B), Neighbour(gw1, 1, kDynamic, 6, 0x0A)},
         ROUTER_KNOWN, gw1, 0x0A},
        {"lowest metric wins", A(192, 168, 1, 10),
         {{0, 0, gw1, 1, 20}, {0, 0, gw1b, 1, 5}},
         {Neighbour(gw1, 1, kDynamic, 6, 0x0A), Neighbour(gw1b, 1, kStatic, 6, 0x0B)},
         ROUTER_KNOWN, gw1b, 0x0B},
        {"of equal metrics the first wins", A(192, 168, 1, 10),
         {{0, 0, gw1b, 1, 5}, {0, 0, gw1, 1, 5}},
         {Neighbour(gw1, 1, kDynamic, 6, 0x0A), Neighbour(gw1b, 1, kDynamic, 6, 0x0B)},
         ROUTER_KNOWN, gw1b, 0x0B},
        {"a route that is not the default is no router", A(192, 168, 1, 10),
         {{A(192, 168, 1, 0), A(255, 255, 255, 0), gw1, 1, 1}},
         {Neighbour(gw1, 1, kDynamic, 6, 0x0A)}, ROUTER_NONE, 0, 0},
        {"no neighbour row yet", A(10, 0, 0, 5), {{0, 0, gw2, 2, 1}}, {}, ROUTER_NOT_YET, gw2, 0},
        {"invalid row", A(10, 0, 0, 5), {{0, 0, gw2, 2, 1}},
         {Neighbour(gw2, 2, kInvalid, 6, 0x0C)}, ROUTER_NOT_YET, gw2, 0},
        {"unanswered: all zeros", A(10, 0, 0, 5), {{0, 0, gw2, 2, 1}},
         {{gw2, 2, kDynamic, 6, {0}}}, ROUTER_NOT_YET, gw2, 0},
        {"short row", A(10, 0, 0, 5), {{0, 0, gw2, 2, 1}},
         {Neighbour(gw2, 2, kDynamic, 4, 0x0C)}, ROUTER_NOT_YET, gw2, 0},
        {"dial-up link", A(172, 16, 0, 9), {{0, 0, A(172, 16, 0, 9), 3, 1}, {0, 0, 0, 3, 1}}, {},
         ROUTER_NONE, 0, 0},
        {"address not in the table", A(192, 168, 7, 7), {{0, 0, gw1, 1, 1}},
         {Neighbour(gw1, 1, kDynamic, 6, 0x0A)}, ROUTER_NONE, 0, 0},
    };
    for (const ChoiceCase &c : cases) {
        unsigned char router[HARDWARE_ADDRESS_LENGTH] = {0};
        uint32_t gateway = 99;
        int got = ChooseRouter(c.host, addresses.data(), (int)addresses.size(), c.routes.data(),
                               (int)c.routes.size(), c.neighbours.data(), (int)c.neighbours.size(),
                               router, &gateway);
        EXPECT_EQ(got, c.expected) << c.what;
        EXPECT_EQ(gateway, c.gateway) << c.what;
        if (c.expected == ROUTER_KNOWN) {
            const unsigned char want[HARDWARE_ADDRESS_LENGTH] = {0x02, 0, 0, 0, 0, c.last};
            EXPECT_EQ(memcmp(router, want, sizeof(want)), 0) << c.what;
        }
    }

    // Stored identities: "-" or ":" in either case; anything else is none.
    struct TextCase {
        const char *stored, *normalised;
    } texts[] = {
        {"02-00-00-00-00-0A", "02-00-00-00-00-0A"}, {"02:00:00:00:00:0a", "02-00-00-00-00-0A"},
        {"aB-cD-eF-01-23-45", "AB-CD-EF-01-23-45"}, {"02-00-00-00-00", ""},
        {"02-00-00-00-00-0A-", ""}, {"02-00:00-00-00-0A", ""}, {"02-00-00-00-00-0G", ""},
        {"2-00-00-00-00-0A", ""}, {"", ""}, {" 02-00-00-00-00-0A", ""},
    };
    for (const TextCase &t : texts) {
        char field[64];
        snprintf(field, sizeof(field), "%s", t.stored);
        NormaliseGatewayText(field, sizeof(field));
        EXPECT_STREQ(field, t.normalised) << t.stored;
    }

    // The match: a bound location needs its router; "unknown" waits until
    // the last look, where it does not match; "unavailable" lets ranges decide.
    const uint32_t home = A(192, 168, 1, 10);
    BoundRange homeA = {A(192, 168, 1, 1), A(192, 168, 1, 254), 1, {0x02, 0, 0, 0, 0, 0x0A}};
    BoundRange homeB = {A(192, 168, 1, 1), A(192, 168, 1, 254), 1, {0x02, 0, 0, 0, 0, 0x0B}};
    BoundRange anyHome = {A(192, 168, 1, 1), A(192, 168, 1, 254), 0, {0}};
    BoundRange lab = {A(10, 0, 0, 0), A(10, 255, 255, 255), 0, {0}};
    struct MatchCase {
        const char *what;
        std::vector<HostRouter> hosts;
        std::vector<BoundRange> ranges;
        int final;
        int result, found;
    } matches[] = {
        {"router A", {{home, ROUTER_KNOWN, {0x02, 0, 0, 0, 0, 0x0A}}}, {homeA, homeB}, 0,
         MATCH_DECIDED, 0},
        {"router B", {{home, ROUTER_KNOWN, {0x02, 0, 0, 0, 0, 0x0B}}}, {homeA, homeB}, 0,
         MATCH_DECIDED, 1},
        {"another router falls to the unbound row", {{home, ROUTER_KNOWN, {0x02, 0, 0, 0, 0, 0x0C}}},
         {homeA, anyHome}, 0, MATCH_DECIDED, 1},
        {"list order: an unbound row first wins", {{home, ROUTER_KNOWN, {0x02, 0, 0, 0, 0, 0x0A}}},
         {anyHome, homeA}, 0, MATCH_DECIDED, 0},
        {"unknown waits", {{home, ROUTER_NOT_YET, {0}}}, {homeA, anyHome}, 0, MATCH_WAIT, 0},
        {"unknown at the last look", {{home, ROUTER_NOT_YET, {0}}}, {homeA, anyHome}, 1,
         MATCH_DECIDED, 1},
        {"no router never matches a bound row", {{home, ROUTER_NONE, {0}}}, {homeA}, 0,
         MATCH_DECIDED, -1},
        {"unavailable: the range decides", {{home, ROUTER_UNAVAILABLE, {0}}}, {homeB, homeA}, 0,
         MATCH_DECIDED, 0},
        {"a later address counts when the first has no match",
         {{home, ROUTER_NONE, {0}}, {A(10, 1, 1, 1), ROUTER_NONE, {0}}}, {homeA, lab}, 0,
         MATCH_DECIDED, 1},
        {"the waiting host's index", {{A(10, 1, 1, 1), ROUTER_NOT_YET, {0}}, {home, ROUTER_NOT_YET, {0}}},
         {homeA}, 0, MATCH_WAIT, 1},
    };
    for (const MatchCase &m : matches) {
        int found = 99;
        EXPECT_EQ(FindBoundMatch(m.hosts.data(), (int)m.hosts.size(), m.ranges.data(),
                                 (int)m.ranges.size(), m.final, &found, nullptr),
                  m.result)
            << m.what;
        EXPECT_EQ(found, m.found) << m.what;
    }
}

// Which addresses say where the host is: routed ones first, by metric, then
// the rest as name resolution listed them; none routed and none in a range
// (ranges in 127.0.0.0/8 aside) is off the network.
TEST(HostAddresses, RoutedFirstAndOffTheNetworkWhenOnlyUnroutedAddressesAreLeft)
{
    const uint32_t wifi = A(192, 168, 1, 10), vEthernet = A(172, 29, 112, 1),
                   hostOnly = A(192, 168, 56, 1), linkLocal = A(169, 254, 7, 7),
                   lo = A(127, 0, 0, 1), cable = A(10, 0, 0, 5);
    // Interfaces: 1 Wi-Fi, 2 a Hyper-V switch, 3 VirtualBox host-only, 4 a
    // card with a failed DHCP, 5 loopback, 6 a cable.
    std::vector<AddressRow> addresses = {{wifi, 1},      {vEthernet, 2}, {hostOnly, 3},
                                         {linkLocal, 4}, {lo, 5},        {cable, 6}};
    const RouteRow wifiDefault = {0, 0, A(192, 168, 1, 1), 1, 25};
    const RouteRow cableDefault = {0, 0, A(10, 0, 0, 1), 6, 10};
    const RouteRow dialUp = {0, 0, 0, 6, 10};  // a default route without a gateway
    BoundRange noNetwork = {A(127, 0, 0, 1), A(127, 0, 0, 254), 0, {0}};
    BoundRange home = {A(192, 168, 1, 1), A(192, 168, 1, 254), 0, {0}};
    BoundRange lab = {A(169, 254, 0, 0), A(169, 254, 255, 255), 0, {0}};

    struct Case {
        const char *what;
        std::vector<uint32_t> resolved;  // in the resolver's order
        std::vector<RouteRow> routes;
        int addressRows;                 // -1: the address table was not read
        std::vector<BoundRange> ranges;
        std::vector<uint32_t> ordered;
        bool offNetwork;
    } cases[] = {
        {"the resolver lists the virtual adapter first", {vEthernet, wifi}, {wifiDefault}, 6,
         {home}, {wifi, vEthernet}, false},
        {"lowest metric first", {wifi, cable}, {wifiDefault, cableDefault}, 6, {home},
         {cable, wifi}, false},
        {"a default route without a gateway counts", {hostOnly, cable}, {dialUp}, 6, {home},
         {cable, hostOnly}, false},
        {"a host-only adapter left alone", {hostOnly, lo}, {}, 6, {home, noNetwork},
         {hostOnly, lo}, true},
        {"Hyper-V and a failed DHCP", {vEthernet, linkLocal}, {}, 6, {noNetwork},
         {vEthernet, linkLocal}, true},
        {"a location for a network without a router", {linkLocal}, {}, 6, {home, lab},
         {linkLocal}, false},
        {"a lone address, address table not read", {lo, wifi}, {wifiDefault}, -1, {},
         {wifi, lo}, false},
        {"no address at all is not off the network", {}, {}, 6, {}, {}, false},
    };
    for (const Case &c : cases) {
        std::vector<HostAddress> hosts;
        for (uint32_t a : c.resolved)
            hosts.push_back({a, ROUTE_UNKNOWN, 0});
        MarkHostRoutes(hosts.data(), (int)hosts.size(), addresses.data(),
                       c.addressRows < 0 ? -1 : (int)addresses.size(), c.routes.data(),
                       (int)c.routes.size());
        OrderHostAddresses(hosts.data(), (int)hosts.size());
        std::vector<uint32_t> got;
        for (const HostAddress &h : hosts)
            got.push_back(h.uAddress);
        EXPECT_EQ(got, c.ordered) << c.what;
        EXPECT_EQ(IsOffNetwork(hosts.data(), (int)hosts.size(), c.ranges.data(), (int)c.ranges.size()) != 0,
                  c.offNetwork)
            << c.what;
        EXPECT_EQ(HasRoutedAddress(hosts.data(), (int)hosts.size()) != 0, !c.routes.empty()) << c.what;
    }

    // Where the system cannot tell routes, nothing is off the network and a
    // move never waits to settle.
    HostAddress unknown = {hostOnly, ROUTE_UNKNOWN, 0};
    EXPECT_FALSE(IsOffNetwork(&unknown, 1, &noNetwork, 1));
    EXPECT_TRUE(HasRoutedAddress(&unknown, 1));
}

}  // namespace
