// The notice after a location's switch: the record each shell takes, the
// text when names are long (also in a double-byte code page), and whether
// there is a notice at all.
#include <gtest/gtest.h>
#include <algorithm>
#include <cstring>
#include <string>

#include "tray/noticelogic.h"

namespace {

TEST(SwitchNotice, RecordSizeAndFlagsFollowTheShellsVersion)
{
    const unsigned long INFO = NOTICE_FLAG_INFO, NOSOUND = NOTICE_FLAG_NOSOUND,
                        QUIET = NOTICE_FLAG_RESPECT_QUIET_TIME;
    struct Case { unsigned long major, minor, cbSize, flags; } cases[] = {
        {4, 0, 0, 0},                        // Windows 95, NT 4: no balloon
        {4, 72, 0, 0},                       // Windows 98
        {5, 0, 488, INFO},                   // Windows 2000, Me
        {5, 50, 488, INFO},
        {6, 0, 488, INFO | NOSOUND},         // XP and Vista
        {6, 1, 488, INFO | NOSOUND | QUIET}, // Windows 7
        {6, 2, 488, INFO | NOSOUND | QUIET},
        {10, 0, 488, INFO | NOSOUND | QUIET},
    };
    for (const Case &c : cases) {
        // The second layout's size is the caller's: 488 bytes on 32-bit Windows.
        NoticeRecordChoice choice = ChooseNoticeRecord(c.major, c.minor, 488);
        EXPECT_EQ(choice.cbSize, c.cbSize) << c.major << "." << c.minor;
        EXPECT_EQ(choice.dwInfoFlags, c.flags) << c.major << "." << c.minor;
    }
}

std::string Notice(const std::string &printer, const char *location, const unsigned char *ranges)
{
    char text[NOTICE_TEXT_SIZE];
    std::fill(text, text + sizeof(text), 'X');
    ComposeSwitchNotice(printer.c_str(), location, ranges, text);
    EXPECT_NE(memchr(text, '\0', sizeof(text)), nullptr) << "notice not terminated in its field";
    return std::string(text, strnlen(text, sizeof(text)));
}

std::string Repeat(const std::string &unit, size_t times)
{
    std::string s;
    while (times-- > 0)
        s += unit;
    return s;
}

TEST(SwitchNotice, TextNamesPrinterAndLocationAndCutsLongNamesBetweenCharacters)
{
    // Shift-JIS: 0x81-0x9F and 0xE0-0xFC lead; a trail byte may itself look
    // like a lead byte (0x81).
    const unsigned char sjis[12] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0};
    const unsigned char none[12] = {0};
    const std::string wide = "\x83\x76", trailLikeLead = "\x81\x81";
    const std::string longName(254, 'p'), longPlace(254, 'l'), wideLocation = "A" + Repeat(wide, 126);
    struct Case {
        const char *what;
        std::string printer;
        const char *location;
        const unsigned char *ranges;
        size_t printerKept;  // bytes of the printer's name kept; "..." follows when cut
        size_t locationKept;
    } cases[] = {
        {"short names", "Beta", "Office", sjis, 4, 6},
        {"no-match printer", "Alpha", nullptr, sjis, 5, 0},
        {"both names long share the room", longName, longPlace.c_str(), none, 111, 110},
        {"a short location leaves the rest to the printer", longName, "Office", none, 218, 6},
        {"long printer, no location matched", longName, nullptr, none, 215, 0},
        {"double-byte name cut before its character", Repeat(wide, 127), nullptr, sjis, 214, 0},
        {"one single byte first moves the cut", "A" + Repeat(wide, 126), nullptr, sjis, 215, 0},
        {"trail bytes that look like lead bytes", "AB" + Repeat(trailLikeLead, 126), nullptr, sjis,
         214, 0},
        {"the same bytes in a single-byte code page", Repeat(wide, 127), nullptr, none, 215, 0},
        {"double-byte location, long printer", longName, wideLocation.c_str(), sjis, 111, 109},
    };
    for (const Case &c : cases) {
        std::string printer = c.printer.substr(0, c.printerKept);
        if (c.printerKept < c.printer.size())
            printer += "...";
        std::string expected = "Default printer: " + printer + "\n";
        if (c.location == nullptr) {
            expected += "No location matched";
        } else {
            std::string location(c.location);
            expected += "Location: " + location.substr(0, c.locationKept);
            if (c.locationKept < location.size())
                expected += "...";
        }
        std::string text = Notice(c.printer, c.location, c.ranges);
        EXPECT_EQ(text, expected) << c.what;
        EXPECT_LE(text.size(), 255u) << c.what;
    }
}

TEST(SwitchNotice, OnlyALocationsSwitchToAnotherPrinterIsToldAndOnlyWhenWanted)
{
    struct Case { int by; const char *before, *after; int setting; int expected; } cases[] = {
        {SWITCH_BY_LOCATION, "Alpha", "Beta", 1, 1},
        {SWITCH_BY_LOCATION, "Not set", "Beta", 1, 1},
        {SWITCH_BY_LOCATION, "Alpha", "Beta", 7, 1},  // any non-zero flag
        {SWITCH_BY_MENU, "Alpha", "Beta", 1, 0},
        {SWITCH_BY_LOCATION, "Beta", "Beta", 1, 0},   // already the default, or the switch failed
        {SWITCH_BY_LOCATION, "Alpha", "Beta", 0, 0},
        {SWITCH_BY_MENU, "Beta", "Beta", 0, 0},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(DecideSwitchNotice(c.by, c.before, c.after, c.setting) != 0, c.expected != 0)
            << c.by << " " << c.before << " -> " << c.after << " setting " << c.setting;
    }
}

}  // namespace
