// Platform classes and the profile entry's printer name.
#include <gtest/gtest.h>
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
