// Locations against the host's real addresses: these tests run in a private
// network namespace (tests/fixture/netns.sh) whose addresses they set.
#include <gtest/gtest.h>

#include <winsock2.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "inprocess.h"
#include "app/decide.h"
#include "locations/locations.h"
#include "locationfill.h"
#include "res/resource.h"
#include "testsupport.h"

namespace {

bool InNamespace()
{
    return getenv("QUORVEL_SET_ADDRESSES") != nullptr;
}

#define REQUIRE_NAMESPACE()                                                          \
    do {                                                                             \
        if (!InNamespace())                                                          \
            GTEST_SKIP() << "needs tests/fixture/netns.sh (a private network)";      \
    } while (0)

bool SetHostAddresses(const std::string &args)
{
    return RunHostCommand("\"$QUORVEL_SET_ADDRESSES\" " + args);
}

// The host's addresses as the program sees them: its own name, resolved.
std::vector<std::string> HostAddresses()
{
    std::vector<std::string> out;
    char name[256];
    if (gethostname(name, sizeof(name)) != 0)
        return out;
    hostent *h = gethostbyname(name);
    for (int i = 0; h != NULL && h->h_addr_list[i] != NULL; i++) {
        in_addr a;
        memcpy(&a, h->h_addr_list[i], 4);
        out.push_back(inet_ntoa(a));
    }
    return out;
}

class Detection : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    void SetUp() override
    {
        ZeroMemory(&AutoSettings, sizeof(AutoSettings));
        szCurrentLocation[0] = '\0';
    }
    std::string Detect()
    {
        DetectLocation();
        return szCurrentLocation;
    }
};

TEST_F(Detection, TheHostsAddressPicksItsLocation)
{
    REQUIRE_NAMESPACE();
    AutoSettings.iAutoPrinterCount = 3;
    SetLocation(0, "Office", "Alpha", "192.168.0.1", "192.168.0.254");
    SetLocation(1, "Lab", "Beta", "10.0.0.0", "10.255.255.255");
    SetLocation(2, "Home", "Gamma", "192.168.5.1", "192.168.5.254");

    ASSERT_TRUE(SetHostAddresses("10.1.2.3/24"));
    ASSERT_EQ(HostAddresses(), std::vector<std::string>{"10.1.2.3"});
    EXPECT_EQ(Detect(), "Lab");

    ASSERT_TRUE(SetHostAddresses("192.168.5.17/24"));
    EXPECT_EQ(Detect(), "Home");
    ASSERT_TRUE(SetHostAddresses("192.168.0.10/24"));
    EXPECT_EQ(Detect(), "Office");
    ASSERT_TRUE(SetHostAddresses("172.16.9.9/16"));
    EXPECT_EQ(Detect(), "No match");
}

TEST_F(Detection, TheFirstHostAddressDecidesBeforeListOrder)
{
    REQUIRE_NAMESPACE();
    AutoSettings.iAutoPrinterCount = 2;
    SetLocation(0, "Office", "Alpha", "192.168.0.1", "192.168.0.254");
    SetLocation(1, "Lab", "Beta", "10.0.0.0", "10.255.255.255");
    ASSERT_TRUE(SetHostAddresses("192.168.0.5/24 qv1:10.1.2.3/24 --default qv1"));
    ASSERT_EQ(HostAddresses(), (std::vector<std::string>{"10.1.2.3", "192.168.0.5"}));
    EXPECT_EQ(Detect(), "Lab");

    ASSERT_TRUE(SetHostAddresses("192.168.0.5/24 qv1:10.1.2.3/24 --default qv0"));
    ASSERT_EQ(HostAddresses(), (std::vector<std::string>{"192.168.0.5", "10.1.2.3"}));
    EXPECT_EQ(Detect(), "Office");
}

