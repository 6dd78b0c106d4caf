// Address ranges and checks on stored settings.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "locations/rangelogic.h"
#include "locations/routerlogic.h"
#include "locations/settingslogic.h"

namespace {

uint32_t A(int a, int b, int c, int d)
{
    return (uint32_t)a << 24 | (uint32_t)b << 16 | (uint32_t)c << 8 | (uint32_t)d;
}

const uint32_t kNone = 0xFFFFFFFFu;  // what a bound that does not parse becomes

struct Range {
    uint32_t start, end;
};

// The program's one range search, with rows that require no router.
int Match(std::vector<uint32_t> host, std::vector<Range> ranges)
{
    std::vector<HostRouter> hosts;
    std::vector<BoundRange> bounds;
    for (uint32_t h : host)
        hosts.push_back({h, ROUTER_NONE, {0}});
    for (const Range &r : ranges)
        bounds.push_back({r.start, r.end, 0, {0}});
    int found = 99;
    EXPECT_EQ(FindBoundMatch(hosts.data(), (int)hosts.size(), bounds.data(), (int)bounds.size(), 0,
                             &found, nullptr),
              MATCH_DECIDED);
    return found;
}

TEST(Ranges, TheFirstHostAddressDecidesBeforeListOrder)
{
    Range office = {A(192, 168, 0, 1), A(192, 168, 0, 254)};
    Range lab = {A(10, 0, 0, 0), A(10, 255, 255, 255)};
    EXPECT_EQ(Match({A(10, 1, 2, 3), A(192, 168, 0, 5)}, {office, lab}), 1);
    EXPECT_EQ(Match({A(192, 168, 0, 5), A(10, 1, 2, 3)}, {office, lab}), 0);
    // A later address counts only when no range holds an earlier one.
    EXPECT_EQ(Match({A(172, 16, 0, 1), A(10, 1, 2, 3)}, {office, lab}), 1);
}

TEST(Ranges, OfOverlappingRangesTheLowestIndexWins)
{
    EXPECT_EQ(Match({A(10, 1, 2, 3)}, {{A(10, 0, 0, 0), A(10, 255, 255, 255)},
                                        {A(10, 1, 2, 0), A(10, 1, 2, 255)}}), 0);
}

TEST(Ranges, LoopbackHostsMatchOnlyLoopbackAndZeroRanges)
{
    uint32_t lo = A(127, 0, 0, 1);
    EXPECT_EQ(Match({lo}, {{A(127, 0, 0, 1), A(127, 0, 0, 254)}}), 0);  // "no network"
    EXPECT_EQ(Match({lo}, {{A(127, 0, 0, 5), A(127, 0, 0, 5)}}), 0);
    EXPECT_EQ(Match({A(127, 9, 9, 9)}, {{A(127, 0, 0, 1), A(127, 0, 0, 254)}}), 0);
    EXPECT_EQ(Match({lo}, {{A(0, 0, 0, 0), A(10, 0, 0, 0)}}), 0);
    EXPECT_EQ(Match({A(0, 0, 0, 0)}, {{A(127, 0, 0, 1), A(127, 0, 0, 254)}}), 0);
    EXPECT_EQ(Match({lo}, {{A(0, 0, 0, 1), A(126, 255, 255, 255)}}), -1);
    EXPECT_EQ(Match({lo}, {{A(1, 0, 0, 0), A(100, 0, 0, 0)}}), -1);
    // No other address ever falls into a "no network" range.
    EXPECT_EQ(Match({A(10, 1, 2, 3)}, {{A(127, 0, 0, 1), A(127, 0, 0, 254)}}), -1);
}

TEST(Ranges, ARangeReachingPastLoopbackIsNotNormalised)
{
    Range wide = {A(127, 0, 0, 1), A(192, 168, 1, 1)};
    EXPECT_EQ(Match({A(128, 0, 0, 1)}, {wide}), 0);
    EXPECT_EQ(Match({A(192, 168, 1, 1)}, {wide}), 0);
    EXPECT_EQ(Match({A(127, 0, 0, 1)}, {wide}), -1);  // loopback became 0
    EXPECT_EQ(Match({A(192, 168, 1, 2)}, {wide}), -1);
}

TEST(Ranges, AddressesCompareUnsignedAndBoundsAreInclusive)
{
    Range office = {A(192, 168, 0, 1), A(192, 168, 0, 254)};
    EXPECT_EQ(Match({A(192, 168, 0, 10)}, {office}), 0);
    EXPECT_EQ(Match({A(10, 0, 0, 1)}, {office}), -1);
    EXPECT_EQ(Match({A(192, 168, 0, 1)}, {office}), 0);
    EXPECT_EQ(Match({A(192, 168, 0, 254)}, {office}), 0);
    EXPECT_EQ(Match({A(192, 168, 0, 255)}, {office}), -1);
    EXPECT_EQ(Match({A(200, 1, 1, 1)}, {{A(200, 1, 1, 1), A(200, 1, 1, 1)}}), 0);
    EXPECT_EQ(Match({A(255, 255, 255, 254)}, {{A(128, 0, 0, 0), A(255, 255, 255, 255)}}), 0);
}

TEST(Ranges, AReversedRangeHoldsNothingUnlessItNormalisesToZero)
{
    EXPECT_EQ(Match({A(10, 0, 0, 100)}, {{A(10, 0, 0, 200), A(10, 0, 0, 10)}}), -1);
    EXPECT_EQ(Match({A(10, 0, 0, 200)}, {{A(10, 0, 0, 200), A(10, 0, 0, 10)}}), -1);
    Range reversed = {A(192, 168, 0, 1), A(10, 0, 0, 1)};
    EXPECT_EQ(Match({A(127, 0, 0, 1)}, {reversed}), 0);
    EXPECT_EQ(Match({A(50, 0, 0, 1)}, {reversed}), -1);
}

TEST(Ranges, BoundsThatDoNotParse)
{
    // Start unparsable with an end inside loopback: 0 to 0.
    EXPECT_EQ(Match({A(127, 0, 0, 1)}, {{kNone, A(127, 0, 0, 254)}}), 0);
    // Start unparsable with any higher end: only 255.255.255.255.
    EXPECT_EQ(Match({A(192, 168, 5, 17)}, {{kNone, A(192, 168, 5, 254)}}), -1);
    EXPECT_EQ(Match({kNone}, {{kNone, A(192, 168, 5, 254)}}), -1);
    EXPECT_EQ(Match({kNone}, {{kNone, kNone}}), 0);
    // End unparsable: the range reaches to the top.
    EXPECT_EQ(Match({A(192, 168, 5, 17)}, {{A(192, 168, 0, 0), kNone}}), 0);
}

TEST(Ranges, NoLocationsOrNoAddressesNeverMatch)
{
    EXPECT_EQ(Match({A(10, 1, 2, 3)}, {}), -1);
    EXPECT_EQ(Match({}, {{0, kNone}}), -1);
}

TEST(StoredSettings, CountInEffectAgreesWithTheSubkeysAndStaysWithinTen)
{
    EXPECT_EQ(CountInEffect(0, 0), 0);
    EXPECT_EQ(CountInEffect(2, 2), 2);
    EXPECT_EQ(CountInEffect(2, 3), 0);
    EXPECT_EQ(CountInEffect(3, 2), 0);
    EXPECT_EQ(CountInEffect(10, 10), 10);
    EXPECT_EQ(CountInEffect(11, 11), 10);
    EXPECT_EQ(CountInEffect(12, 11), 0);
    EXPECT_EQ(CountInEffect(-1, 0xFFFFFFFFul), 0);
    EXPECT_EQ(SubKeysToRead(3), 3u);
    EXPECT_EQ(SubKeysToRead(10), 10u);
    EXPECT_EQ(SubKeysToRead(40), 10u);
}

std::string Terminated(const std::string &stored, size_t cbData)
{
    char field[255];
    memset(field, 'X', sizeof(field));
    memcpy(field, stored.data(), std::min(stored.size(), sizeof(field)));
    TerminateStoredText(field, sizeof(field), (unsigned long)cbData);
    EXPECT_NE(memchr(field, '\0', sizeof(field)), nullptr);
    return field;
}

TEST(StoredSettings, TextsEndInsideTheirField)
{
    EXPECT_EQ(Terminated(std::string("Office\0", 7), 7), "Office");
    EXPECT_EQ(Terminated("Office", 6), "Office");  // stored without its NUL
    EXPECT_EQ(Terminated("", 0), "");
    EXPECT_EQ(Terminated(std::string(255, 'a'), 255), std::string(254, 'a'));
    EXPECT_EQ(Terminated(std::string(254, 'a') + '\0', 255), std::string(254, 'a'));
}

}  // namespace
