// Platform classes and the profile entry's printer name.
#include <gtest/gtest.h>
#include <cstring>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

#include "printers/printerlogic.h"

namespace {

TEST(PlatformClass, SortsTheFamiliesByPlatformAndMajorVersion)
{
    struct Case { unsigned long id, major; int expected; const char *what; };
    const Case cases[] = {
        {1, 4, 1, "Windows 95, 98, Me"},
        {1, 5, 1, "9x family whatever its version"},
        {2, 3, 2, "NT 3.51"},
        {2, 4, 2, "NT 4.0"},
        {2, 5, 3, "Windows 2000 and XP"},
        {2, 6, 3, "Vista to 8.1"},
        {2, 10, 3, "Windows 10 and later"},
        {0, 4, 2, "Win32s-like id, old major"},
        {3, 5, 3, "unknown id, major 5"},
        {7, 0, 2, "unknown id, major 0"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ClassifyPlatform(c.id, c.major), c.expected) << c.what;
}

std::string Cut(std::string value)
{
    char szBuf[256];
    for (size_t i = 0; i <= value.size(); i++)
        szBuf[i] = value.c_str()[i];
    CutAtFirstComma(szBuf);
    return szBuf;
}

TEST(DefaultPrinterEntry, KeepsTheTextBeforeTheFirstComma)
{
    EXPECT_EQ(Cut("Laser-2,wineps.drv,CUPS:Laser-2"), "Laser-2");
    EXPECT_EQ(Cut("\\\\server\\queue,winspool,Ne00:"), "\\\\server\\queue");
    EXPECT_EQ(Cut("NoComma"), "NoComma");
    EXPECT_EQ(Cut(",driver,port"), "");
    EXPECT_EQ(Cut("Not set"), "Not set");
    EXPECT_EQ(Cut(""), "");
}

}  // namespace

namespace {

TEST(DeviceEntry, JoinsNameDriverAndPortWithCommas)
{
    char szEntry[DEVICE_ENTRY_SIZE];
    EXPECT_TRUE(ComposeDeviceEntry(szEntry, sizeof(szEntry), "Laser-2", "wineps.drv", "CUPS:Laser-2"));
    EXPECT_STREQ(szEntry, "Laser-2,wineps.drv,CUPS:Laser-2");
}

TEST(DeviceEntry, IsRefusedRatherThanCutWhenItDoesNotFit)
{
    // The field behind the entry must stay untouched.
    struct {
        char szEntry[DEVICE_ENTRY_SIZE];
        char guard[16];
    } buf;
    memset(buf.guard, 'G', sizeof(buf.guard));
    std::string name(254, 'n'), driver(100, 'd');
    // 254 + 1 + 100 + 1 + 43 = 399 characters: the longest that fits.
    EXPECT_TRUE(ComposeDeviceEntry(buf.szEntry, DEVICE_ENTRY_SIZE, name.c_str(), driver.c_str(),
                                   std::string(43, 'p').c_str()));
    EXPECT_EQ(strlen(buf.szEntry), 399u);
    EXPECT_FALSE(ComposeDeviceEntry(buf.szEntry, DEVICE_ENTRY_SIZE, name.c_str(), driver.c_str(),
                                    std::string(44, 'p').c_str()));
    EXPECT_STREQ(buf.szEntry, "");
    EXPECT_FALSE(ComposeDeviceEntry(buf.szEntry, DEVICE_ENTRY_SIZE, name.c_str(), driver.c_str(),
                                    std::string(5000, 'p').c_str()));
    EXPECT_EQ(std::string(buf.guard, sizeof(buf.guard)), std::string(16, 'G'));
}

TEST(PrinterRows, CountIsCappedAtFifty)
{
    EXPECT_EQ(CapPrinterCount(0), 0);
    EXPECT_EQ(CapPrinterCount(49), 49);
    EXPECT_EQ(CapPrinterCount(50), 50);
    EXPECT_EQ(CapPrinterCount(51), 50);
    EXPECT_EQ(CapPrinterCount(0xFFFFFFFFul), 50);
}

TEST(PrinterRows, ALongNameIsCutInsideItsRow)
{
    PrinterRow rows[2];
    memset(rows, 'X', sizeof(rows));
    CopyPrinterName(rows[0], std::string(300, 'a').c_str());
    EXPECT_EQ(std::string(rows[0]), std::string(254, 'a'));
    EXPECT_EQ(rows[1][0], 'X') << "the name ran into the next row";
    CopyPrinterName(rows[0], "Beta");
    EXPECT_STREQ(rows[0], "Beta");
}

}  // namespace

namespace {

#ifdef _WIN32
// The system's own conversions, with the code page given.
int ToAnsi(unsigned int uCodePage, const wchar_t *pwszText, char *pszOut, int cbOut, int *pbUsedDefault)
{
    BOOL bUsed = FALSE;
    int n = WideCharToMultiByte(uCodePage, WC_NO_BEST_FIT_CHARS, pwszText, -1, pszOut, cbOut, NULL,
                                &bUsed);
    *pbUsedDefault = bUsed != FALSE;
    return n;
}

int ToWide(unsigned int uCodePage, const char *pszText, wchar_t *pwszOut, int cchOut)
{
    return MultiByteToWideChar(uCodePage, 0, pszText, -1, pwszOut, cchOut);
}
#else
// A model of the two code pages for the characters below: ASCII as itself,
// these few above it, and "?" with the used-default flag for any other.
struct CodePageChar {
    unsigned int uCodePage;
    wchar_t wc;
    unsigned char byte;
};
const CodePageChar kCodePages[] = {
    {1252, 0x00E9, 0xE9}, {1252, 0x00C5, 0xC5}, {1250, 0x00E9, 0xE9}, {1250, 0x0141, 0xA3}};

int ToAnsi(unsigned int uCodePage, const wchar_t *pwszText, char *pszOut, int cbOut, int *pbUsedDefault)
{
    int n = 0;
    *pbUsedDefault = 0;
    for (;; pwszText++) {
        int byte = *pwszText < 0x80 ? (int)*pwszText : -1;
        for (const CodePageChar &c : kCodePages)
            if (c.uCodePage == uCodePage && c.wc == *pwszText)
                byte = c.byte;
        if (byte < 0) {
            byte = '?';
            *pbUsedDefault = 1;
        }
        if (n >= cbOut)
            return 0;
        pszOut[n++] = (char)byte;
        if (*pwszText == 0)
            return n;
    }
}

int ToWide(unsigned int uCodePage, const char *pszText, wchar_t *pwszOut, int cchOut)
{
    int n = 0;
    for (;; pszText++) {
        unsigned char byte = (unsigned char)*pszText;
        wchar_t wc = byte < 0x80 ? byte : 0xFFFD;
        for (const CodePageChar &c : kCodePages)
            if (c.uCodePage == uCodePage && c.byte == byte)
                wc = c.wc;
        if (n >= cchOut)
            return 0;
        pwszOut[n++] = wc;
        if (byte == 0)
            return n;
    }
}
#endif

TEST(PrinterNames, AreRepresentableOnlyWhenTheCodePageHoldsThemExactly)
{
    struct Case {
        const wchar_t *name;
        int in1252, in1250;
    };
    const std::wstring longName(300, L'a');
    const Case cases[] = {
        {L"Laser", 1, 1},
        {L"Who?", 1, 1},                    // a "?" of its own is no stand-in
        {L"Caf\u00E9", 1, 1},
        {L"\u00C5sa", 1, 0},
        {L"\u0141aser", 0, 1},              // its look-alike "Laser" is another printer
        {L"Omega-\u03A9mega", 0, 0},
        {longName.c_str(), 0, 0},           // would be cut in its row
    };
    for (const Case &c : cases) {
        EXPECT_EQ(IsNameRepresentable(c.name, 1252, ToAnsi, ToWide), c.in1252) << c.name[0];
        EXPECT_EQ(IsNameRepresentable(c.name, 1250, ToAnsi, ToWide), c.in1250) << c.name[0];
    }
}

}  // namespace