TEST_F(Detection, ALoopbackOnlyHostIsAtTheNoNetworkLocation)
{
    REQUIRE_NAMESPACE();
    ASSERT_TRUE(SetHostAddresses(""));
    ASSERT_EQ(HostAddresses(), std::vector<std::string>{"127.0.0.1"});
    AutoSettings.iAutoPrinterCount = 2;
    SetLocation(0, "Lab", "Beta", "1.0.0.0", "100.0.0.0");
    SetLocation(1, "No network", "Gamma", "127.0.0.1", "127.0.0.254");
    EXPECT_EQ(Detect(), "No network");

    SetLocation(1, "Single", "Gamma", "127.0.0.5", "127.0.0.5");
    EXPECT_EQ(Detect(), "Single");
    SetLocation(1, "Zero", "Gamma", "0.0.0.0", "10.0.0.0");
    EXPECT_EQ(Detect(), "Zero");
    SetLocation(1, "Reversed", "Gamma", "192.168.0.1", "10.0.0.1");
    EXPECT_EQ(Detect(), "Reversed");
    SetLocation(1, "Unparsable start", "Gamma", "bogus", "127.0.0.254");
    EXPECT_EQ(Detect(), "Unparsable start");
    SetLocation(1, "Wide", "Gamma", "127.0.0.1", "192.168.1.1");  // not normalised
    EXPECT_EQ(Detect(), "No match");
}

TEST_F(Detection, AnAddressWithoutARouteThatNoLocationHoldsIsNoNetwork)
{
    REQUIRE_NAMESPACE();
    AutoSettings.iAutoPrinterCount = 2;
    SetLocation(0, "Office", "Beta", "10.1.2.0", "10.1.2.255");
    SetLocation(1, "No network", "Gamma", "127.0.0.1", "127.0.0.254");
    struct {
        const char *addresses, *location;
    } cases[] = {
        {"qv1:172.29.112.1/20", "No network"},  // a host-only virtual adapter, left alone
        {"169.254.7.7/16", "No network"},       // what a failed DHCP leaves
        {"qv1:172.29.112.1/20 10.1.2.3/24 --default qv0", "Office"},
        {"10.1.2.3/24", "Office"},  // a network without a router, made a location
    };
    for (const auto &c : cases) {
        ASSERT_TRUE(SetHostAddresses(c.addresses));
        EXPECT_EQ(Detect(), c.location) << c.addresses;
    }
}

TEST_F(Detection, BoundsCompareUnsignedAndUnparsableEndsReachTheTop)
{
    REQUIRE_NAMESPACE();
    ASSERT_TRUE(SetHostAddresses("192.168.5.17/24"));
    AutoSettings.iAutoPrinterCount = 1;
    SetLocation(0, "Low", "Alpha", "10.0.0.1", "127.255.255.255");
    EXPECT_EQ(Detect(), "No match");
    SetLocation(0, "Open end", "Alpha", "192.168.0.0", "not an address");
    EXPECT_EQ(Detect(), "Open end");
    SetLocation(0, "Short form", "Alpha", "192.168.5", "192.168.5.254");  // 192.168.0.5
    EXPECT_EQ(Detect(), "Short form");
    SetLocation(0, "", "Alpha", "192.168.5.1", "192.168.5.254");
    EXPECT_EQ(Detect(), "");
    AutoSettings.iAutoPrinterCount = 0;
    EXPECT_EQ(Detect(), "No match");
}

// The store the real program starts with.
void StoreSettings(int bSetByIP)
{
    DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Brennick\\Quorvel\\Settings");
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    AutoSettings.bSetByIP = bSetByIP;
    AutoSettings.bIfNoMatch = 1;
    lstrcpynA(AutoSettings.szNoMatchPrinter, "Delta", NAME_FIELD_SIZE);
    AutoSettings.iAutoPrinterCount = 3;
    SetLocation(0, "Office", "Beta", "10.1.2.0", "10.1.2.255");
    SetLocation(1, "Home", "Gamma", "192.168.5.1", "192.168.5.254");
    SetLocation(2, "No network", "Alpha", "127.0.0.1", "127.0.0.254");
    SaveSettings();
}

std::string DefaultName()
{
    std::string entry = ReadDeviceEntry();
    return entry.substr(0, entry.find(','));
}

