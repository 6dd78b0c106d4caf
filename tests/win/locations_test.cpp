// Location rules and the main window's location messages, with the program's
// own window inside the test process; the printers are Wine's spooler's.
#include <gtest/gtest.h>

#include <string>

#include "inprocess.h"
#include "locations/locations.h"
#include "testsupport.h"

namespace {

void SetLocation(int i, const char *name, const char *printer, const char *start = "0.0.0.0",
                 const char *finish = "255.255.255.255")
{
    LocationRecord *r = &AutoSettings.locations[i];
    lstrcpynA(r->szLocationName, name, NAME_FIELD_SIZE);
    lstrcpynA(r->szPrinterName, printer, NAME_FIELD_SIZE);
    lstrcpynA(r->szIPStart, start, NAME_FIELD_SIZE);
    lstrcpynA(r->szIPFinish, finish, NAME_FIELD_SIZE);
}

std::string DefaultName()
{
    std::string entry = ReadDeviceEntry();
    return entry.substr(0, entry.find(','));
}

void ClearStore()
{
    DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Brennick\\Quorvel\\Settings");
}

class Rules : public InProcessTest {
protected:
    void SetUp() override
    {
        InProcessTest::SetUp();
        ClearStore();
        WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
        StartMainWindow();
        iPlatform = 3;
        ZeroMemory(&AutoSettings, sizeof(AutoSettings));
        ClearMessages();
    }
    // Applies the rules for a current location; returns the broadcasts sent.
    size_t Apply(const char *current)
    {
        lstrcpynA(szCurrentLocation, current, sizeof(szCurrentLocation));
        ClearMessages();
        ApplyLocation();
        return Received(WM_WININICHANGE).size();
    }
    ScopedDeviceEntry restoreEntry;
};

TEST_F(Rules, FindPrinterRowIsExactAndFindsTheLowerOfTwoRows)
{
    ASSERT_EQ(iPrinterCount, 3);
    EXPECT_EQ(FindPrinterRow("Alpha"), 0);
    EXPECT_EQ(FindPrinterRow("Gamma"), 2);
    EXPECT_EQ(FindPrinterRow("gamma"), -1);
    EXPECT_EQ(FindPrinterRow("Gam"), -1);
    EXPECT_EQ(FindPrinterRow(""), -1);
    lstrcpynA(PrinterTable[2], "Alpha", NAME_FIELD_SIZE);
    EXPECT_EQ(FindPrinterRow("Alpha"), 0);
    lstrcpynA(PrinterTable[3], "Delta", NAME_FIELD_SIZE);  // stale row beyond the count
    EXPECT_EQ(FindPrinterRow("Delta"), -1);
    iPrinterCount = 0;
    EXPECT_EQ(FindPrinterRow("Alpha"), -1);
}

TEST_F(Rules, NoMatchWithItsPrinterSetSwitchesToItAndLooksAtNoLocation)
{
    AutoSettings.bIfNoMatch = 1;
    lstrcpynA(AutoSettings.szNoMatchPrinter, "Gamma", NAME_FIELD_SIZE);
    AutoSettings.iAutoPrinterCount = 1;
    SetLocation(0, "No match", "Beta");
    EXPECT_EQ(Apply("No match"), 1u);
    EXPECT_EQ(DefaultName(), "Gamma");

    // An empty current location (a matching location without a name) alike.
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    EXPECT_EQ(Apply(""), 1u);
    EXPECT_EQ(DefaultName(), "Gamma");
}

TEST_F(Rules, NoMatchWithAnUnknownOrEmptyPrinterSwitchesNothing)
{
    AutoSettings.bIfNoMatch = 1;
    AutoSettings.iAutoPrinterCount = 1;
    SetLocation(0, "No match", "Beta");
    for (const char *printer : {"", "Ghost", "gamma"}) {
        lstrcpynA(AutoSettings.szNoMatchPrinter, printer, NAME_FIELD_SIZE);
        EXPECT_EQ(Apply("No match"), 0u) << printer;
        EXPECT_EQ(DefaultName(), "Alpha") << printer;
    }
}

TEST_F(Rules, WithoutTheNoMatchRuleALocationNamedNoMatchIsLikeAnyOther)
{
    AutoSettings.bIfNoMatch = 0;
    lstrcpynA(AutoSettings.szNoMatchPrinter, "Gamma", NAME_FIELD_SIZE);
    EXPECT_EQ(Apply("No match"), 0u);
    EXPECT_EQ(DefaultName(), "Alpha");

    AutoSettings.iAutoPrinterCount = 1;
    SetLocation(0, "No match", "Beta");
    EXPECT_EQ(Apply("No match"), 1u);
    EXPECT_EQ(DefaultName(), "Beta");
}

TEST_F(Rules, EveryLocationOfTheNameSwitchesAndTheLastKnownPrinterDecides)
{
    AutoSettings.iAutoPrinterCount = 4;
    SetLocation(0, "Office", "Beta");
    SetLocation(1, "Home", "Alpha");
    SetLocation(2, "Office", "Gamma");
    SetLocation(3, "Office", "Ghost");  // unknown printer: skipped, the walk goes on
    EXPECT_EQ(Apply("Office"), 2u);
    EXPECT_EQ(DefaultName(), "Gamma");
}

TEST_F(Rules, NamesAreComparedExactly)
{
    AutoSettings.iAutoPrinterCount = 2;
    SetLocation(0, "office", "Beta");
    SetLocation(1, "Lab", "gamma");
    EXPECT_EQ(Apply("Office"), 0u);
    EXPECT_EQ(Apply("Lab"), 0u);
    EXPECT_EQ(DefaultName(), "Alpha");
}

TEST_F(Rules, TheCurrentDefaultIsSwitchedToAgain)
{
    AutoSettings.iAutoPrinterCount = 1;
    SetLocation(0, "Office", "Alpha");
    EXPECT_EQ(Apply("Office"), 1u);
}

TEST_F(Rules, ACountOutsideTheListSwitchesNothingAndReadsNoFurther)
{
    AutoSettings.iAutoPrinterCount = 0;
    SetLocation(0, "Office", "Beta");
    EXPECT_EQ(Apply("Office"), 0u);
    AutoSettings.iAutoPrinterCount = -3;
    EXPECT_EQ(Apply("Office"), 0u);
    EXPECT_EQ(DefaultName(), "Alpha");
}

class LocationMessages : public Rules {};

TEST_F(LocationMessages, AnAddressChangeWithSwitchingOffOnlyArmsTheWatchAgain)
{
    AutoSettings.bSetByIP = 0;
    AutoSettings.iAutoPrinterCount = 1;
    SetLocation(0, "Anywhere", "Gamma");
    lstrcpynA(szCurrentLocation, "Before", sizeof(szCurrentLocation));
    SendMessageA(hMainWnd, MSG_ADDRESS_CHANGED, 0, 0);
    Pump(300);
    EXPECT_STREQ(szCurrentLocation, "Before");
    EXPECT_EQ(DefaultName(), "Alpha");
    EXPECT_TRUE(Received(WM_WININICHANGE).empty());
}

TEST_F(LocationMessages, AnAddressChangeWithSwitchingOnDetectsAndApplies)
{
    AutoSettings.bSetByIP = 1;
    AutoSettings.iAutoPrinterCount = 1;
    SetLocation(0, "Anywhere", "Gamma");  // holds whatever address this host has
    SendMessageA(hMainWnd, MSG_ADDRESS_CHANGED, 0, 0);
    EXPECT_STREQ(szCurrentLocation, "Anywhere");
    EXPECT_EQ(DefaultName(), "Gamma");
}

TEST_F(LocationMessages, SavedSettingsApplyEvenWithSwitchingOff)
{
    AutoSettings.bSetByIP = 0;
    AutoSettings.iAutoPrinterCount = 1;
    SetLocation(0, "Anywhere", "Beta");
    SendMessageA(hMainWnd, MSG_SETTINGS_SAVED, 0, 0);
    EXPECT_STREQ(szCurrentLocation, "Anywhere");
    EXPECT_EQ(DefaultName(), "Beta");
}

TEST_F(LocationMessages, WithNoLocationsTheDetectionSaysNoMatch)
{
    AutoSettings.iAutoPrinterCount = 0;
    SendMessageA(hMainWnd, MSG_SETTINGS_SAVED, 0, 0);
    EXPECT_STREQ(szCurrentLocation, "No match");
}

// The store a user's earlier session left behind.
void StoreSettings(int bSetByIP, const char *printer)
{
    ClearStore();
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    AutoSettings.bSetByIP = bSetByIP;
    AutoSettings.iAutoPrinterCount = 1;
    SetLocation(0, "Anywhere", printer);
    SaveSettings();
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
}

class StartUp : public InProcessTest {
protected:
    void TearDown() override
    {
        InProcessTest::TearDown();
        ClearStore();
    }
    ScopedDeviceEntry restoreEntry;
};

TEST_F(StartUp, TheFirstListingAppliesTheLocationWhenSwitchingIsOn)
{
    StoreSettings(1, "Gamma");
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    StartMainWindow();
    EXPECT_STREQ(szCurrentLocation, "Anywhere");
    EXPECT_EQ(DefaultName(), "Gamma");
    EXPECT_EQ(bFirstEnum, 0);
    // The switch on the worker still brings the idle icon back.
    EXPECT_TRUE(WaitFor([] {
        for (const RecordedMessage &m : Received(WM_TIMER))
            if (m.wParam == TIMER_ICON_RESTORE)
                return true;
        return false;
    }, 5000));
}

TEST_F(StartUp, WithSwitchingOffNoListingEverApplies)
{
    StoreSettings(0, "Gamma");
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    StartMainWindow();
    EXPECT_EQ(DefaultName(), "Alpha");
    EXPECT_EQ(bFirstEnum, 0);
    // Turning switching on later does not make a later listing apply.
    AutoSettings.bSetByIP = 1;
    SendMessageA(hMainWnd, WM_WININICHANGE, 0, 0);
    ASSERT_TRUE(WaitEnumerationIdle());
    Pump(300);
    EXPECT_EQ(DefaultName(), "Alpha");
}

}  // namespace
