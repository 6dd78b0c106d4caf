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
                                 (int)m.ranges.size(), m.final, &found),
                  m.result)
            << m.what;
        EXPECT_EQ(found, m.found) << m.what;
    }
}

}  // namespace
