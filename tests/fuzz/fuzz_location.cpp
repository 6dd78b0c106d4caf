// The location dialog's checks: a location they pass has a name, a printer and
// two plain dotted addresses, in order, that the sockets parser reads back as
// typed; the Auto range always passes and holds the host; the list never takes
// more than ten locations.
#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#endif

#include "fuzzcheck.h"
#include "core/records.h"
#include "core/textsafe.h"
#include "dialogs/dialoglogic.h"
#include "locations/rangelogic.h"
#include "locations/routerlogic.h"

// A bound as location detection reads it back: host order, 255.255.255.255
// for text the parser rejects.
// 0 when the program's range search puts the host address in the range.
static int MatchOneRange(uint32_t uHost, uint32_t uStart, uint32_t uEnd)
{
    HostRouter host = {uHost, ROUTER_UNAVAILABLE, {0}};
    BoundRange range = {uStart, uEnd, 0, {0}};
    int iFound = -1;
    FindBoundMatch(&host, 1, &range, 1, 1, &iFound, nullptr);
    return iFound;
}

static uint32_t ParseBound(const char *psz)
{
    return ntohl(inet_addr(psz));
}

// The standard text form, which glibc's inet_pton takes and no other: four
// decimal numbers without leading zeros. True when the dialog's parser agrees
// with it on whether the text is one, and on the address.
static bool AgreesWithStandardForm(const char *psz, bool bTaken, uint32_t uTaken)
{
    struct in_addr addr;
    bool bStandard = inet_pton(AF_INET, psz, &addr) == 1;
    return bTaken == bStandard && (!bTaken || uTaken == ntohl(addr.s_addr));
}

static void CheckFields(FuzzedDataProvider &fdp)
{
    // The dialog reads each field into 255 bytes: at most 254 characters.
    std::string name = ConsumeText(fdp, NAME_FIELD_SIZE - 1);
    std::string start = ConsumeText(fdp, NAME_FIELD_SIZE - 1);
    std::string finish = ConsumeText(fdp, NAME_FIELD_SIZE - 1);
    std::string printer = ConsumeText(fdp, NAME_FIELD_SIZE - 1);

    int iCheck = CheckLocationFields(name.c_str(), start.c_str(), finish.c_str(), printer.c_str());
    FUZZ_CHECK(iCheck >= LOCATION_FIELDS_OK && iCheck <= LOCATION_NO_PRINTER);
    FUZZ_CHECK((LocationCheckMessage(iCheck) == nullptr) == (iCheck == LOCATION_FIELDS_OK));
    // The name is judged first, whatever else is wrong.
    FUZZ_CHECK((iCheck == LOCATION_NO_NAME) == name.empty());
    // An address passes exactly when the strict standard parser takes it, and
    // both read the same number.
    uint32_t uStart = 0, uEnd = 0;
    bool bStart = ParseAddressText(start.c_str(), &uStart) != 0;
    bool bEnd = ParseAddressText(finish.c_str(), &uEnd) != 0;
    FUZZ_CHECK(AgreesWithStandardForm(start.c_str(), bStart, uStart));
    FUZZ_CHECK(AgreesWithStandardForm(finish.c_str(), bEnd, uEnd));
    if (!name.empty())
        FUZZ_CHECK((iCheck == LOCATION_BAD_RANGE) == !(bStart && bEnd && uStart <= uEnd));
    if (iCheck != LOCATION_FIELDS_OK)
        return;

    FUZZ_CHECK(!name.empty() && !printer.empty());

    // OK stores the texts as typed, whole, inside their fields.
    LocationRecord *pLocation = static_cast<LocationRecord *>(malloc(sizeof(LocationRecord)));
    StringCchCopyA(pLocation->szLocationName, NAME_FIELD_SIZE, name.c_str());
    StringCchCopyA(pLocation->szIPStart, NAME_FIELD_SIZE, start.c_str());
    StringCchCopyA(pLocation->szIPFinish, NAME_FIELD_SIZE, finish.c_str());
    StringCchCopyA(pLocation->szPrinterName, NAME_FIELD_SIZE, printer.c_str());
    FUZZ_CHECK(start == pLocation->szIPStart && finish == pLocation->szIPFinish);
    FUZZ_CHECK(name == pLocation->szLocationName && printer == pLocation->szPrinterName);

    // Detection reads the stored bounds back as the addresses typed (also
    // 255.255.255.255, the parser's failure value): a host at the typed start
    // is held unless the start is a loopback address (those count as 0) in a
    // range reaching past loopback.
    FUZZ_CHECK(ParseBound(pLocation->szIPStart) == uStart);
    FUZZ_CHECK(ParseBound(pLocation->szIPFinish) == uEnd);
    uint32_t uHost = uStart;
    if (NormaliseHostAddress(uStart) == uStart || uEnd <= LOOPBACK_LAST)
        FUZZ_CHECK(MatchOneRange(uHost, uStart, uEnd) == 0);
    free(pLocation);
}