class FollowTheHost : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!InNamespace())
            GTEST_SKIP() << "needs tests/fixture/netns.sh (a private network)";
        ASSERT_TRUE(AddSpoolerPrinter("Delta", "Alpha"));
        WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    }
    void TearDown() override
    {
        DeleteSpoolerPrinter("Delta");
        DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Brennick\\Quorvel\\Settings");
    }
    // Moves the host, then stands in for the socket layer, which Wine never
    // lets report the change itself.
    void Move(HWND hwnd, const std::string &addresses)
    {
        ASSERT_TRUE(SetHostAddresses(addresses));
        PostMessageA(hwnd, MSG_ADDRESS_CHANGED, 0, 0);
    }
    ScopedDeviceEntry restore;
};

TEST_F(FollowTheHost, TheDefaultPrinterFollowsEachMove)
{
    StoreSettings(1);
    ASSERT_TRUE(SetHostAddresses("10.1.2.3/24"));
    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    // The first listing applies the location of the start.
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Beta"; }, 10000)) << DefaultName();
    ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
    EXPECT_EQ(HoverAndReadTooltip(TrayIconWindows().back()), "Beta (Office)");

    Move(q.Window(), "192.168.5.17/24");
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Gamma"; }, 10000)) << DefaultName();
    Move(q.Window(), "");
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Alpha"; }, 10000)) << DefaultName();
    // An unknown network: one with a router that no location holds.
    Move(q.Window(), "172.16.9.9/16 --default qv0");
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Delta"; }, 10000)) << DefaultName();
    // Back to a known network: the rules apply again, even to the same place.
    Move(q.Window(), "10.1.2.3/24");
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Beta"; }, 10000)) << DefaultName();
    EXPECT_EQ(q.Exit(), 0u);
}

TEST_F(FollowTheHost, WithAutomaticSwitchingOffMovesChangeNothing)
{
    StoreSettings(0);
    ASSERT_TRUE(SetHostAddresses("10.1.2.3/24"));
    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    for (const char *where : {"192.168.5.17/24", "", "172.16.9.9/16", "10.1.2.3/24"}) {
        Move(q.Window(), where);
        WaitFor([] { return false; }, 1000);
        EXPECT_EQ(DefaultName(), "Alpha") << "after moving to '" << where << "'";
    }
    EXPECT_EQ(q.Exit(), 0u);
}

// The notice setting as stored: 0 or 1, or -1 for no value (a store from
// before the setting existed).
void StoreNotifySetting(int value)
{
    HKEY hKey;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_SET_VALUE, &hKey), ERROR_SUCCESS);
    DWORD dw = (DWORD)value;
    if (value < 0)
        RegDeleteValueA(hKey, "bNotifyOnSwitch");
    else
        RegSetValueExA(hKey, "bNotifyOnSwitch", 0, REG_DWORD, (const BYTE *)&dw, sizeof(dw));
    RegCloseKey(hKey);
}

// Wine shows a balloon about two seconds after it is asked for: a wait
// longer than that sees any that was asked for.
bool NoNoticeWithin(DWORD ms)
{
    return !WaitFor([] { return !VisibleNotices().empty(); }, ms, 100);
}

struct WindowOfClass {
    const char *cls;
    HWND found;
};

