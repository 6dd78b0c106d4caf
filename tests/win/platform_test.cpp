// The platform class as Wine reports each Windows version, and the default
// printer's name as the profile holds it.
#include <gtest/gtest.h>

#include <string>

#include "printers/printers.h"
#include "testsupport.h"

namespace {

int PlatformClassUnder(const char *version)
{
    ScopedWineVersion scoped("qprobe.exe", version);
    return (int)RunToExit("\"" + ProbeExePath() + "\" platform", 30000);
}

TEST(PlatformClass, FollowsTheWindowsVersionThatWineReports)
{
    EXPECT_EQ(PlatformClassUnder("win98"), 1);
    EXPECT_EQ(PlatformClassUnder("win95"), 1);
    EXPECT_EQ(PlatformClassUnder("nt40"), 2);
    EXPECT_EQ(PlatformClassUnder("win2k"), 3);
    EXPECT_EQ(PlatformClassUnder("winxp"), 3);
    EXPECT_EQ(PlatformClassUnder("win7"), 3);
    EXPECT_EQ(PlatformClassUnder("win10"), 3);
}

std::string DefaultPrinterName()
{
    char szName[256];
    memset(szName, 'X', sizeof(szName));
    GetDefaultPrinterName(szName, 255);
    EXPECT_NE(memchr(szName, '\0', 255), nullptr);
    return szName;
}

TEST(DefaultPrinterName, IsTheProfileEntryCutAtTheFirstComma)
{
    ScopedDeviceEntry restore;

    WriteDeviceEntry("Laser-2,wineps.drv,CUPS:Laser-2");
    EXPECT_EQ(DefaultPrinterName(), "Laser-2");

    WriteDeviceEntry("\\\\server\\queue,winspool,Ne00:");
    EXPECT_EQ(DefaultPrinterName(), "\\\\server\\queue");

    WriteDeviceEntry("Printer without driver");
    EXPECT_EQ(DefaultPrinterName(), "Printer without driver");
}

TEST(DefaultPrinterName, IsNotSetWhenTheEntryIsMissing)
{
    ScopedDeviceEntry restore;
    WriteDeviceEntry(nullptr);
    EXPECT_EQ(DefaultPrinterName(), "Not set");
}

TEST(DefaultPrinterName, IsReadAnewAtEveryCall)
{
    ScopedDeviceEntry restore;
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    EXPECT_EQ(DefaultPrinterName(), "Alpha");
    WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
    EXPECT_EQ(DefaultPrinterName(), "Beta");
}

TEST(DefaultPrinterName, ALongValueIsCutToTheBufferBeforeTheCommaSearch)
{
    ScopedDeviceEntry restore;
    std::string name(300, 'n');
    WriteDeviceEntry((name + ",drv,port").c_str());
    EXPECT_EQ(DefaultPrinterName(), name.substr(0, 254));
}

}  // namespace
