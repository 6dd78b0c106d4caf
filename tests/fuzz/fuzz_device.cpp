// The windows/device profile entry: composed whole or not at all, read back
// as the printer's name; table rows and counts stay within the table.
#include "fuzzcheck.h"
#include "printers/printerlogic.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    size_t cchEntry = fdp.ConsumeBool() ? DEVICE_ENTRY_SIZE : fdp.ConsumeIntegralInRange<size_t>(0, 450);
    unsigned long dwReturned = fdp.ConsumeIntegral<unsigned long>();
    unsigned long dwPlatformId = fdp.ConsumeIntegral<unsigned long>();
    unsigned long dwMajor = fdp.ConsumeIntegral<unsigned long>();
    std::string name = ConsumeText(fdp, 300);
    std::string driver = ConsumeText(fdp, 300);
    std::string port = ConsumeText(fdp, 300);

    // Exactly cchEntry bytes (at least one, so the pointer is a real one).
    char *pszEntry = static_cast<char *>(malloc(cchEntry ? cchEntry : 1));
    memset(pszEntry, 'X', cchEntry ? cchEntry : 1);
    int bComposed = ComposeDeviceEntry(pszEntry, cchEntry, name.c_str(), driver.c_str(),
                                       port.c_str());
    std::string whole = name + "," + driver + "," + port;
    if (bComposed) {
        FUZZ_CHECK(whole.size() < cchEntry);
        FUZZ_CHECK(IsTerminatedIn(pszEntry, cchEntry));
        FUZZ_CHECK(whole == pszEntry);
        // Reading the entry back yields the name (spooler names hold no comma).
        CutAtFirstComma(pszEntry);
        if (name.find(',') == std::string::npos)
            FUZZ_CHECK(name == pszEntry);
    } else {
        // A cut entry would name a wrong driver or port: nothing is kept.
        FUZZ_CHECK(whole.size() >= cchEntry);
        if (cchEntry > 0)
            FUZZ_CHECK(pszEntry[0] == '\0');
    }
    free(pszEntry);

    // Any profile value is cut to its text before the first comma.
    std::string value = name + driver;
    std::string cut(value);
    CutAtFirstComma(&cut[0]);
    std::string cutText(cut.c_str());
    FUZZ_CHECK(cutText == value.substr(0, value.find(',')));

    // A spooler name of any length lands in its row, terminated, cut at 254.
    char *pszRow = static_cast<char *>(malloc(NAME_FIELD_SIZE));
    CopyPrinterName(pszRow, name.c_str());
    FUZZ_CHECK(IsTerminatedIn(pszRow, NAME_FIELD_SIZE));
    FUZZ_CHECK(name.substr(0, NAME_FIELD_SIZE - 1) == pszRow);
    free(pszRow);

    int iRows = CapPrinterCount(dwReturned);
    FUZZ_CHECK(iRows >= 0 && iRows <= MAX_PRINTERS);
    FUZZ_CHECK(iRows == MAX_PRINTERS || (unsigned long)iRows == dwReturned);

    int iClass = ClassifyPlatform(dwPlatformId, dwMajor);
    FUZZ_CHECK(iClass >= 1 && iClass <= 3);
    FUZZ_CHECK((iClass == 1) == (dwPlatformId == PLATFORM_ID_WIN9X));
    return 0;
}