BOOL CALLBACK FindShownWindowOfClass(HWND hwnd, LPARAM lParam)
{
    WindowOfClass *w = reinterpret_cast<WindowOfClass *>(lParam);
    char cls[64];
    if (IsWindowVisible(hwnd) && GetClassNameA(hwnd, cls, sizeof(cls)) && strcmp(cls, w->cls) == 0) {
        w->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// A user's choice: the first printer of the tray menu (the last row, Gamma),
// with the real pointer and keys.
bool ChooseFirstPrinterInTheMenu(HWND hIcon)
{
    WindowOfClass menu = {"#32768", NULL};
    if (!ClickWindow(hIcon, 3) ||
        !WaitFor([&] { return EnumWindows(FindShownWindowOfClass, (LPARAM)&menu), menu.found != NULL; },
                 5000))
        return false;
    RECT rc;
    GetWindowRect(menu.found, &rc);
    // Keys go to the window under the pointer: rest it on the menu's closing
    // separator, which takes no highlight.
    return RunHostCommand("xdotool mousemove " + std::to_string(rc.left + 12) + " " +
                          std::to_string(rc.bottom - 4)) &&
           PressKeys("Down Down Down Down Return");
}

TEST_F(FollowTheHost, OnlyAMoveThatChangesThePrinterBringsANoticeNamingPrinterAndLocation)
{
    StoreSettings(1);
    StoreNotifySetting(-1);  // absent: on
    WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
    ASSERT_TRUE(SetHostAddresses("10.1.2.3/24"));
    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
    EXPECT_TRUE(NoNoticeWithin(3500)) << "the office's printer was the default already";

    ASSERT_TRUE(ChooseFirstPrinterInTheMenu(TrayIconWindows().back()));
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Gamma"; }, 5000)) << DefaultName();
    EXPECT_TRUE(NoNoticeWithin(3500)) << "a choice in the menu";

    Move(q.Window(), "");
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Alpha"; }, 10000)) << DefaultName();
    ASSERT_TRUE(WaitFor([] { return !VisibleNotices().empty(); }, 8000)) << "no notice";
    std::vector<HWND> notices = VisibleNotices();
    EXPECT_EQ(notices.size(), 1u);
    EXPECT_EQ(NoticeText(notices[0]), "Default printer: Alpha\nLocation: No network");
    EXPECT_EQ(q.Exit(), 0u);

    StoreNotifySetting(0);
    QuorvelProcess quiet;
    ASSERT_TRUE(quiet.Start());
    ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
    Move(quiet.Window(), "192.168.5.17/24");
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Gamma"; }, 10000)) << DefaultName();
    EXPECT_TRUE(NoNoticeWithin(3500)) << "the setting is off";
    EXPECT_EQ(quiet.Exit(), 0u);
}

// The defaults and notices seen while `during` runs and for `ms` after it.
struct Seen {
    std::vector<std::string> defaults;
    std::vector<std::string> notices;
};

Seen Watch(const std::function<void()> &during, DWORD ms)
{
    Seen seen;
    auto look = [&] {
        std::string name = DefaultName();
        if (seen.defaults.empty() || seen.defaults.back() != name)
            seen.defaults.push_back(name);
        for (HWND h : VisibleNotices()) {
            std::string text = NoticeText(h);
            if (std::find(seen.notices.begin(), seen.notices.end(), text) == seen.notices.end())
                seen.notices.push_back(text);
        }
    };
    look();
    during();
    WaitFor([&] { look(); return false; }, ms, 10);
    return seen;
}

// The program started at the office, behind its router: Beta, and its icon.
void StartAtTheOffice(QuorvelProcess *pq)
{
    ASSERT_TRUE(SetHostAddresses("10.1.2.3/24 --default qv0"));
    ASSERT_TRUE(pq->Start());
    ASSERT_TRUE(WaitFor([] { return DefaultName() == "Beta"; }, 10000)) << DefaultName();
    ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
}

TEST_F(FollowTheHost, AMoveThroughNoAddressSwitchesOnceAndTellsOnce)
{
    StoreSettings(1);
    StoreNotifySetting(-1);  // absent: on
    WriteDeviceEntry("Beta,wineps.drv,CUPS:Beta");
    QuorvelProcess q;
    ASSERT_NO_FATAL_FAILURE(StartAtTheOffice(&q));
    ASSERT_TRUE(NoNoticeWithin(3500));

    // Office, then a moment without any address, then home.
    Seen seen = Watch([&] {
        Move(q.Window(), "");
        WaitFor([] { return false; }, 300);
        Move(q.Window(), "192.168.5.17/24 --default qv0");
    }, 9000);
    EXPECT_EQ(seen.defaults, (std::vector<std::string>{"Beta", "Gamma"}));
    EXPECT_EQ(seen.notices, std::vector<std::string>{"Default printer: Gamma\nLocation: Home"});
    EXPECT_EQ(q.Exit(), 0u);
}

TEST_F(FollowTheHost, APrinterChosenWhileAMoveSettlesStands)
{
    StoreSettings(1);
    QuorvelProcess q;
    ASSERT_NO_FATAL_FAILURE(StartAtTheOffice(&q));

    // Off the network, and before that decides, another program's command
    // chooses Gamma (the menu's command for its row).
    std::vector<std::string> names = SpoolerPrinterNames();
    int row = (int)(std::find(names.begin(), names.end(), "Gamma") - names.begin());
    ASSERT_LT(row, (int)names.size());
    Move(q.Window(), "");
    PostMessageA(q.Window(), WM_COMMAND, (WPARAM)row, 0);
    ASSERT_TRUE(WaitFor([] { return DefaultName() == "Gamma"; }, 1500)) << DefaultName();
    // The decision still comes: the tip names its location, the choice stays.
    EXPECT_TRUE(WaitFor([&] { return HoverAndReadTooltip(TrayIconWindows().back()) == "Gamma (No network)"; },
                        12000));
    EXPECT_EQ(DefaultName(), "Gamma");
    EXPECT_EQ(q.Exit(), 0u);
}

// An organisation's policy, as Group Policy writes it: the machine's key is
// read in its 64-bit view, so it is written there.
const char kPolicyParent[] = "SOFTWARE\\Policies";

HKEY OpenPolicyParent()
{
    HKEY hKey = NULL;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kPolicyParent, 0, NULL, 0,
                    KEY_ALL_ACCESS | KEY_WOW64_64KEY, NULL, &hKey, NULL);
    return hKey;
}

void DeletePolicies()
{
    HKEY hParent = OpenPolicyParent();
    if (hParent != NULL) {
        DeleteRegistryTree(hParent, "Brennick");
        RegCloseKey(hParent);
    }
    DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Policies\\Brennick");
}

// Sets values below the machine's policy key (subkey "" for the key itself):
// a number, or a text when `text` is given.
bool SetMachinePolicy(const std::string &subkey, const char *name, DWORD number,
                      const char *text = nullptr)
{
    HKEY hParent = OpenPolicyParent();
    if (hParent == NULL)
        return false;
    HKEY hKey = CreateRegistryPath(hParent, "Brennick\\Quorvel" + (subkey.empty() ? "" : "\\" + subkey));
    RegCloseKey(hParent);
    if (hKey == NULL)
        return false;
    LONG result = text != nullptr
                      ? RegSetValueExA(hKey, name, 0, REG_SZ, (const BYTE *)text, (DWORD)strlen(text) + 1)
                      : RegSetValueExA(hKey, name, 0, REG_DWORD, (const BYTE *)&number, sizeof(number));
    RegCloseKey(hKey);
    return result == ERROR_SUCCESS;
}

bool SetManagedRow(int i, const char *name, const char *printer, const char *start, const char *finish)
{
    std::string sub = "Locations\\" + std::to_string(i);
    return SetMachinePolicy(sub, "szLocationName", 0, name) &&
           SetMachinePolicy(sub, "szPrinterName", 0, printer) &&
           SetMachinePolicy(sub, "szIPStart", 0, start) && SetMachinePolicy(sub, "szIPFinish", 0, finish);
}

// What Group Policy sends once it has written a refresh.
void AnnouncePolicyRefresh(HWND hwnd)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutA(hwnd, WM_SETTINGCHANGE, 0, (LPARAM) "Policy", SMTO_ABORTIFHUNG, 5000, &result);
}

