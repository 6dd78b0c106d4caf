// Platform classes and the profile entry's printer name.
#include <gtest/gtest.h>
#include <cstring>
#include <string>

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
