// The settings store against Wine's real registry: layout, types and sizes,
// round trips, and stores edited by hand.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/state.h"
#include "locations/locations.h"
#include "testsupport.h"

namespace {

const char *kKey = "SOFTWARE\\Brennick\\Quorvel\\Settings";

struct Value {
    bool present = false;
    DWORD type = 0;
    std::string data;
};

Value ReadValue(const std::string &subkey, const char *name)
{
    Value v;
    HKEY h;
    std::string path = subkey.empty() ? kKey : std::string(kKey) + "\\" + subkey;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return v;
    char buf[4096];
    DWORD cb = sizeof(buf);
    if (RegQueryValueExA(h, name, NULL, &v.type, (BYTE *)buf, &cb) == ERROR_SUCCESS) {
        v.present = true;
        v.data.assign(buf, cb);
    }
    RegCloseKey(h);
    return v;
}

std::vector<std::string> SubKeys()
{
    std::vector<std::string> names;
    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kKey, 0, KEY_READ, &h) != ERROR_SUCCESS)
        return names;
    char name[256];
    for (DWORD i = 0; RegEnumKeyA(h, i, name, sizeof(name)) == ERROR_SUCCESS; i++)
        names.push_back(name);
    RegCloseKey(h);
    return names;
}

bool KeyExists(const std::string &path)
{
    HKEY h;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

void SetRaw(const std::string &subkey, const char *name, DWORD type, const std::string &data)
{
    std::string path = subkey.empty() ? kKey : std::string(kKey) + "\\" + subkey;
    HKEY h = CreateRegistryPath(HKEY_CURRENT_USER, path);
    ASSERT_NE(h, (HKEY)NULL) << subkey;
    RegSetValueExA(h, name, 0, type, (const BYTE *)data.data(), (DWORD)data.size());
    RegCloseKey(h);
}

void SetNumber(const std::string &subkey, const char *name, DWORD value)
{
    SetRaw(subkey, name, REG_DWORD, std::string((const char *)&value, 4));
}

void SetText(const std::string &subkey, const char *name, const std::string &text)
{
    SetRaw(subkey, name, REG_SZ, text + '\0');
}

void StoreLocation(int i, const char *name, const char *printer, const char *start, const char *finish)
{
    std::string sub = std::to_string(i);
    SetText(sub, "szLocationName", name);
    SetText(sub, "szPrinterName", printer);
    SetText(sub, "szIPStart", start);
    SetText(sub, "szIPFinish", finish);
}

std::string Dword(DWORD v) { return std::string((const char *)&v, 4); }

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Brennick");
        ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    }
    void TearDown() override { DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Brennick"); }

    static void Fill(LocationRecord *r, const char *name, const char *printer, const char *start,
                     const char *finish)
    {
        lstrcpynA(r->szLocationName, name, NAME_FIELD_SIZE);
        lstrcpynA(r->szPrinterName, printer, NAME_FIELD_SIZE);
        lstrcpynA(r->szIPStart, start, NAME_FIELD_SIZE);
        lstrcpynA(r->szIPFinish, finish, NAME_FIELD_SIZE);
    }
};

TEST_F(SettingsStore, FirstStartWithNoKeyTakesTheDefaultsAndWritesNothing)
{
    memset(&AutoSettings, 0x55, sizeof(AutoSettings));  // show what the load sets
    LoadSettings();
    EXPECT_EQ(AutoSettings.bSetByIP, 0);
    EXPECT_EQ(AutoSettings.bIfNoMatch, 0);
    EXPECT_EQ(AutoSettings.iIconAction, 0);
    EXPECT_EQ(AutoSettings.iAutoPrinterCount, 0);
    EXPECT_STREQ(AutoSettings.szNoMatchPrinter, "");
    EXPECT_FALSE(KeyExists("SOFTWARE\\Brennick"));
}

