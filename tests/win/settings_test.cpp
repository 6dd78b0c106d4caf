// The settings store against Wine's real registry: layout, types and sizes,
// round trips, stores edited by hand, and a store an administrator made
// read-only, also under the real program.
#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>

#include <functional>
#include <string>
#include <vector>

#include "core/state.h"
#include "locations/locations.h"
#include "res/resource.h"
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

// Gives a key and every key below it the permissions of an SDDL text, as an
// administrator does for users. Wine's registry checks them as Windows does
// when a key is opened or created for writing (ERROR_ACCESS_DENIED), and
// the owner may always change them back. Wine is kinder in one thing: it
// lets a locked key be deleted, which Windows refuses without DELETE; no
// test here leans on that.
void SetKeyTreePermissions(HKEY hParent, const std::string &name, PSECURITY_DESCRIPTOR sd)
{
    HKEY h;
    // One level at a time: a path through subkeys with long names may exceed
    // what the 8-bit registry calls take.
    ASSERT_EQ(RegOpenKeyExA(hParent, name.c_str(), 0, KEY_READ | WRITE_DAC, &h), ERROR_SUCCESS) << name;
    std::vector<std::string> children;
    char child[256];
    for (DWORD i = 0; RegEnumKeyA(h, i, child, sizeof(child)) == ERROR_SUCCESS; i++)
        children.push_back(child);
    EXPECT_EQ(RegSetKeySecurity(h, DACL_SECURITY_INFORMATION, sd), ERROR_SUCCESS) << name;
    for (const std::string &c : children)
        SetKeyTreePermissions(h, c, sd);
    RegCloseKey(h);
}

void SetPermissions(const std::string &path, const char *sddl)
{
    PSECURITY_DESCRIPTOR sd = NULL;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, NULL));
    SetKeyTreePermissions(HKEY_CURRENT_USER, path, sd);
    LocalFree(sd);
}

BOOL CALLBACK CollectBoxStatic(HWND hwnd, LPARAM lParam)
{
    auto *out = reinterpret_cast<std::pair<std::string, HWND> *>(lParam);
    char cls[16] = "", text[1024] = "";
    GetClassNameA(hwnd, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") != 0)
        return TRUE;
    if ((GetWindowLongA(hwnd, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
        out->second = hwnd;
    } else if (out->first.empty()) {
        GetWindowTextA(hwnd, text, sizeof(text));
        out->first = text;
    }
    return TRUE;
}

// A message box's text and the window of its icon.
std::pair<std::string, HWND> MessageBoxContents(HWND hBox)
{
    std::pair<std::string, HWND> box("", (HWND)NULL);
    EnumChildWindows(hBox, CollectBoxStatic, (LPARAM)&box);
    return box;
}

// The pixels of a w x h area: captured from the screen, or an icon drawn on
// the given background.
std::vector<DWORD> Pixels(int w, int h, const RECT *screenArea, HICON hIcon, DWORD background)
{
    BITMAPINFO bi = TopDownBitmapInfo(w, h);
    void *bits = NULL;
    HDC screen = GetDC(NULL);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bmp = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, NULL, 0);
    HGDIOBJ old = SelectObject(dc, bmp);
    std::vector<DWORD> out((size_t)w * h, background);
    if (screenArea != NULL) {
        BitBlt(dc, 0, 0, w, h, screen, screenArea->left, screenArea->top, SRCCOPY);
    } else {
        memcpy(bits, out.data(), out.size() * sizeof(DWORD));
        DrawIconEx(dc, 0, 0, hIcon, w, h, 0, NULL, DI_NORMAL);
    }
    GdiFlush();
    memcpy(out.data(), bits, out.size() * sizeof(DWORD));
    SelectObject(dc, old);
    DeleteObject(bmp);
    DeleteDC(dc);
    ReleaseDC(NULL, screen);
    return out;
}

// Which standard icon a window of another process shows, told by its pixels
// (an icon's handle means nothing in another process): the one of warning,
// error, information and question that, drawn here on the same background,
// differs least; "" when none comes close.
std::string ShownStandardIcon(HWND hIconWindow)
{
    RECT r;
    if (hIconWindow == NULL || !GetWindowRect(hIconWindow, &r))
        return "";
    int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0)
        return "";
    std::vector<DWORD> shown = Pixels(w, h, &r, NULL, 0);
    const std::pair<const char *, LPCSTR> kIcons[] = {
        {"warning", IDI_WARNING}, {"error", IDI_ERROR}, {"information", IDI_INFORMATION},
        {"question", IDI_QUESTION}};
    std::string best;
    size_t fewest = shown.size() / 10;  // at most a tenth of the pixels may differ
    for (const auto &icon : kIcons) {
        std::vector<DWORD> drawn = Pixels(w, h, NULL, LoadIconA(NULL, icon.second), shown[0]);
        size_t differ = 0;
        for (size_t i = 0; i < shown.size(); i++)
            differ += (shown[i] & 0xFFFFFF) != (drawn[i] & 0xFFFFFF);
        if (differ < fewest) {
            fewest = differ;
            best = icon.first;
        }
    }
    return best;
}

// Everyone may read, nobody may change; and everything open again.
const char kReadOnly[] = "D:P(A;OICI;KR;;;WD)";
const char kFullAccess[] = "D:P(A;OICI;KA;;;WD)";

class SettingsStore : public ::testing::Test {
protected:
    void SetUp() override
    {
        DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Brennick");
        ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    }
    void TearDown() override
    {
        if (KeyExists(kKey))
            SetPermissions(kKey, kFullAccess);
        DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Brennick");
    }

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

// Makes the settings key and its subkeys "0" and "1" volatile: such a key
// takes no lasting subkey, so a list of three cannot be written over them.
void MakeVolatileStore()
{
    DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
    HKEY h, hSub;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, NULL, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, NULL,
                              &h, NULL), ERROR_SUCCESS);
    for (const char *sub : {"0", "1"}) {
        ASSERT_EQ(RegCreateKeyExA(h, sub, 0, NULL, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, NULL, &hSub, NULL),
                  ERROR_SUCCESS);
        RegCloseKey(hSub);
    }
    RegCloseKey(h);
    SetNumber("", "iAutoPrinterCount", 2);
    StoreLocation(0, "Office", "Alpha", "10.0.0.1", "10.0.0.9");
    StoreLocation(1, "Home", "Beta", "10.0.1.1", "10.0.1.9");
}

