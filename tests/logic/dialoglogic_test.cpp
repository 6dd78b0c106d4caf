// The location dialog's OK checks and Auto range, and the row limits of the
// configuration dialog's list.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#else
#include <arpa/inet.h>
#endif

#include "core/records.h"
#include "dialogs/dialoglogic.h"
#include "locations/settingslogic.h"

namespace {

int Check(const char *name, const char *start, const char *finish, const char *printer)
{
    return CheckLocationFields(name, start, finish, printer);
}

TEST(LocationChecks, TheNameComesFirstThenTheRangeThenThePrinter)
{
    // Every field wrong: only the name is reported.
    EXPECT_EQ(Check("", "10.0.0.x", "", ""), LOCATION_NO_NAME);
    EXPECT_EQ(Check("", "10.0.0.1", "10.0.0.9", "Alpha"), LOCATION_NO_NAME);
    // Name present: the range before the printer.
    EXPECT_EQ(Check("Office", "10.0.0.x", "10.0.0.9", ""), LOCATION_BAD_RANGE);
    EXPECT_EQ(Check("Office", "10.0.0.1", "", ""), LOCATION_BAD_RANGE);
    EXPECT_EQ(Check("Office", "10.0.0.1", "10.0.0.9", ""), LOCATION_NO_PRINTER);
    EXPECT_EQ(Check("Office", "10.0.0.1", "10.0.0.9", "Alpha"), LOCATION_FIELDS_OK);
    // A name of blanks is a name; nothing is trimmed.
    EXPECT_EQ(Check(" ", "10.0.0.1", "10.0.0.9", "Alpha"), LOCATION_FIELDS_OK);
}

TEST(LocationChecks, EachFailureHasItsOwnMessage)
{
    EXPECT_STREQ(LocationCheckMessage(LOCATION_NO_NAME), "Please enter a Location Name");
    EXPECT_STREQ(LocationCheckMessage(LOCATION_BAD_RANGE), "Invalid IP range");
    EXPECT_STREQ(LocationCheckMessage(LOCATION_NO_PRINTER), "Please choose a valid printer");
    EXPECT_EQ(LocationCheckMessage(LOCATION_FIELDS_OK), nullptr);
}

// A bound as location detection reads stored text: the sockets parser, in host order.
uint32_t AsDetectionReadsIt(const char *text)
{
    return ntohl(inet_addr(text));
}

TEST(LocationChecks, AnAddressIsFourPlainDecimalNumbers)
{
    struct Case { const char *text; bool ok; uint32_t value; };
    const Case cases[] = {
        {"10.0.0.1", true, 0x0A000001u},
        {"0.0.0.0", true, 0},
        {"255.255.255.255", true, 0xFFFFFFFFu},  // the sockets parser's failure value, typed
        {"192.168.100.10", true, 0xC0A8640Au},
        {"010.0.0.1", false, 0},                 // octal to the sockets parser: 8.0.0.1
        {"10.0.0.00", false, 0},
        {"0x0a.0.0.1", false, 0},
        {"1.2.3", false, 0},                     // shortened: 1.2.0.3
        {"10", false, 0},
        {" 10.0.0.1", false, 0},
        {"10.0.0.1 ", false, 0},
        {" ", false, 0},                         // 0.0.0.0 to some sockets parsers
        {"", false, 0},
        {"256.1.1.1", false, 0},
        {"1.2.3.4.5", false, 0},
        {"1.2.3.1000", false, 0},
        {"10..0.1", false, 0},
        {"10.0.0.", false, 0},
        {"+1.2.3.4", false, 0},
        {"10.0.0.x", false, 0},
    };
    for (const Case &c : cases) {
        uint32_t value = 0x12345678u;
        EXPECT_EQ(ParseAddressText(c.text, &value) != 0, c.ok) << '"' << c.text << '"';
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
            // Detection, reading the stored text its own way, sees the same address.
            EXPECT_EQ(AsDetectionReadsIt(c.text), c.value) << c.text;
        }
        // Either bound alone decides.
        EXPECT_EQ(Check("n", c.text, "255.255.255.255", "p") == LOCATION_FIELDS_OK, c.ok) << c.text;
        EXPECT_EQ(Check("n", "0.0.0.0", c.text, "p") == LOCATION_FIELDS_OK, c.ok) << c.text;
    }
}

TEST(LocationChecks, TheFirstAddressMayNotLieAboveTheLast)
{
    EXPECT_EQ(Check("n", "10.0.0.200", "10.0.0.10", "p"), LOCATION_BAD_RANGE);
    EXPECT_EQ(Check("n", "10.0.5.254", "10.0.5.1", ""), LOCATION_BAD_RANGE);
    // Compared unsigned: 192.168.0.1 lies above 10.0.0.1.
    EXPECT_EQ(Check("n", "192.168.0.1", "10.0.0.1", "p"), LOCATION_BAD_RANGE);
    EXPECT_EQ(Check("n", "10.0.0.1", "192.168.0.1", "p"), LOCATION_FIELDS_OK);
    EXPECT_EQ(Check("n", "10.0.0.7", "10.0.0.7", "p"), LOCATION_FIELDS_OK);
}

