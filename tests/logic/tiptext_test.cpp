// Tray tip composition: when the location is shown, and how the tip is cut.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>

#include "tray/tiptext.h"

namespace {

std::string Tip(const std::string &printer, int bSetByIP, const std::string &location)
{
    char szTip[TIP_FIELD_SIZE];
    // A filled field shows whether the result is terminated inside it.
    std::fill(szTip, szTip + sizeof(szTip), 'X');
    ComposeTrayTip(printer.c_str(), bSetByIP, location.c_str(), szTip);
    EXPECT_NE(memchr(szTip, '\0', sizeof(szTip)), nullptr) << "tip not terminated in its field";
    return std::string(szTip, strnlen(szTip, sizeof(szTip)));
}

TEST(TrayTip, ShowsPrinterAndLocationOnlyWhileSwitchingIsOn)
{
    EXPECT_EQ(Tip("Laser-2", 1, "Office"), "Laser-2 (Office)");
    EXPECT_EQ(Tip("Laser-2", 0, "Office"), "Laser-2");
    EXPECT_EQ(Tip("Laser-2", 7, "Office"), "Laser-2 (Office)");  // any non-zero flag
    EXPECT_EQ(Tip("Laser-2", 1, "No match"), "Laser-2 (No match)");
    EXPECT_EQ(Tip("Not set", 1, "No match"), "Not set (No match)");
    EXPECT_EQ(Tip("Not set", 0, "Home"), "Not set");
    // Not decided yet, or a location without a name: never "Laser-2 ()".
    EXPECT_EQ(Tip("Laser-2", 1, ""), "Laser-2");
}

TEST(TrayTip, CombinedTextOfSixtyFourKeepsTheLocationAndIsCutToSixtyThree)
{
    // 50 + " (" + 11 + ")" = 64 characters.
    std::string printer(50, 'p');
    std::string location(11, 'l');
    std::string combined = printer + " (" + location + ")";
    ASSERT_EQ(combined.size(), 64u);
    EXPECT_EQ(Tip(printer, 1, location), combined.substr(0, 63));
}

TEST(TrayTip, CombinedTextOfSixtyFiveFallsBackToThePrinterAlone)
{
    std::string printer(50, 'p');
    std::string location(12, 'l');
    EXPECT_EQ(Tip(printer, 1, location), printer);
    EXPECT_EQ(Tip("Laser-2", 1, std::string(255, 'x')), "Laser-2");
}

TEST(TrayTip, LongNamesShowTheirFirstSixtyThreeCharacters)
{
    std::string name;
    for (int i = 0; i < 254; i++)
        name += static_cast<char>('a' + i % 26);
    EXPECT_EQ(Tip(name.substr(0, 63), 0, ""), name.substr(0, 63));
    EXPECT_EQ(Tip(name.substr(0, 64), 0, ""), name.substr(0, 63));
    EXPECT_EQ(Tip(name, 0, ""), name.substr(0, 63));
    EXPECT_EQ(Tip(name, 1, std::string(254, 'L')), name.substr(0, 63));
}

}  // namespace