// What hand edits leave in the first location, which a save empties before
// it writes: a subkey with the longest name and a subkey of its own, a long
// text, a number as text, a value the program never wrote.
void LeaveHandEditsInTheFirstLocation()
{
    const std::string longName(255, 'k');
    SetText("0\\" + longName, "x", std::string(5000, 'y'));
    SetText("0\\" + longName + "\\" + longName, std::string(300, 'v').c_str(), "deep");
    SetText("0", "szIPStart", std::string(3000, '7'));
    SetRaw("0", "szIPFinish", REG_BINARY, std::string("\x01\x00\xff", 3));
    SetText("0", "", "the key's own value");
    SetText("", "bSetByIP", "1");
}

TEST_F(SettingsStore, AReadOnlyKeyLoadsAndASaveRefusedInAnyPartSaysSo)
{
    AutoSettings.bSetByIP = 1;
    AutoSettings.iAutoPrinterCount = 2;
    Fill(&AutoSettings.locations[0], "Office", "Alpha", "10.0.0.1", "10.0.0.9");
    Fill(&AutoSettings.locations[1], "Home", "Beta", "10.0.1.1", "10.0.1.9");
    ASSERT_TRUE(SaveSettings());
    const AutoSettingsRecord saved = AutoSettings;
    SetPermissions(kKey, kReadOnly);
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    LoadSettings();
    EXPECT_EQ(memcmp(&AutoSettings, &saved, sizeof(saved)), 0) << "a read-only key must load";

    // Every save below changes the flags and both rows and adds a third,
    // and each is refused somewhere: afterwards the store is as it was,
    // byte for byte, whatever part refused.
    AutoSettingsRecord edit = saved;
    edit.bSetByIP = 0;
    edit.bIfNoMatch = 1;
    edit.iIconAction = 1;
    edit.bNotifyOnSwitch = !saved.bNotifyOnSwitch;
    lstrcpynA(edit.szNoMatchPrinter, "Gamma", NAME_FIELD_SIZE);
    edit.iAutoPrinterCount = 3;
    Fill(&edit.locations[0], "Lab", "Gamma", "10.0.2.1", "10.0.2.9");
    Fill(&edit.locations[1], "Yard", "Alpha", "10.0.3.1", "10.0.3.9");
    Fill(&edit.locations[2], "Shed", "Beta", "10.0.4.1", "10.0.4.9");
    const std::string locationKey0 = std::string(kKey) + "\\0", locationKey1 = std::string(kKey) + "\\1";
    struct Refusal {
        const char *what;
        std::function<void()> make;
    };
    const Refusal refusals[] = {
        {"the whole key is read-only", [] { SetPermissions(kKey, kReadOnly); }},
        {"the locations are read-only, the key's values are not",
         [&] {
             SetPermissions(locationKey0, kReadOnly);
             SetPermissions(locationKey1, kReadOnly);
         }},
        {"the second location is read-only, after the first was rewritten",
         [&] {
             LeaveHandEditsInTheFirstLocation();
             SetPermissions(locationKey1, kReadOnly);
         }},
        {"a volatile key and locations, where a third location cannot last", [] { MakeVolatileStore(); }},
    };
    for (const Refusal &refusal : refusals) {
        SetPermissions(kKey, kFullAccess);
        DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
        AutoSettings = saved;
        ASSERT_TRUE(SaveSettings());
        refusal.make();
        const std::string before = DumpRegistryTree(HKEY_CURRENT_USER, kKey);
        EXPECT_EQ(WriteSettings(&edit), SAVE_REFUSED) << refusal.what;
        EXPECT_EQ(DumpRegistryTree(HKEY_CURRENT_USER, kKey), before) << refusal.what;
    }

    // Open again, the same store takes the save whole.
    SetPermissions(kKey, kFullAccess);
    DeleteRegistryTree(HKEY_CURRENT_USER, kKey);
    AutoSettings.iAutoPrinterCount = 1;
    EXPECT_TRUE(SaveSettings());
    EXPECT_EQ(SubKeys(), std::vector<std::string>{"0"});
    EXPECT_EQ(ReadValue("", "iAutoPrinterCount").data, Dword(1));
}

