// The tray tip: always terminated inside its 64 bytes, never more than 63
// characters, the location shown exactly while the combined text fits.
#include "fuzzcheck.h"
#include "tray/tiptext.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FuzzedDataProvider fdp(data, size);
    // Callers pass names of up to 254 characters and locations of up to 255;
    // longer texts are tried too.
    std::string printer = ConsumeText(fdp, 600);
    std::string location = ConsumeText(fdp, 600);
    int bSetByIP = fdp.ConsumeIntegral<int>();

    // Exactly the field's size on the heap: any write past it is caught.
    char *pszTip = static_cast<char *>(malloc(TIP_FIELD_SIZE));
    memset(pszTip, 'X', TIP_FIELD_SIZE);
    ComposeTrayTip(printer.c_str(), bSetByIP, location.c_str(), pszTip);

    FUZZ_CHECK(IsTerminatedIn(pszTip, TIP_FIELD_SIZE));
    std::string tip(pszTip);
    FUZZ_CHECK(tip.size() <= TIP_FIELD_SIZE - 1);

    // Longer texts than callers pass obey the same rule: their combination is
    // always past the limit.
    std::string combined = printer + " (" + location + ")";
    std::string expected =
        (bSetByIP != 0 && !location.empty() && combined.size() <= TIP_COMBINED_LIMIT) ? combined
                                                                                    : printer;
    FUZZ_CHECK(tip == expected.substr(0, TIP_FIELD_SIZE - 1));
    free(pszTip);
    return 0;
}
