// Address ranges and the one range search: a match is a row that really holds
// the host address that decided (behind the router it requires), no earlier
// address and no lower row was passed over, and the normalisations never let
// a loopback address reach a comparison.
#include <cstring>
#include <vector>

#include "fuzzcheck.h"
#include "core/records.h"
#include "locations/rangelogic.h"
#include "locations/routerlogic.h"

static bool Holds(uint32_t uStart, uint32_t uEnd, uint32_t uAddress)
{
    NormaliseRange(&uStart, &uEnd);
    return uStart <= uAddress && uAddress <= uEnd;
}

// Most interesting values lie near the loopback block and the ends.
static uint32_t ConsumeAddress(FuzzedDataProvider &fdp)
{
    static const uint32_t kNear[] = {0u, LOOPBACK_FIRST, LOOPBACK_LAST, 0xFFFFFFFFu,
                                     0x7F000001u, 0x7F0000FEu, 0x80000000u, 0xC0A80001u};
    uint32_t u = fdp.ConsumeIntegral<uint32_t>();
    if (fdp.ConsumeBool())
        u = fdp.PickValueInArray(kNear) + (u % 5) - 2;
    return u;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    int cHost = fdp.ConsumeIntegralInRange<int>(0, 6);
    int cRanges = fdp.ConsumeIntegralInRange<int>(0, MAX_LOCATIONS);
    std::vector<uint32_t> host, start, end;
    for (int h = 0; h < cHost; h++)
        host.push_back(ConsumeAddress(fdp));
    for (int i = 0; i < cRanges; i++) {
        start.push_back(ConsumeAddress(fdp));
        end.push_back(ConsumeAddress(fdp));
    }

    for (uint32_t u : host) {
        uint32_t n = NormaliseHostAddress(u);
        FUZZ_CHECK(n < LOOPBACK_FIRST || n > LOOPBACK_LAST);
        FUZZ_CHECK(n == u || n == 0);
    }
    for (int i = 0; i < cRanges; i++) {
        uint32_t s = start[i], e = end[i];
        NormaliseRange(&s, &e);
        bool bNoNetwork = start[i] >= LOOPBACK_FIRST && end[i] <= LOOPBACK_LAST;
        FUZZ_CHECK(bNoNetwork ? (s == 0 && e == 0) : (s == start[i] && e == end[i]));
        // A "no network" range holds no address but the normalised loopback.
        if (bNoNetwork)
            for (uint32_t u : host)
                FUZZ_CHECK(Holds(start[i], end[i], NormaliseHostAddress(u)) ==
                           (NormaliseHostAddress(u) == 0));
    }

    // The program's one range search, over the same addresses, with rows
    // that may require a router and hosts whose router is in any state.
    std::vector<HostRouter> hosts(cHost);
    std::vector<BoundRange> ranges(cRanges);
    for (int h = 0; h < cHost; h++) {
        hosts[h].uAddress = host[h];
        hosts[h].iRouter = fdp.ConsumeIntegralInRange<int>(ROUTER_KNOWN, ROUTER_UNAVAILABLE);
        memset(hosts[h].abRouter, 0, sizeof(hosts[h].abRouter));
        hosts[h].abRouter[5] = fdp.ConsumeIntegralInRange<unsigned char>(0, 2);
    }
    for (int i = 0; i < cRanges; i++) {
        ranges[i].uStart = start[i];
        ranges[i].uEnd = end[i];
        ranges[i].bBound = fdp.ConsumeBool();
        memset(ranges[i].abRouter, 0, sizeof(ranges[i].abRouter));
        ranges[i].abRouter[5] = fdp.ConsumeIntegralInRange<unsigned char>(0, 2);
    }
    int bFinal = fdp.ConsumeBool();
    auto qualifies = [&](int h, int i) {
        const HostRouter &hr = hosts[h];
        const BoundRange &r = ranges[i];
        if (!Holds(r.uStart, r.uEnd, NormaliseHostAddress(hr.uAddress)))
            return false;
        return !r.bBound || hr.iRouter == ROUTER_UNAVAILABLE ||
               (hr.iRouter == ROUTER_KNOWN && hr.abRouter[5] == r.abRouter[5]);
    };

    // Exactly sized copies: the walk may not read past either list.
    std::vector<HostRouter> hostExact(hosts);
    std::vector<BoundRange> rangeExact(ranges);
    int iFound = 99, iHost = 99;
    int iResult = FindBoundMatch(hostExact.empty() ? nullptr : hostExact.data(), cHost,
                                 rangeExact.empty() ? nullptr : rangeExact.data(), cRanges, bFinal,
                                 &iFound, &iHost);
    if (iResult == MATCH_WAIT) {
        // Only before the last look, for a host whose router is not known yet.
        FUZZ_CHECK(!bFinal && iFound >= 0 && iFound < cHost && iHost == -1);
        FUZZ_CHECK(hosts[iFound].iRouter == ROUTER_NOT_YET);
        return 0;
    }
    FUZZ_CHECK(iResult == MATCH_DECIDED);
    FUZZ_CHECK(iFound >= -1 && iFound < cRanges);
    FUZZ_CHECK((iFound < 0) == (iHost < 0));

    // The first host address that any row takes decides, and of its rows
    // the lowest one.
    int hDecides = -1, iDecides = -1;
    for (int h = 0; h < cHost && hDecides < 0; h++)
        for (int i = 0; i < cRanges && hDecides < 0; i++)
            if (qualifies(h, i)) {
                hDecides = h;
                iDecides = i;
            }
    FUZZ_CHECK(iFound == iDecides && iHost == hDecides);
    if (iFound >= 0) {
        uint32_t uAddress = NormaliseHostAddress(host[iHost]);
        // Only "no network" stands for another address: any other match
        // holds the address as the bounds were typed.
        if (uAddress != 0)
            FUZZ_CHECK(start[iFound] <= uAddress && uAddress <= end[iFound]);
    }
    return 0;
}
