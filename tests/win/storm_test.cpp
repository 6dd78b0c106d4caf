// Message storms: 1,000 profile-change broadcasts and 300 address-change
// reports in one burst. The program keeps answering, never runs two printer
// listings at once, and afterwards its tip, menu and manual switch are right.
// Runs in a private network (tests/fixture/netns.sh), where the host is at
// its "no network" location.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "app/decide.h"
#include "inprocess.h"
#include "locations/locations.h"
#include "printers/spooler.h"
#include "locationfill.h"
#include "testsupport.h"

namespace {

const int kBroadcasts = 1000;
const int kAddressReports = 300;

struct BurstResult {
    HWND hwnd;
    int unanswered;
    DWORD slowestMs;
};

// Sends the broadcasts (as another program's broadcast reaches the window)
// and posts the reports among them (as the socket layer would), from a
// thread of its own while the window's thread goes on working.
DWORD WINAPI SendBurst(LPVOID param)
{
    BurstResult *r = static_cast<BurstResult *>(param);
    for (int i = 0; i < kBroadcasts; i++) {
        if (i % 10 < 3)
            PostMessageA(r->hwnd, MSG_ADDRESS_CHANGED, 0, 0);
        DWORD start = GetTickCount();
        DWORD_PTR result;
        if (!SendMessageTimeoutA(r->hwnd, WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG, 5000, &result))
            r->unanswered++;
        r->slowestMs = std::max<DWORD>(r->slowestMs, GetTickCount() - start);
    }
    return 0;
}

BurstResult Burst(HWND hwnd)
{
    BurstResult r = {hwnd, 0, 0};
    HANDLE hThread = CreateThread(NULL, 0, SendBurst, &r, 0, NULL);
    if (hThread == NULL) {
        ADD_FAILURE() << "no thread for the burst";
        return r;
    }
    // Pumps meanwhile: the program's switches broadcast to this thread's windows too.
    EXPECT_TRUE(WaitFor([&] { return WaitForSingleObject(hThread, 0) == WAIT_OBJECT_0; }, 240000));
    CloseHandle(hThread);
    return r;
}

// Automatic switching on: every report makes Beta the default anew.
void StoreSettings()
{
    DeleteRegistryTree(HKEY_CURRENT_USER, SETTINGS_KEY);
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    AutoSettings.bSetByIP = 1;
    AutoSettings.iAutoPrinterCount = 2;
    SetLocation(0, "Office", "Gamma", "10.1.2.0", "10.1.2.255");
    SetLocation(1, "No network", "Beta", "127.0.0.1", "127.0.0.254");
    SaveSettings();
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
}

std::string DefaultName()
{
    std::string entry = ReadDeviceEntry();
    return entry.substr(0, entry.find(','));
}

class Storm : public InProcessTest {
protected:
    void SetUp() override
    {
        if (getenv("QUORVEL_SET_ADDRESSES") == nullptr)
            GTEST_SKIP() << "needs tests/fixture/netns.sh (a private network)";
        InProcessTest::SetUp();
        StoreSettings();
        WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    }
    void TearDown() override
    {
        InProcessTest::TearDown();
        DeleteRegistryTree(HKEY_CURRENT_USER, SETTINGS_KEY);
    }
    ScopedDeviceEntry restore;
};

TEST_F(Storm, TheRealProgramKeepsAnsweringAndIsRightAfterwards)
{
    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    ASSERT_TRUE(WaitFor([] { return DefaultName() == "Beta"; }, 10000)) << DefaultName();
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");

    BurstResult r = Burst(q.Window());
    EXPECT_EQ(r.unanswered, 0);
    EXPECT_TRUE(Answers(q.Window()));
    RecordProperty("SlowestAnswerMs", (int)r.slowestMs);
    // Off the network, the last report decides once the list has settled.
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Beta"; }, SETTLE_DELAY_MS + 3000)) << DefaultName();

    ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
    HWND hIcon = TrayIconWindows().back();
    EXPECT_EQ(HoverAndReadTooltip(hIcon), "Beta (No network)");
    // The menu lists the printers again (a listing may still run: try again),
    // and its first printer, Gamma, becomes the default.
    for (int attempt = 0; attempt < 3 && DefaultName() != "Gamma"; attempt++) {
        ASSERT_TRUE(ClickWindow(hIcon, 3));
        Sleep(500);
        ASSERT_TRUE(PressKeys("Down Down Down Down Return"));
        WaitFor([] { return DefaultName() == "Gamma"; }, 3000);
    }
    EXPECT_EQ(DefaultName(), "Gamma");
    EXPECT_EQ(HoverAndReadTooltip(hIcon), "Gamma (No network)");
    EXPECT_EQ(q.Exit(), 0u);
}

// Listings seen through the program's own calls to the spooler: a listing
// runs from its size query to the return of its fetch.
volatile LONG g_listings, g_running, g_mostAtOnce;
ENUMPRINTERSPROC g_realEnumPrinters;
ENUMPRINTERSWPROC g_realEnumPrintersW;

void CountListingStart(LPBYTE buffer)
{
    if (buffer == NULL) {
        InterlockedIncrement(&g_listings);
        LONG now = InterlockedIncrement(&g_running);
        for (LONG most = g_mostAtOnce; now > most; most = g_mostAtOnce)
            InterlockedCompareExchange(&g_mostAtOnce, now, most);
    }
}

// Counts one listing around the real call, ANSI or (on NT) wide.
template <typename Real, typename Name>
BOOL CountListing(Real real, DWORD flags, Name name, DWORD level, LPBYTE buffer, DWORD cb,
                  LPDWORD needed, LPDWORD returned)
{
    CountListingStart(buffer);
    BOOL done = real(flags, name, level, buffer, cb, needed, returned);
    if (buffer != NULL)
        InterlockedDecrement(&g_running);
    return done;
}

BOOL WINAPI CountingEnumPrinters(DWORD flags, LPSTR name, DWORD level, LPBYTE buffer, DWORD cb,
                                 LPDWORD needed, LPDWORD returned)
{
    return CountListing(g_realEnumPrinters, flags, name, level, buffer, cb, needed, returned);
}

BOOL WINAPI CountingEnumPrintersW(DWORD flags, LPWSTR name, DWORD level, LPBYTE buffer, DWORD cb,
                                  LPDWORD needed, LPDWORD returned)
{
    return CountListing(g_realEnumPrintersW, flags, name, level, buffer, cb, needed, returned);
}

TEST_F(Storm, NeverRunsTwoPrinterListingsAtOnce)
{
    // Every listing goes through the program's spooler entry points.
    g_realEnumPrinters = Spooler.pfnEnumPrinters;
    g_realEnumPrintersW = Spooler.pfnEnumPrintersW;
    ASSERT_NE(g_realEnumPrinters, (ENUMPRINTERSPROC)NULL);
    ASSERT_NE(g_realEnumPrintersW, (ENUMPRINTERSWPROC)NULL);
    Spooler.pfnEnumPrinters = CountingEnumPrinters;
    Spooler.pfnEnumPrintersW = CountingEnumPrintersW;
    HWND hwnd = StartMainWindow();
    g_listings = g_mostAtOnce = 0;

    BurstResult r = Burst(hwnd);
    EXPECT_TRUE(WaitEnumerationIdle());
    Spooler.pfnEnumPrinters = g_realEnumPrinters;
    Spooler.pfnEnumPrintersW = g_realEnumPrintersW;
    EXPECT_EQ(r.unanswered, 0);
    EXPECT_GT(g_listings, 1) << "the storm started no listings";
    EXPECT_EQ(g_mostAtOnce, 1) << "two listings ran at once";
    EXPECT_EQ(iPrinterCount, 3);
    EXPECT_EQ(Received(MSG_ADDRESS_CHANGED).size(), (size_t)kAddressReports);
    RecordProperty("Listings", (int)g_listings);
}

}  // namespace