TEST_F(SettingsStore, SaveWritesTheExactLayoutAndLoadReadsItBack)
{
    AutoSettings.bSetByIP = 1;
    AutoSettings.bIfNoMatch = 1;
    AutoSettings.iIconAction = 1;
    AutoSettings.iAutoPrinterCount = 3;
    lstrcpynA(AutoSettings.szNoMatchPrinter, "Gamma", NAME_FIELD_SIZE);
    Fill(&AutoSettings.locations[0], "Office", "Alpha", "10.1.2.1", "10.1.2.254");
    Fill(&AutoSettings.locations[1], "Home", "Beta", "192.168.5.1", "192.168.5.254");
    Fill(&AutoSettings.locations[2], "No network", "", "127.0.0.1", "127.0.0.254");
    SaveSettings();

    struct Number { const char *name; DWORD value; };
    for (Number n : {Number{"bIfNoMatch", 1}, Number{"bSetByIP", 1}, Number{"iAutoPrinterCount", 3},
                     Number{"iIconAction", 1}}) {
        Value v = ReadValue("", n.name);
        EXPECT_EQ(v.type, (DWORD)REG_DWORD) << n.name;
        EXPECT_EQ(v.data, Dword(n.value)) << n.name;
    }
    Value noMatch = ReadValue("", "szNoMatchPrinter");
    EXPECT_EQ(noMatch.type, (DWORD)REG_SZ);
    EXPECT_EQ(noMatch.data, std::string("Gamma\0", 6));  // length + 1 bytes

    EXPECT_EQ(SubKeys(), (std::vector<std::string>{"0", "1", "2"}));
    EXPECT_EQ(ReadValue("1", "szLocationName").data, std::string("Home\0", 5));
    EXPECT_EQ(ReadValue("1", "szIPFinish").data, std::string("192.168.5.254\0", 14));
    Value empty = ReadValue("2", "szPrinterName");
    EXPECT_EQ(empty.type, (DWORD)REG_SZ);
    EXPECT_EQ(empty.data, std::string("\0", 1)) << "an empty text is its NUL alone";

    AutoSettingsRecord saved = AutoSettings;
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    LoadSettings();
    EXPECT_EQ(memcmp(&AutoSettings, &saved, sizeof(saved)), 0);
}

TEST_F(SettingsStore, AShorterListAndForeignSubkeysLeaveNothingStale)
{
    AutoSettings.iAutoPrinterCount = 4;
    for (int i = 0; i < 4; i++)
        Fill(&AutoSettings.locations[i], ("L" + std::to_string(i)).c_str(), "Alpha", "1.0.0.0", "1.0.0.9");
    SaveSettings();
    // Keys the program never wrote, one with keys of its own.
    SetText("junk", "x", "y");
    SetText("7\\deeper\\still", "x", "y");
    ASSERT_EQ(SubKeys().size(), 6u);

    AutoSettings.iAutoPrinterCount = 1;
    SaveSettings();
    EXPECT_EQ(SubKeys(), std::vector<std::string>{"0"});
    EXPECT_EQ(ReadValue("0", "szLocationName").data, std::string("L0\0", 3));

    AutoSettings.iAutoPrinterCount = 0;
    SaveSettings();
    EXPECT_TRUE(SubKeys().empty());
    EXPECT_EQ(ReadValue("", "iAutoPrinterCount").data, Dword(0));
}

TEST_F(SettingsStore, SubkeysWithTheLongestNamesTheRegistryAllowsAreDeletedToo)
{
    // Subkeys "0", "1" and one named with 255 characters (with such a subkey
    // of its own) under a count of 3: the list loads, and a save must leave
    // exactly its own three subkeys, or the next start drops the list.
    const std::string longName(255, 'k');
    SetNumber("", "iAutoPrinterCount", 3);
    StoreLocation(0, "Office", "Alpha", "10.0.0.1", "10.0.0.9");
    StoreLocation(1, "Home", "Beta", "10.0.1.1", "10.0.1.9");
    SetText(longName + "\\" + longName, "x", "y");
    ASSERT_EQ(SubKeys().size(), 3u);
    LoadSettings();
    ASSERT_EQ(AutoSettings.iAutoPrinterCount, 3);

    SaveSettings();
    EXPECT_EQ(SubKeys(), (std::vector<std::string>{"0", "1", "2"}));
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    LoadSettings();
    EXPECT_EQ(AutoSettings.iAutoPrinterCount, 3);
    EXPECT_STREQ(AutoSettings.locations[1].szLocationName, "Home");
}

