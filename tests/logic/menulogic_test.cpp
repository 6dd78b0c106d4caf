// Menu texts of printer rows: every "&" shown as itself, and how a text is cut.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/menulogic.h"

namespace {

struct Composed {
    std::string text;
    bool whole;
};

Composed Compose(const std::string &name, size_t cch = MENU_TEXT_SIZE)
{
    // Room past the given size shows whether anything is written there.
    char szText[MENU_TEXT_SIZE + 8];
    memset(szText, 'X', sizeof(szText));
    int whole = ComposeMenuText(name.c_str(), szText, cch);
    EXPECT_NE(memchr(szText, '\0', cch), nullptr) << "not terminated in " << cch;
    for (size_t i = cch; i < sizeof(szText); i++)
        EXPECT_EQ(szText[i], 'X') << "written past " << cch << " at " << i;
    return {szText, whole != 0};
}

TEST(MenuText, DoublesEveryAmpersandAndLeavesTheRestAlone)
{
    const struct { const char *name, *text; } cases[] = {
        {"R&D Laser", "R&&D Laser"},
        {"Sales & Marketing", "Sales && Marketing"},
        {"&&", "&&&&"},
        {"Laser&", "Laser&&"},
        {"Laser-2 (Floor 3)", "Laser-2 (Floor 3)"},
        {"", ""},
    };
    for (const auto &c : cases) {
        Composed r = Compose(c.name);
        EXPECT_EQ(r.text, c.text) << c.name;
        EXPECT_TRUE(r.whole) << c.name;
    }
}

TEST(MenuText, TheLongestNameOfAmpersandsFitsWhole)
{
    std::string name(NAME_FIELD_SIZE - 1, '&');
    Composed r = Compose(name);
    EXPECT_TRUE(r.whole);
    EXPECT_EQ(r.text, std::string(2 * name.size(), '&'));
}

TEST(MenuText, ASmallBufferCutsBeforeAPairItCannotHold)
{
    EXPECT_EQ(Compose("a&b", 3).text, "a");
    EXPECT_FALSE(Compose("a&b", 3).whole);
    EXPECT_EQ(Compose("a&b", 4).text, "a&&");
    EXPECT_FALSE(Compose("a&b", 4).whole);
    EXPECT_TRUE(Compose("a&b", 5).whole);
    EXPECT_EQ(Compose("ab", 1).text, "");
}

}  // namespace