// The names shown in the first column of another process's list: the list
// reads and writes only its own memory, so the request lives there.
std::vector<std::string> RemoteListNames(HWND hList)
{
    std::vector<std::string> names;
    DWORD pid = 0;
    GetWindowThreadProcessId(hList, &pid);
    HANDLE hProcess = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (hProcess == NULL)
        return names;
    const size_t cbText = 256;
    BYTE *remote = (BYTE *)VirtualAllocEx(hProcess, NULL, sizeof(LVITEMA) + cbText, MEM_COMMIT, PAGE_READWRITE);
    int rows = (int)SendMessageA(hList, LVM_GETITEMCOUNT, 0, 0);
    for (int row = 0; remote != NULL && row < rows; row++) {
        LVITEMA item;
        ZeroMemory(&item, sizeof(item));
        item.pszText = (LPSTR)(remote + sizeof(LVITEMA));
        item.cchTextMax = (int)cbText;
        char text[cbText] = "";
        if (WriteProcessMemory(hProcess, remote, &item, sizeof(item), NULL)) {
            SendMessageA(hList, LVM_GETITEMTEXTA, (WPARAM)row, (LPARAM)remote);
            ReadProcessMemory(hProcess, remote + sizeof(LVITEMA), text, cbText - 1, NULL);
        }
        names.push_back(text);
    }
    if (remote != NULL)
        VirtualFreeEx(hProcess, remote, 0, MEM_RELEASE);
    CloseHandle(hProcess);
    std::sort(names.begin(), names.end());
    return names;
}