// An administrator's read-only locations under the real program: they apply
// at start; OK in the configuration dialog says the settings could not be
// saved, leaves the key as it was and the dialog open with the user's edit,
// and the settings in force stay as they were.
TEST(LockedSettings, LocationsApplyAndOkWarnsKeepsTheKeyAndTheSettingsInForce)
{
    const char kConfigTitle[] = "Quorvel - Configuration";
    DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Brennick");
    ScopedDeviceEntry restore;
    ScopedTrayKeeper keepTray;
    WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
    SetNumber("", "bSetByIP", 1);
    SetNumber("", "iAutoPrinterCount", 1);
    // Every host address lies in this range, loopback included.
    StoreLocation(0, "Anywhere", "Gamma", "0.0.0.0", "255.255.255.254");
    SetPermissions(kKey, kReadOnly);
    const std::string locked = DumpRegistryTree(HKEY_CURRENT_USER, kKey);

    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    EXPECT_TRUE(WaitFor([] { return ReadDeviceEntry().rfind("Gamma,", 0) == 0; }, 15000))
        << "the locked location did not apply: " << ReadDeviceEntry();

    PostMessageA(q.Window(), WM_COMMAND, IDM_CONFIG, 0);
    HWND hDlg = NULL;
    ASSERT_TRUE(WaitFor([&] { return (hDlg = FindDialogOfProcess(q.ProcessId(), kConfigTitle)) != NULL; },
                        10000));
    ASSERT_TRUE(ClickWindow(GetDlgItem(hDlg, IDC_SETBYIP)));
    ASSERT_TRUE(WaitFor([&] { return SendDlgItemMessageA(hDlg, IDC_SETBYIP, BM_GETCHECK, 0, 0) == 0; }, 5000));
    ASSERT_TRUE(ClickWindow(GetDlgItem(hDlg, IDOK)));
    HWND hBox = NULL;
    ASSERT_TRUE(WaitFor([&] { return (hBox = FindDialogOfProcess(q.ProcessId(), "Error")) != NULL; }, 10000))
        << "no warning";
    std::pair<std::string, HWND> box = MessageBoxContents(hBox);
    EXPECT_EQ(box.first.rfind("The settings could not be saved", 0), 0u) << box.first;
    Sleep(300);  // let it paint
    EXPECT_EQ(ShownStandardIcon(box.second), "warning");
    PostMessageA(hBox, WM_COMMAND, IDOK, 0);
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(hBox); }, 5000));
    Sleep(300);
    EXPECT_TRUE(IsWindow(hDlg)) << "the dialog closed and dropped the edit";
    EXPECT_EQ(SendDlgItemMessageA(hDlg, IDC_SETBYIP, BM_GETCHECK, 0, 0), 0) << "the edit was lost";
    EXPECT_EQ(DumpRegistryTree(HKEY_CURRENT_USER, kKey), locked);
    // Automatic switching is still in force: an address change applies the
    // location again.
    WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
    PostMessageA(q.Window(), MSG_ADDRESS_CHANGED, 0, 0);
    EXPECT_TRUE(WaitFor([] { return ReadDeviceEntry().rfind("Gamma,", 0) == 0; }, 10000))
        << "the refused edit took effect: " << ReadDeviceEntry();

    // Unlocked, OK saves the edit that waited in the dialog.
    SetPermissions(kKey, kFullAccess);
    ASSERT_TRUE(ClickWindow(GetDlgItem(hDlg, IDOK)));
    EXPECT_TRUE(WaitFor([&] { return !IsWindow(hDlg); }, 10000));
    EXPECT_EQ(ReadValue("", "bSetByIP").data, Dword(0));
    EXPECT_EQ(q.Exit(), 0u);
    SetPermissions(kKey, kFullAccess);
    DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Brennick");
}

}  // namespace
