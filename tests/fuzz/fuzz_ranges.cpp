// Address ranges: a match is a range that really holds the host address that
// decided, no earlier address and no lower range was passed over, and the
// normalisations never let a loopback address reach a comparison.
#include <vector>

#include "fuzzcheck.h"
#include "core/records.h"
#include "locations/rangelogic.h"

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

    // Exactly sized copies: the walk may not read past either list.
    std::vector<uint32_t> hostExact(host), startExact(start), endExact(end);
    int iMatch = FindMatchingRange(hostExact.empty() ? nullptr : hostExact.data(), cHost,
                                   startExact.empty() ? nullptr : startExact.data(),
                                   endExact.empty() ? nullptr : endExact.data(), cRanges);
    FUZZ_CHECK(iMatch >= -1 && iMatch < cRanges);

    // The first host address that any range holds decides.
    int hDecides = -1;
    for (int h = 0; h < cHost && hDecides < 0; h++)
        for (int i = 0; i < cRanges; i++)
            if (Holds(start[i], end[i], NormaliseHostAddress(host[h])))
                hDecides = h;
    if (hDecides < 0) {
        FUZZ_CHECK(iMatch == -1);
    } else {
        uint32_t uAddress = NormaliseHostAddress(host[hDecides]);
        FUZZ_CHECK(iMatch >= 0);
        FUZZ_CHECK(Holds(start[iMatch], end[iMatch], uAddress));
        // Only "no network" stands for another address: any other match
        // holds the address as the bounds were typed.
        if (uAddress != 0)
            FUZZ_CHECK(start[iMatch] <= uAddress && uAddress <= end[iMatch]);
        for (int i = 0; i < iMatch; i++)
            FUZZ_CHECK(!Holds(start[i], end[i], uAddress));
    }
    return 0;
}