class ManagedByPolicy : public FollowTheHost {
protected:
    void SetUp() override
    {
        DeletePolicies();
        FollowTheHost::SetUp();
    }
    void TearDown() override
    {
        DeletePolicies();
        FollowTheHost::TearDown();
    }
};

TEST_F(ManagedByPolicy, ManagedRowsComeFirstARefreshNeedsNoRestartAndOkStoresOnlyTheUsersOwn)
{
    // The user's own: switching off, and rows of which the office is hidden
    // behind the managed one.
    DeleteRegistryTree(HKEY_CURRENT_USER, SETTINGS_KEY);
    ZeroMemory(&AutoSettings, sizeof(AutoSettings));
    AutoSettings.bIfNoMatch = 1;
    AutoSettings.bNotifyOnSwitch = 1;
    lstrcpynA(AutoSettings.szNoMatchPrinter, "Alpha", NAME_FIELD_SIZE);
    AutoSettings.iAutoPrinterCount = 2;
    SetLocation(0, "Office", "Beta", "10.1.2.0", "10.1.2.255");
    SetLocation(1, "Home", "Beta", "192.168.5.1", "192.168.5.254");
    ASSERT_TRUE(SaveSettings());
    const std::string own = DumpRegistryTree(HKEY_CURRENT_USER, SETTINGS_KEY);
    // The machine's: switching on, a row that does not parse, a gap, the
    // managed office; and a number stored as text, which counts for nothing.
    ASSERT_TRUE(SetMachinePolicy("", "bSetByIP", 1));
    ASSERT_TRUE(SetMachinePolicy("", "bIfNoMatch", 0, "0"));
    ASSERT_TRUE(SetManagedRow(0, "Broken", "Delta", "10.1.2", "10.1.2.255"));
    ASSERT_TRUE(SetManagedRow(2, "HQ", "Gamma", "10.1.2.0", "10.1.2.255"));

    ASSERT_TRUE(SetHostAddresses("10.1.2.3/24"));
    QuorvelProcess q;
    ASSERT_TRUE(q.Start());
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Gamma"; }, 10000)) << DefaultName();
    ASSERT_TRUE(WaitFor([] { return !TrayIconWindows().empty(); }, 10000));
    EXPECT_EQ(HoverAndReadTooltip(TrayIconWindows().back()), "Gamma (HQ)");
    Move(q.Window(), "192.168.5.17/24");
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Beta"; }, 10000)) << "the user's own row";

    // Only managed rows from now on: home is no location, and the user's
    // own no-match rule applies.
    ASSERT_TRUE(SetMachinePolicy("", "bAllowUserLocations", 0));
    AnnouncePolicyRefresh(q.Window());
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Alpha"; }, 10000)) << DefaultName();

    PostMessageA(q.Window(), WM_COMMAND, IDM_CONFIG, 0);
    HWND hDlg = NULL;
    ASSERT_TRUE(WaitFor([&] { return (hDlg = FindDialogOfProcess(q.ProcessId(), "Quorvel - Configuration")) != NULL; },
                        10000));
    EXPECT_TRUE(IsWindowVisible(GetDlgItem(hDlg, IDC_MANAGEDNOTE)));
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(hDlg, IDC_SETBYIP)));
    EXPECT_EQ(SendDlgItemMessageA(hDlg, IDC_SETBYIP, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(hDlg, IDC_NOTIFYONSWITCH)));
    EXPECT_EQ(RemoteListNames(GetDlgItem(hDlg, IDC_LOCATIONLIST)), std::vector<std::string>{"HQ (managed)"});
    // The user turns the notice and the no-match rule off; before OK, the
    // notice becomes managed.
    ASSERT_TRUE(ClickWindow(GetDlgItem(hDlg, IDC_NOTIFYONSWITCH)));
    ASSERT_TRUE(ClickWindow(GetDlgItem(hDlg, IDC_IFNOMATCH)));
    ASSERT_TRUE(WaitFor(
        [&] {
            return SendDlgItemMessageA(hDlg, IDC_NOTIFYONSWITCH, BM_GETCHECK, 0, 0) == 0 &&
                   SendDlgItemMessageA(hDlg, IDC_IFNOMATCH, BM_GETCHECK, 0, 0) == 0;
        },
        5000));
    ASSERT_TRUE(SetMachinePolicy("", "bNotifyOnSwitch", 0));
    AnnouncePolicyRefresh(q.Window());
    EXPECT_EQ(SendDlgItemMessageA(hDlg, IDC_NOTIFYONSWITCH, BM_GETCHECK, 0, 0), 0) << "the dialog kept the edit";
    ASSERT_TRUE(ClickWindow(GetDlgItem(hDlg, IDOK)));
    ASSERT_TRUE(WaitFor([&] { return !IsWindow(hDlg); }, 10000));
    EXPECT_TRUE(Answers(q.Window()));
    EXPECT_EQ(q.Exit(), 0u);

    // Only the no-match rule changed; every row and every managed value is
    // the user's own as before.
    HKEY hKey;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, SETTINGS_KEY, 0, KEY_ALL_ACCESS, &hKey), ERROR_SUCCESS);
    DWORD value = 7, cb = sizeof(value);
    EXPECT_EQ(RegQueryValueExA(hKey, "bIfNoMatch", NULL, NULL, (BYTE *)&value, &cb), ERROR_SUCCESS);
    EXPECT_EQ(value, 0u);
    value = 1;
    RegSetValueExA(hKey, "bIfNoMatch", 0, REG_DWORD, (const BYTE *)&value, sizeof(value));
    RegCloseKey(hKey);
    EXPECT_EQ(DumpRegistryTree(HKEY_CURRENT_USER, SETTINGS_KEY), own);
}