static void CheckAutoRange(FuzzedDataProvider &fdp)
{
    uint32_t ipAddress = fdp.ConsumeIntegral<uint32_t>();
    size_t cch = fdp.ConsumeBool() ? NAME_FIELD_SIZE : fdp.ConsumeIntegralInRange<size_t>(1, 20);
    char *pszStart = static_cast<char *>(malloc(cch));
    char *pszFinish = static_cast<char *>(malloc(cch));
    ComposeAutoRange(ipAddress, pszStart, pszFinish, cch);
    FUZZ_CHECK(IsTerminatedIn(pszStart, cch) && IsTerminatedIn(pszFinish, cch));

    if (cch > ADDRESS_TEXT_LIMIT) {
        // Within the address fields' limit, and a range the checks accept.
        FUZZ_CHECK(strlen(pszStart) <= ADDRESS_TEXT_LIMIT && strlen(pszFinish) <= ADDRESS_TEXT_LIMIT);
        FUZZ_CHECK(CheckLocationFields("n", pszStart, pszFinish, "p") == LOCATION_FIELDS_OK);
        uint32_t uStart = ParseBound(pszStart), uEnd = ParseBound(pszFinish);
        uint32_t uHost = ntohl(ipAddress);
        // Any address in its dotted form passes as that address.
        struct in_addr addr;
        uint32_t uRead = 0;
        addr.s_addr = ipAddress;
        FUZZ_CHECK(ParseAddressText(inet_ntoa(addr), &uRead));
        FUZZ_CHECK(uRead == uHost);
        FUZZ_CHECK(uStart <= uEnd);
        FUZZ_CHECK((uStart & 0xFFFFFF00u) == (uHost & 0xFFFFFF00u));
        FUZZ_CHECK((uStart & 0xFFu) == 1 && (uEnd & 0xFFu) == 254);
        // The host's own address lies in it unless it is the network's first
        // or last (or a loopback one, which only "no network" holds).
        uint32_t uLast = uHost & 0xFFu;
        if (uLast >= 1 && uLast <= 254 && NormaliseHostAddress(uHost) == uHost)
            FUZZ_CHECK(MatchOneRange(uHost, uStart, uEnd) == 0);
    }
    free(pszStart);
    free(pszFinish);
}

static void CheckList(FuzzedDataProvider &fdp)
{
    // Presses of Add and Delete in any order never give an eleventh row.
    int iRows = fdp.ConsumeIntegralInRange<int>(0, MAX_LOCATIONS);
    for (int n = fdp.ConsumeIntegralInRange<int>(0, 40); n > 0; n--) {
        if (fdp.ConsumeBool()) {
            if (!IsLocationListFull(iRows)) {
                FUZZ_CHECK(CanInsertLocationRow(iRows));
                iRows++;
            }
        } else if (iRows > 0) {
            iRows--;
        }
        FUZZ_CHECK(iRows >= 0 && iRows <= MAX_LOCATIONS);
        FUZZ_CHECK(IsUsableRowCount(iRows));
    }
    int iAny = fdp.ConsumeIntegral<int>();
    FUZZ_CHECK(IsUsableRowCount(iAny) == (iAny >= 0 && iAny <= MAX_LOCATIONS));
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    switch (fdp.ConsumeIntegralInRange<int>(0, 2)) {
    case 0:
        CheckFields(fdp);
        break;
    case 1:
        CheckAutoRange(fdp);
        break;
    default:
        CheckList(fdp);
        break;
    }
    // The "no network" preset always passes and holds a loopback host.
    uint32_t uLoop = NormaliseHostAddress(0x7F000001u);
    uint32_t uStart = ParseBound(NO_NETWORK_START), uEnd = ParseBound(NO_NETWORK_FINISH);
    FUZZ_CHECK(MatchOneRange(uLoop, uStart, uEnd) == 0);
    return 0;
}