TEST_F(SettingsStore, HandEditedListsLoadAsFarAsTheyAgree)
{
    // Count 2 with subkeys "0" and "1": two locations, in that order.
    SetNumber("", "iAutoPrinterCount", 2);
    StoreLocation(0, "Office", "Alpha", "10.0.0.1", "10.0.0.9");
    StoreLocation(1, "Home", "Beta", "10.0.1.1", "10.0.1.9");
    LoadSettings();
    EXPECT_EQ(AutoSettings.iAutoPrinterCount, 2);
    EXPECT_STREQ(AutoSettings.locations[0].szLocationName, "Office");
    EXPECT_STREQ(AutoSettings.locations[1].szPrinterName, "Beta");

    // A third subkey: the list is disregarded.
    StoreLocation(2, "Lab", "Gamma", "10.0.2.1", "10.0.2.9");
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    LoadSettings();
    EXPECT_EQ(AutoSettings.iAutoPrinterCount, 0);
}

TEST_F(SettingsStore, AMissingNumberedSubkeyLeavesItsRecordEmpty)
{
    SetNumber("", "iAutoPrinterCount", 2);
    StoreLocation(0, "Office", "Alpha", "10.0.0.1", "10.0.0.9");
    StoreLocation(5, "Five", "Beta", "10.0.5.1", "10.0.5.9");
    LoadSettings();
    EXPECT_EQ(AutoSettings.iAutoPrinterCount, 2);
    EXPECT_STREQ(AutoSettings.locations[0].szLocationName, "Office");
    EXPECT_STREQ(AutoSettings.locations[1].szLocationName, "");
}

TEST_F(SettingsStore, MoreThanTenLocationsLoadTheFirstTen)
{
    SetNumber("", "iAutoPrinterCount", 12);
    for (int i = 0; i < 12; i++)
        StoreLocation(i, ("L" + std::to_string(i)).c_str(), "Alpha", "1.0.0.0", "1.0.0.9");
    LoadSettings();
    EXPECT_EQ(AutoSettings.iAutoPrinterCount, 10);
    EXPECT_STREQ(AutoSettings.locations[9].szLocationName, "L9");
    EXPECT_STREQ(AutoSettings.szNoMatchPrinter, "") << "the record after the list was overrun";
}

TEST_F(SettingsStore, FlagsAndNumbersAreTakenAsStored)
{
    SetNumber("", "bSetByIP", 7);
    SetRaw("", "bIfNoMatch", REG_BINARY, std::string("\x01", 1));
    SetRaw("", "iIconAction", REG_BINARY, std::string(8, '\x02'));  // too long: ignored
    LoadSettings();
    EXPECT_EQ(AutoSettings.bSetByIP, 7);
    EXPECT_EQ(AutoSettings.bIfNoMatch, 1);
    EXPECT_EQ(AutoSettings.iIconAction, 0);
}

TEST_F(SettingsStore, TextsWithoutTheirNulOrTooLongEndInsideTheirFields)
{
    SetRaw("", "szNoMatchPrinter", REG_SZ, "Beta");  // no NUL stored
    SetNumber("", "iAutoPrinterCount", 1);
    StoreLocation(0, "Office", "Alpha", "10.0.0.1", "10.0.0.9");
    SetRaw("0", "szLocationName", REG_SZ, std::string(300, 'n') + '\0');
    SetRaw("0", "szPrinterName", REG_BINARY, std::string(255, 'p'));
    LoadSettings();
    EXPECT_STREQ(AutoSettings.szNoMatchPrinter, "Beta");
    EXPECT_EQ(std::string(AutoSettings.locations[0].szLocationName), std::string(254, 'n'));
    EXPECT_EQ(std::string(AutoSettings.locations[0].szPrinterName), std::string(254, 'p'));
    EXPECT_STREQ(AutoSettings.locations[0].szIPStart, "10.0.0.1");
}

TEST_F(SettingsStore, ALoadNeverWritesTheStore)
{
    SetNumber("", "iAutoPrinterCount", 2);
    StoreLocation(0, "Office", "Alpha", "10.0.0.1", "10.0.0.9");
    StoreLocation(1, "Home", "Beta", "10.0.1.1", "10.0.1.9");
    StoreLocation(2, "Lab", "Gamma", "10.0.2.1", "10.0.2.9");
    LoadSettings();  // disregards the list, but must not lose it
    EXPECT_EQ(SubKeys().size(), 3u);
    EXPECT_EQ(ReadValue("", "iAutoPrinterCount").data, Dword(2));
}

}  // namespace