// The main window in this process, behind routers the test sets up: the
// kernel's neighbour and route tables are what the IP helper reads here.
class BehindRouters : public InProcessTest {
protected:
    void SetUp() override
    {
        if (!InNamespace())
            GTEST_SKIP() << "needs tests/fixture/netns.sh (a private network)";
        InProcessTest::SetUp();
        WriteDeviceEntry("Alpha,wineps.drv,CUPS:Alpha");
    }
    void TearDown() override
    {
        InProcessTest::TearDown();
        DeleteRegistryTree(HKEY_CURRENT_USER, "SOFTWARE\\Brennick\\Quorvel\\Settings");
    }
    // Moves the host behind 192.168.5.1, whose hardware address is `mac`, or
    // not known yet when it is empty, and reports the change.
    void MoveBehind(HWND hwnd, const std::string &mac)
    {
        std::string cmd = "ip neigh del 192.168.5.1 dev qv0 2>/dev/null; "
                          "\"$QUORVEL_SET_ADDRESSES\" 192.168.5.17/24 && "
                          "ip route replace default via 192.168.5.1 dev qv0 onlink";
        if (!mac.empty())
            cmd += " && " + Learn(mac);
        ASSERT_TRUE(RunHostCommand(cmd));
        PostMessageA(hwnd, MSG_ADDRESS_CHANGED, 0, 0);
    }
    static std::string Learn(const std::string &mac)
    {
        return "ip neigh replace 192.168.5.1 lladdr " + mac + " dev qv0 nud permanent";
    }
    ScopedDeviceEntry restore;
};