// An address in network byte order, whatever the machine's byte order.
uint32_t NetworkOrder(unsigned char a, unsigned char b, unsigned char c, unsigned char d)
{
    const unsigned char bytes[4] = {a, b, c, d};
    uint32_t ip;
    memcpy(&ip, bytes, sizeof(ip));
    return ip;
}

struct AutoRange {
    std::string start, finish;
};

AutoRange Auto(uint32_t ip, size_t cch = NAME_FIELD_SIZE)
{
    // Room past the given size shows whether anything is written there.
    char szStart[NAME_FIELD_SIZE + 16], szFinish[NAME_FIELD_SIZE + 16];
    memset(szStart, 'X', sizeof(szStart));
    memset(szFinish, 'X', sizeof(szFinish));
    ComposeAutoRange(ip, szStart, szFinish, cch);
    EXPECT_NE(memchr(szStart, '\0', cch), nullptr);
    EXPECT_NE(memchr(szFinish, '\0', cch), nullptr);
    for (size_t i = cch; i < sizeof(szStart); i++) {
        EXPECT_EQ(szStart[i], 'X') << "written past the buffer at " << i;
        EXPECT_EQ(szFinish[i], 'X') << "written past the buffer at " << i;
    }
    return {szStart, szFinish};
}

TEST(AutoRange, KeepsTheFirstThreePartsAndSpansOneToTwoFiftyFour)
{
    AutoRange r = Auto(NetworkOrder(192, 168, 5, 17));
    EXPECT_EQ(r.start, "192.168.5.1");
    EXPECT_EQ(r.finish, "192.168.5.254");
    r = Auto(NetworkOrder(10, 255, 0, 255));
    EXPECT_EQ(r.start, "10.255.0.1");
    EXPECT_EQ(r.finish, "10.255.0.254");
    // Byte order matters: the first part is the network's, not the host's.
    r = Auto(NetworkOrder(17, 5, 168, 192));
    EXPECT_EQ(r.start, "17.5.168.1");
}

TEST(AutoRange, WithNoAddressSpansZeroNetwork)
{
    AutoRange r = Auto(0);
    EXPECT_EQ(r.start, "0.0.0.1");
    EXPECT_EQ(r.finish, "0.0.0.254");
    EXPECT_EQ(Check("n", r.start.c_str(), r.finish.c_str(), "p"), LOCATION_FIELDS_OK);
}

TEST(AutoRange, FitsTheAddressFieldsAndIsCutInASmallBuffer)
{
    AutoRange r = Auto(NetworkOrder(255, 255, 255, 255), ADDRESS_TEXT_LIMIT + 1);
    EXPECT_EQ(r.start, "255.255.255.1");
    EXPECT_EQ(r.finish, "255.255.255.254");
    EXPECT_LE(r.finish.size(), (size_t)ADDRESS_TEXT_LIMIT);
    r = Auto(NetworkOrder(192, 168, 5, 17), 8);
    EXPECT_EQ(r.start, "192.168");
    EXPECT_EQ(r.finish, "192.168");
}

TEST(LocationPresets, NoNetworkIsALoopbackRangeTheChecksAccept)
{
    EXPECT_EQ(Check(NO_NETWORK_NAME, NO_NETWORK_START, NO_NETWORK_FINISH, "p"), LOCATION_FIELDS_OK);
}

TEST(LocationList, AddStopsAtTenRowsBeforeTheListRefusesAny)
{
    for (int rows = 0; rows <= 12; rows++) {
        bool addOpensTheDialog = !IsLocationListFull(rows);
        EXPECT_EQ(addOpensTheDialog, rows < MAX_LOCATIONS) << rows;
        // Whatever Add lets through, the list still takes.
        if (addOpensTheDialog) {
            EXPECT_TRUE(CanInsertLocationRow(rows)) << rows;
        }
    }
    // The list's own guard refuses only past an eleventh row.
    EXPECT_TRUE(CanInsertLocationRow(MAX_LOCATIONS));
    EXPECT_FALSE(CanInsertLocationRow(MAX_LOCATIONS + 1));
}

TEST(LocationList, OkCopiesOnlyCountsTheTenRecordsCanHold)
{
    for (int count = -3; count <= 14; count++) {
        bool usable = IsUsableRowCount(count) != 0;
        EXPECT_EQ(usable, count >= 0 && count <= MAX_LOCATIONS) << count;
    }
}

TEST(LocationList, FillingShowsAtMostTenLocations)
{
    EXPECT_EQ(CapLocationCount(7), 7);
    EXPECT_EQ(CapLocationCount(MAX_LOCATIONS + 1), MAX_LOCATIONS);
    // A negative count fills no row and is left for the caller's loop to skip.
    EXPECT_EQ(CapLocationCount(-2), -2);
}

}  // namespace
