// The real Quorvel.exe, started as a user would: its hidden window, its icon
// in the notification area with the default printer as the tip, and its exit.
#include <gtest/gtest.h>

#include <string>

#include "testsupport.h"

namespace {

TEST(Program, ShowsItsIconWithTheDefaultPrinterAndExitsCleanly)
{
    ScopedDeviceEntry restore;
    WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
    size_t iconsBefore = TrayIconWindows().size();

    QuorvelProcess q;
    ASSERT_TRUE(q.Start()) << "no window of class Quorvel appeared";
    EXPECT_FALSE(IsWindowVisible(q.Window())) << "the main window must stay hidden";
    char title[64] = "";
    GetWindowTextA(q.Window(), title, sizeof(title));
    EXPECT_STREQ(title, "Quorvel");

    ASSERT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore + 1; }, 10000))
        << "the icon did not appear in the tray";
    HWND hIcon = TrayIconWindows().back();
    EXPECT_EQ(HoverAndReadTooltip(hIcon), "Beta");

    EXPECT_EQ(q.Exit(), 0u);
    EXPECT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore; }, 10000))
        << "the icon stayed after the exit";
}

TEST(Program, TipFollowsAProfileChangeBroadcast)
{
    ScopedDeviceEntry restore;
    WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
    HWND hIcon = TrayIconWindows().back();
    EXPECT_EQ(HoverAndReadTooltip(hIcon), "Alpha");

    // Another program changes the default and tells everyone.
    WriteDeviceEntry("Gamma,wineps.drv,CUPS:Gamma");
    SendMessageTimeoutA(q.Window(), WM_WININICHANGE, 0, 0, SMTO_ABORTIFHUNG, 2000, NULL);
    EXPECT_EQ(HoverAndReadTooltip(hIcon), "Gamma");
    EXPECT_EQ(q.Exit(), 0u);
}

TEST(Program, TwoStartsRunTwoIndependentCopies)
{
    size_t iconsBefore = TrayIconWindows().size();
    QuorvelProcess first, second;
    ASSERT_TRUE(first.Start());
    ASSERT_TRUE(second.Start());
    EXPECT_NE(first.Window(), second.Window());
    EXPECT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore + 2; }, 10000));
    EXPECT_EQ(first.Exit(), 0u);
    EXPECT_EQ(second.Exit(), 0u);
    EXPECT_TRUE(WaitFor([&] { return TrayIconWindows().size() == iconsBefore; }, 10000));
}

}  // namespace