TEST_F(BehindRouters, OneRangeBehindTwoRoutersGivesTwoPrintersAndALateRouterStillCounts)
{
    // Two rows of one name and range, each bound to its own router; the
    // no-match printer shows any decision taken before the router is known.
    ASSERT_TRUE(SetHostAddresses("172.16.9.9/16"));
    AutoSettings.bSetByIP = 1;
    AutoSettings.bIfNoMatch = 1;
    AutoSettings.bNotifyOnSwitch = 1;
    lstrcpynA(AutoSettings.szNoMatchPrinter, "Alpha", NAME_FIELD_SIZE);
    AutoSettings.iAutoPrinterCount = 2;
    SetLocation(0, "Home", "Beta", "192.168.5.1", "192.168.5.254");
    lstrcpynA(AutoSettings.locations[0].szGatewayMAC, "02-00-00-00-00-0A", NAME_FIELD_SIZE);
    SetLocation(1, "Home", "Gamma", "192.168.5.1", "192.168.5.254");
    lstrcpynA(AutoSettings.locations[1].szGatewayMAC, "02:00:00:00:00:0b", NAME_FIELD_SIZE);
    ASSERT_TRUE(SaveSettings());
    HWND hwnd = StartMainWindow();
    ASSERT_TRUE(WaitFor([] { return DefaultName() == "Alpha"; }, 10000)) << DefaultName();

    MoveBehind(hwnd, "02:00:00:00:00:0a");
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Beta"; }, 10000)) << DefaultName();
    // A row bound to its router tells of its switch like any other.
    EXPECT_TRUE(WaitFor(
        [] {
            for (HWND hNotice : VisibleNotices())
                if (NoticeText(hNotice) == "Default printer: Beta\nLocation: Home")
                    return true;
            return false;
        },
        8000, 100))
        << "no notice of the switch to Beta";
    MoveBehind(hwnd, "02:00:00:00:00:0b");
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Gamma"; }, 10000)) << DefaultName();

    // The router answers about a second after the change: the wait takes it.
    MoveBehind(hwnd, "");
    bool bSwitchedEarly = false;
    WaitFor([&] { bSwitchedEarly |= DefaultName() != "Gamma"; return false; }, 800);
    ASSERT_TRUE(RunHostCommand(Learn("02:00:00:00:00:0a")));
    EXPECT_TRUE(WaitFor([&] { bSwitchedEarly |= DefaultName() == "Alpha"; return DefaultName() == "Beta"; },
                        10000))
        << DefaultName();
    EXPECT_FALSE(bSwitchedEarly) << "the default changed before the router was known";
    EXPECT_EQ(std::string(szCurrentLocation), "Home");

    // No timer is left once decided: idle stays without wake-ups.
    EXPECT_FALSE(KillTimer(hwnd, TIMER_ROUTER_WAIT));
    ClearMessages();
    Pump(3500);
    for (const RecordedMessage &m : Received(WM_TIMER))
        EXPECT_NE(m.wParam, (WPARAM)TIMER_ROUTER_WAIT) << "the router wait still wakes the program";
}

TEST_F(BehindRouters, InACafeOnTheHomeRangeARowTiedToTheHomeRouterNeverSwitches)
{
    // "Home" twice on one range: for any network (Beta), and tied to the
    // home router (Gamma). A cafe on the same range has another router.
    ASSERT_TRUE(SetHostAddresses("172.16.9.9/16 --default qv0"));
    AutoSettings.bSetByIP = 1;
    AutoSettings.bIfNoMatch = 1;
    lstrcpynA(AutoSettings.szNoMatchPrinter, "Alpha", NAME_FIELD_SIZE);
    AutoSettings.iAutoPrinterCount = 2;
    SetLocation(0, "Home", "Beta", "192.168.5.1", "192.168.5.254");
    SetLocation(1, "Home", "Gamma", "192.168.5.1", "192.168.5.254");
    lstrcpynA(AutoSettings.locations[1].szGatewayMAC, "02-00-00-00-00-0A", NAME_FIELD_SIZE);
    ASSERT_TRUE(SaveSettings());
    HWND hwnd = StartMainWindow();
    ASSERT_TRUE(WaitFor([] { return DefaultName() == "Alpha"; }, 10000)) << DefaultName();

    MoveBehind(hwnd, "02:00:00:00:00:0c");
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Beta"; }, 10000)) << DefaultName();
    Pump(1000);
    EXPECT_EQ(DefaultName(), "Beta") << "the row tied to the home router switched in the cafe";
    MoveBehind(hwnd, "02:00:00:00:00:0a");
    EXPECT_TRUE(WaitFor([] { return DefaultName() == "Gamma"; }, 10000)) << DefaultName();
}

}  // namespace
