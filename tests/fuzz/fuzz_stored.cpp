// Stored settings, as a load sees them: whatever counts and text lengths the
// registry reports, texts end inside their fields and at most ten locations
// are read or in effect.
#include "fuzzcheck.h"
#include "core/records.h"
#include "locations/routerlogic.h"
#include "locations/settingslogic.h"

// What the registry reports for one text value: cbData bytes written into
// the field, or more (a text too long, where it writes up to the field).
static void LoadText(FuzzedDataProvider &fdp, char *pszField)
{
    unsigned long cbData = fdp.ConsumeBool() ? fdp.ConsumeIntegralInRange<unsigned long>(0, 300)
                                             : fdp.ConsumeIntegral<unsigned long>();
    std::string bytes = fdp.ConsumeBytesAsString(NAME_FIELD_SIZE);
    size_t cbWritten = bytes.size() < cbData ? bytes.size() : (size_t)cbData;
    memcpy(pszField, bytes.data(), cbWritten);

    std::string before(pszField, NAME_FIELD_SIZE);
    TerminateStoredText(pszField, NAME_FIELD_SIZE, cbData);
    FUZZ_CHECK(IsTerminatedIn(pszField, NAME_FIELD_SIZE));
    size_t cch = strlen(pszField);
    // A text keeps no more than its stored bytes, and what it keeps is theirs.
    FUZZ_CHECK(cch <= cbData);
    // One terminator, right after the stored bytes or at the field's end, is
    // all that is written.
    size_t iEnd = cbData < NAME_FIELD_SIZE ? (size_t)cbData : NAME_FIELD_SIZE - 1;
    FUZZ_CHECK(pszField[iEnd] == '\0');
    FUZZ_CHECK(memcmp(before.data(), pszField, iEnd) == 0);
    FUZZ_CHECK(memcmp(before.data() + iEnd + 1, pszField + iEnd + 1, NAME_FIELD_SIZE - iEnd - 1) == 0);
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    int iStoredCount = fdp.ConsumeIntegral<int>();
    unsigned long cSubKeys = fdp.ConsumeBool() ? fdp.ConsumeIntegralInRange<unsigned long>(0, 20)
                                               : fdp.ConsumeIntegral<unsigned long>();
    if (fdp.ConsumeBool())
        iStoredCount = (int)cSubKeys;

    int iCount = CountInEffect(iStoredCount, cSubKeys);
    FUZZ_CHECK(iCount >= 0 && iCount <= MAX_LOCATIONS);
    if (iStoredCount < 0 || (unsigned long)iStoredCount != cSubKeys)
        FUZZ_CHECK(iCount == 0);
    else
        FUZZ_CHECK(iCount == (iStoredCount < MAX_LOCATIONS ? iStoredCount : MAX_LOCATIONS));

    unsigned long cRead = SubKeysToRead(cSubKeys);
    FUZZ_CHECK(cRead <= MAX_LOCATIONS && cRead <= cSubKeys);
    FUZZ_CHECK(cRead == cSubKeys || cRead == MAX_LOCATIONS);

    int iCapped = CapLocationCount(iStoredCount);
    FUZZ_CHECK(iCapped <= MAX_LOCATIONS);
    FUZZ_CHECK(iCapped == iStoredCount || iCapped == MAX_LOCATIONS);

    // A load into a record of exactly its size, field by field as the
    // settings store reads them; every walk afterwards stays inside it.
    AutoSettingsRecord *pSettings = static_cast<AutoSettingsRecord *>(malloc(sizeof(AutoSettingsRecord)));
    memset(pSettings, 'X', sizeof(AutoSettingsRecord));
    pSettings->iAutoPrinterCount = iCount;
    LoadText(fdp, pSettings->szNoMatchPrinter);
    for (unsigned long i = 0; i < cRead; i++) {
        LocationRecord *pLocation = &pSettings->locations[i];
        LoadText(fdp, pLocation->szLocationName);
        LoadText(fdp, pLocation->szPrinterName);
        LoadText(fdp, pLocation->szIPStart);
        LoadText(fdp, pLocation->szIPFinish);
        // A router as hand-edited: kept only as six upper-case pairs.
        LoadText(fdp, pLocation->szGatewayMAC);
        std::string stored = pLocation->szGatewayMAC;
        NormaliseGatewayText(pLocation->szGatewayMAC, NAME_FIELD_SIZE);
        size_t cch = strlen(pLocation->szGatewayMAC);
        FUZZ_CHECK(cch == 0 || cch == GATEWAY_TEXT_SIZE - 1);
        unsigned char ab[HARDWARE_ADDRESS_LENGTH];
        FUZZ_CHECK((cch != 0) == (ParseGatewayText(stored.c_str(), ab) != 0));
        if (cch != 0) {
            char again[GATEWAY_TEXT_SIZE];
            FormatGatewayText(ab, again, sizeof(again));
            FUZZ_CHECK(strcmp(again, pLocation->szGatewayMAC) == 0);
        }
    }
    // Every location in effect was read.
    FUZZ_CHECK((unsigned long)iCount <= cRead);
    int iWalk = CapLocationCount(pSettings->iAutoPrinterCount);
    for (int i = 0; i < iWalk; i++) {
        FUZZ_CHECK(IsTerminatedIn(pSettings->locations[i].szLocationName, NAME_FIELD_SIZE));
        FUZZ_CHECK(IsTerminatedIn(pSettings->locations[i].szIPFinish, NAME_FIELD_SIZE));
    }
    free(pSettings);
    return 0;
}
