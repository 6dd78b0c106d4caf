// Printer enumeration and default printer switching, run with the program's
// real main window inside the test process against Wine's spooler.
#include <gtest/gtest.h>

#include <string>

#include "inprocess.h"
#include "locations/locations.h"
#include "printers/printers.h"
#include "testsupport.h"

namespace {

std::vector<std::string> TableRows()
{
    std::vector<std::string> rows;
    for (int i = 0; i < iPrinterCount; i++)
        rows.push_back(PrinterTable[i]);
    return rows;
}

std::string ExpectedDeviceEntry(const char *name)
{
    HANDLE h;
    EXPECT_TRUE(OpenPrinterA(const_cast<char *>(name), &h, NULL));
    DWORD needed = 0;
    GetPrinterA(h, 2, NULL, 0, &needed);
    std::vector<BYTE> buf(needed);
    EXPECT_TRUE(GetPrinterA(h, 2, buf.data(), needed, &needed));
    ClosePrinter(h);
    PRINTER_INFO_2A *info = reinterpret_cast<PRINTER_INFO_2A *>(buf.data());
    return std::string(info->pPrinterName) + "," + info->pDriverName + "," + info->pPortName;
}

class Enumeration : public InProcessTest {};

TEST_F(Enumeration, TableHoldsTheSpoolersFirstFiftyPrintersInItsOrder)
{
    iPlatform = 3;
    for (int n : {0, 1, 49, 50, 51}) {
        ScopedPrinterCount printers(n);
        std::vector<std::string> spooler = SpoolerPrinterNames();
        EnumPrinterThread(NULL);
        EXPECT_EQ(iPrinterCount, n < 50 ? n : 50) << n << " printers";
        spooler.resize(n < 50 ? n : 50);
        EXPECT_EQ(TableRows(), spooler) << n << " printers";
        EXPECT_EQ(bEnumBusy, 0);
    }
}

TEST_F(Enumeration, AShorterListingLowersTheCount)
{
    iPlatform = 3;
    {
        ScopedPrinterCount printers(20);
        EnumPrinterThread(NULL);
        ASSERT_EQ(iPrinterCount, 20);
    }
    EnumPrinterThread(NULL);
    EXPECT_EQ(TableRows(), SpoolerPrinterNames());
    EXPECT_EQ(iPrinterCount, 3);
}

TEST_F(Enumeration, NineXClassListsLocalPrintersAtLevelFive)
{
    iPlatform = 1;
    EnumPrinterThread(NULL);
    EXPECT_EQ(TableRows(), SpoolerPrinterNames(PRINTER_ENUM_LOCAL, 5));
    EXPECT_EQ(iPrinterCount, 3);
}

TEST_F(Enumeration, FirstRunEndsTheFirstRunState)
{
    iPlatform = 3;
    ASSERT_EQ(bFirstEnum, 1);
    EnumPrinterThread(NULL);
    EXPECT_EQ(bFirstEnum, 0);
    EXPECT_EQ(bEnumBusy, 0);
}

TEST_F(Enumeration, StartUpFillsTheTableOnAWorker)
{
    StartMainWindow();
    EXPECT_EQ(TableRows(), SpoolerPrinterNames());
    EXPECT_EQ(bFirstEnum, 0);
}

TEST_F(Enumeration, AProfileChangeWhileAWorkerRunsStartsNoSecondWorker)
{
    StartMainWindow();
    // A worker is "running": the table must stay as it is.
    iPrinterCount = 0;
    bEnumBusy = 1;
    SendMessageA(hMainWnd, WM_WININICHANGE, 0, 0);
    Pump(1500);
    EXPECT_EQ(iPrinterCount, 0);
    EXPECT_EQ(bEnumBusy, 1);

    bEnumBusy = 0;
    SendMessageA(hMainWnd, WM_WININICHANGE, 0, 0);
    ASSERT_TRUE(WaitEnumerationIdle());
    EXPECT_EQ(iPrinterCount, 3);
}

DWORD WINAPI SwitchOnThread(LPVOID row)
{
    SwitchDefaultPrinter((int)(INT_PTR)row);
    return 0;
}

class Switching : public InProcessTest {
protected:
    void SetUp() override
    {
        InProcessTest::SetUp();
        WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
        StartMainWindow();
        ASSERT_GE(FindPrinterRow("Beta"), 0);
        ClearMessages();
    }
    void TearDown() override
    {
        InProcessTest::TearDown();
    }
    size_t Broadcasts() { return Received(WM_WININICHANGE).size(); }
    size_t Restores()
    {
        size_t n = 0;
        for (const RecordedMessage &m : Received(WM_TIMER))
            n += (m.wParam == TIMER_ICON_RESTORE);
        return n;
    }
    ScopedDeviceEntry restoreEntry;
};

TEST_F(Switching, NtFiveClassSetsTheDefaultBroadcastsAndRestoresTheIconLater)
{
    iPlatform = 3;
    SwitchDefaultPrinter(FindPrinterRow("Beta"));
    EXPECT_EQ(ReadDeviceEntry().substr(0, 5), "Beta,");
    EXPECT_GE(Broadcasts(), 1u);
    EXPECT_EQ(Restores(), 0u) << "the idle icon came back at once";
    Pump(1500);
    EXPECT_EQ(Restores(), 1u);
}

TEST_F(Switching, TheIconShowsTheSwitchedPictureUntilTheRestoreTimerFires)
{
    iPlatform = 3;
    ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
    HWND hIcon = TrayIconWindows().back();
    // The idle picture has only a small green status light.
    int idle = GreenPixelsOfIcon(hIcon);
    ASSERT_GE(idle, 0);

    SwitchDefaultPrinter(FindPrinterRow("Beta"));
    // This thread pumps no messages here, so the restore timer cannot fire yet.
    DWORD start = GetTickCount();
    int green = 0;
    while ((green = GreenPixelsOfIcon(hIcon)) <= idle + 8 && GetTickCount() - start < 8000)
        Sleep(50);
    EXPECT_GT(green, idle + 8) << "the switched picture never showed";

    ASSERT_TRUE(WaitFor([&] { return Restores() > 0; }, 5000));
    EXPECT_TRUE(WaitFor([&] { return GreenPixelsOfIcon(hIcon) <= idle + 2; }, 8000))
        << "the idle picture did not come back";
}

TEST_F(Switching, NtFourClassWritesTheSpoolersNameDriverAndPort)
{
    iPlatform = 2;
    SwitchDefaultPrinter(FindPrinterRow("Gamma"));
    EXPECT_EQ(ReadDeviceEntry(), ExpectedDeviceEntry("Gamma"));
    char szName[256];
    GetDefaultPrinterName(szName, 255);
    EXPECT_STREQ(szName, "Gamma");
    EXPECT_GE(Broadcasts(), 1u);
    Pump(1500);
    EXPECT_EQ(Restores(), 1u);
}

TEST_F(Switching, NineXClassWritesTheAttributeAndRunsTheTailEvenWhereItIsIgnored)
{
    iPlatform = 1;
    std::string before = ReadDeviceEntry();
    SwitchDefaultPrinter(FindPrinterRow("Beta"));
    // Wine keeps its default for this method; the switch still announces itself.
    EXPECT_EQ(ReadDeviceEntry(), before);
    EXPECT_GE(Broadcasts(), 1u);
    Pump(1500);
    EXPECT_EQ(Restores(), 1u);
}

TEST_F(Switching, APrinterThatNoLongerExistsChangesNothingOnAnyClass)
{
    for (int cls : {1, 2, 3}) {
        iPlatform = cls;
        lstrcpynA(PrinterTable[0], "Ghost_Printer", NAME_FIELD_SIZE);
        std::string before = ReadDeviceEntry();
        ClearMessages();
        SwitchDefaultPrinter(0);
        Pump(1200);
        EXPECT_EQ(ReadDeviceEntry(), before) << "class " << cls;
        EXPECT_EQ(Broadcasts(), 0u) << "class " << cls;
        EXPECT_EQ(Restores(), 0u) << "class " << cls;
    }
}

TEST_F(Switching, TheCurrentDefaultIsSwitchedToAgainWithBroadcastAndIcon)
{
    iPlatform = 3;
    SwitchDefaultPrinter(FindPrinterRow("Beta"));
    Pump(1200);
    ClearMessages();
    SwitchDefaultPrinter(FindPrinterRow("Beta"));
    EXPECT_GE(Broadcasts(), 1u);
    Pump(1200);
    EXPECT_EQ(Restores(), 1u);
}

TEST_F(Switching, TwoSwitchesWithinTheDelayLeaveOneRestoreAfterTheSecond)
{
    iPlatform = 3;
    SwitchDefaultPrinter(FindPrinterRow("Beta"));
    Pump(300);
    DWORD second = GetTickCount();
    SwitchDefaultPrinter(FindPrinterRow("Gamma"));
    Pump(2000);
    std::vector<RecordedMessage> timers = Received(WM_TIMER);
    ASSERT_EQ(Restores(), 1u);
    // Never before the delay has run from the second switch.
    EXPECT_GE(timers.back().dwTick - second, 790u);
}

TEST_F(Switching, ASwitchOnAnotherThreadStillRestoresTheIdleIcon)
{
    iPlatform = 3;
    HANDLE worker = CreateThread(NULL, 0, SwitchOnThread, (LPVOID)(INT_PTR)FindPrinterRow("Gamma"), 0, NULL);
    ASSERT_NE(worker, (HANDLE)NULL);
    // The worker waits for its broadcast to be answered by this thread.
    while (WaitForSingleObject(worker, 0) != WAIT_OBJECT_0)
        Pump(20);
    CloseHandle(worker);
    EXPECT_EQ(ReadDeviceEntry().substr(0, 6), "Gamma,");
    Pump(1500);
    EXPECT_EQ(Restores(), 1u);
}

TEST_F(Switching, CommandsForRowsOutsideTheTableAreRefused)
{
    iPlatform = 3;
    ASSERT_EQ(iPrinterCount, 3);
    // Stale text beyond the count must never be reached.
    lstrcpynA(PrinterTable[3], "Beta", NAME_FIELD_SIZE);
    lstrcpynA(PrinterTable[49], "Beta", NAME_FIELD_SIZE);
    std::string before = ReadDeviceEntry();
    for (WPARAM id : {(WPARAM)3, (WPARAM)49, (WPARAM)50, (WPARAM)1014, (WPARAM)-1, (WPARAM)0x10000})
        SendMessageA(hMainWnd, WM_COMMAND, id, 0);
    Pump(1000);
    EXPECT_EQ(ReadDeviceEntry(), before);
    EXPECT_EQ(Broadcasts(), 0u);

    SendMessageA(hMainWnd, WM_COMMAND, (WPARAM)FindPrinterRow("Beta"), 0);
    EXPECT_EQ(ReadDeviceEntry().substr(0, 5), "Beta,");
}

}  // namespace
